#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vantrel {

class Preferences;

enum class LogLevel { debug, info, warn, error };

/// What the logger needs of the user's settings: the lowest level it writes and the base folder
/// that holds the session files of every device family. The entry points make it from the
/// preferences and hand it to the logger, which then reads no settings of its own on each line.
struct LogSettings {
    LogLevel level = LogLevel::info;
    std::filesystem::path folder;

    /// "logLevel" ("DEBUG", "WARN", "ERROR"; anything else is INFO) and the "syncFolder"
    /// preference's Logs folder when set, else dataFolder()/Logs.
    static LogSettings fromPreferences(Preferences& preferences);
};

/// The stored text of a level ("DEBUG", "INFO", "WARN", "ERROR"); unknown or absent is INFO.
LogLevel logLevelFromRawValue(const std::optional<std::string>& raw);

}  // namespace vantrel
