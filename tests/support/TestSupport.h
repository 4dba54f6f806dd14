#pragma once

#include <filesystem>
#include <string>

#include "model/Bytes.h"
#include "model/Preferences.h"

namespace vantrel::test {

/// A fresh folder under the system temp folder, removed with everything in it at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

  private:
    std::filesystem::path m_path;
};

/// Points the shared preferences at a private file and the XDG data, config and cache folders
/// at a temp folder for the lifetime of the object, so tests never touch the user's real data.
/// The shared preferences return to what they were when it ends; the folders stay pointed at
/// the removed temp folder, so that a late write still cannot reach the user's data. Weather is
/// not fetched after imports unless a test turns that on.
class IsolatedEnvironment {
  public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();
    const std::filesystem::path& root() const { return m_dir.path(); }

  private:
    TempDir m_dir;
    ScopedSharedPreferences m_preferences;
};

/// A tmpfs of a few kilobytes mounted on a fresh folder for the object's lifetime, to fill as a
/// full disk would be filled: faults are caused for real, never faked. Mounting needs root (CI
/// runs as root); where it is not allowed, `skipReason()` says why and tests skip.
class ScopedTmpfs {
  public:
    explicit ScopedTmpfs(std::size_t bytes);
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;

    bool mounted() const { return m_mounted; }
    /// Why the tmpfs could not be mounted; empty when it was.
    const std::string& skipReason() const { return m_skipReason; }
    const std::filesystem::path& path() const { return m_dir.path(); }
    std::filesystem::path operator/(const std::string& name) const { return m_dir / name; }

  private:
    TempDir m_dir;
    bool m_mounted = false;
    std::string m_skipReason;
};

/// Makes the process run in the time zone the tests' expected local dates are written for
/// (Zurich), whatever TZ the caller had; every test program's main calls it before any test.
void useTestTimeZone();

std::filesystem::path corpusDir();
std::filesystem::path corpusFile(const std::string& name);
std::filesystem::path testDataFile(const std::string& name);
Bytes readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const Bytes& bytes);
std::string readFileText(const std::filesystem::path& file);
/// Runs SQL on the store file through a connection of its own, as another process would, to
/// force faults for real. Throws with SQLite's message.
void executeSql(const std::filesystem::path& store, const std::string& sql);
/// Makes the store refuse (with the reason "refused") to insert any activity for which the SQL
/// `condition` over NEW holds, as it would refuse a record with a value it cannot hold.
void refuseActivitiesWhere(const std::filesystem::path& store, const std::string& condition);
/// Makes every later commit that inserts an activity fail at its very end, after all its
/// statements went through (an insert trigger breaks a deferred foreign key), as a failing disk
/// would fail the last write.
void makeCommitsFail(const std::filesystem::path& store);

}  // namespace vantrel::test
