#include "logging/LogSettings.h"

#include "model/Paths.h"
#include "model/Preferences.h"

namespace vantrel {

LogLevel logLevelFromRawValue(const std::optional<std::string>& raw) {
    if (raw == "DEBUG") return LogLevel::debug;
    if (raw == "WARN") return LogLevel::warn;
    if (raw == "ERROR") return LogLevel::error;
    return LogLevel::info;
}

LogSettings LogSettings::fromPreferences(Preferences& preferences) {
    LogSettings settings;
    settings.level = logLevelFromRawValue(preferences.string(kLogLevelKey));
    auto sync = preferences.string(kSyncFolderKey);
    settings.folder =
        sync && !sync->empty() ? std::filesystem::path(*sync) / "Logs" : dataFolder() / "Logs";
    return settings;
}

}  // namespace vantrel
