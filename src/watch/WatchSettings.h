#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "model/Preferences.h"

namespace vantrel {

/// Preference keys of the watcher.
inline constexpr std::string_view kWatchedFoldersKey = "watchedFolders";
inline constexpr std::string_view kImportFromDevicesKey = "importFromDevices";
inline constexpr std::string_view kDeviceActivityFoldersKey = "deviceActivityFolders";

/// What the preferences say about watching, shared by the window and `vantrel-cli watch`.
struct WatchSettings {
    /// Folders whose new activity files are imported by themselves (a JSON array of paths).
    std::vector<std::filesystem::path> watchedFolders;
    /// Whether watches and bike computers plugged in as USB storage are read; on unless the
    /// user turned it off.
    bool importFromDevices = true;
    /// Activity folders of other makers' devices, relative to a volume's root, besides
    /// "GARMIN/Activity".
    std::vector<std::string> deviceActivityFolders;

    static WatchSettings load(Preferences& preferences);
    friend bool operator==(const WatchSettings&, const WatchSettings&) = default;
};

/// Adds a watched folder (kept once) or removes one, in the preferences.
void addWatchedFolder(const std::filesystem::path& folder, Preferences& preferences);
void removeWatchedFolder(const std::filesystem::path& folder, Preferences& preferences);

}  // namespace vantrel
