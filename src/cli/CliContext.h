#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/RideStore.h"

namespace vantrel {
class PersistentLogger;
class Preferences;
}  // namespace vantrel

namespace vantrel::cli {

/// A user error: bad argument, unknown ID. Printed as one line on stderr, exit status 1.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// What one command invocation sees: its own arguments (after the command name), the streams,
/// and the store, opened on first use (a `StoreError` there ends the run with status 2).
class CliContext {
  public:
    CliContext(std::vector<std::string> args, std::ostream& out, std::ostream& err,
               std::istream& in, std::filesystem::path storePath, bool interactive);
    ~CliContext();

    std::vector<std::string> args;
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    /// True when stdin and stderr are a terminal: commands may ask and draw progress lines.
    bool interactive;

    RideStore& store();
    const std::filesystem::path& storePath() const { return m_storePath; }
    /// The user's preferences and the session logger of this run, which the commands hand to
    /// what they call. The logger is made on first use: a command that logs nothing starts no
    /// session file.
    Preferences& preferences();
    PersistentLogger& logger();

    /// Removes "--name VALUE" from args and returns VALUE; throws UsageError if VALUE is missing.
    std::optional<std::string> takeOption(const std::string& name);
    /// Removes "--name" from args and returns whether it was there.
    bool takeFlag(const std::string& name);
    /// Throws UsageError naming the first remaining argument that starts with "--".
    void rejectUnknownOptions() const;
    /// Asks a yes/no question on the terminal; false when not interactive.
    bool confirm(const std::string& question);

  private:
    std::filesystem::path m_storePath;
    std::unique_ptr<RideStore> m_store;
};

/// Runs the tool as `main` would, with the given streams. Returns the exit status.
int runCli(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
           std::istream& in, bool interactive = false);

}  // namespace vantrel::cli
