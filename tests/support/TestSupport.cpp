#include "support/TestSupport.h"

#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "model/Preferences.h"

namespace vantrel::test {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            base / ("vantrel-test-" + std::to_string(getpid()) + "-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

namespace {

// Runs before the members that follow the folder, so that they see the isolated environment.
const std::filesystem::path& isolate(const TempDir& dir) {
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir.path() / "cache").c_str(), 1);
    unsetenv("VANTREL_STORE");
    unsetenv("VANTREL_PREFERENCES");
    return dir.path();
}

}  // namespace

ScopedTmpfs::ScopedTmpfs(std::size_t bytes) {
    std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    if (::mount("tmpfs", m_dir.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) ==
        0) {
        m_mounted = true;
    } else {
        m_skipReason = std::string("cannot mount a tmpfs to fill (") + std::strerror(errno) +
                       "); this test needs root, as in CI";
    }
}

ScopedTmpfs::~ScopedTmpfs() {
    // Detached, the mount goes once the last file on it is closed.
    if (m_mounted) ::umount2(m_dir.path().c_str(), MNT_DETACH);
}

IsolatedEnvironment::IsolatedEnvironment()
    : m_preferences(isolate(m_dir) / "config" / "vantrel" / "preferences.json") {
    // An import in a test must not reach the public weather service; the tests of the run after
    // an import turn it on again with a stand-in service of their own.
    Preferences::shared().setBoolean(kFetchWeatherAfterImportKey, false);
}

IsolatedEnvironment::~IsolatedEnvironment() = default;

void useTestTimeZone() {
    // The same rules written out serve where the time-zone database is not installed.
    bool haveDatabase = std::filesystem::exists("/usr/share/zoneinfo/Europe/Zurich");
    setenv("TZ", haveDatabase ? "Europe/Zurich" : "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
}

std::filesystem::path corpusDir() {
    return VANTREL_CORPUS_DIR;
}
std::filesystem::path corpusFile(const std::string& name) {
    return corpusDir() / name;
}
std::filesystem::path testDataFile(const std::string& name) {
    return std::filesystem::path(VANTREL_TEST_DATA_DIR) / name;
}

Bytes readFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::filesystem::path& file, const Bytes& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string readFileText(const std::filesystem::path& file) {
    return textOf(readFileBytes(file));
}

void executeSql(const std::filesystem::path& store, const std::string& sql) {
    sqlite3* db = nullptr;
    int status = sqlite3_open(store.c_str(), &db);
    char* message = nullptr;
    if (status == SQLITE_OK) status = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    std::string reason = message ? message : sqlite3_errstr(status);
    sqlite3_free(message);
    sqlite3_close(db);
    if (status != SQLITE_OK) throw std::runtime_error("SQL failed: " + reason);
}

void refuseActivitiesWhere(const std::filesystem::path& store, const std::string& condition) {
    executeSql(store, "CREATE TRIGGER refuse BEFORE INSERT ON PersistedRide WHEN " + condition +
                          " BEGIN SELECT RAISE(ABORT, 'refused'); END");
}

void makeCommitsFail(const std::filesystem::path& store) {
    executeSql(store,
               "CREATE TABLE parent (id INTEGER PRIMARY KEY);"
               "CREATE TABLE child (parent INTEGER REFERENCES parent(id) DEFERRABLE "
               "INITIALLY DEFERRED);"
               "CREATE TRIGGER orphan AFTER INSERT ON PersistedRide BEGIN "
               "INSERT INTO child VALUES (42); END");
}

}  // namespace vantrel::test
