#include "watch/WatchSettings.h"

#include <algorithm>

namespace vantrel {

namespace {

std::vector<std::string> folderTexts(Preferences& preferences) {
    std::vector<std::string> folders = preferences.stringList(kWatchedFoldersKey);
    std::erase(folders, std::string());
    return folders;
}

}  // namespace

WatchSettings WatchSettings::load(Preferences& preferences) {
    WatchSettings settings;
    for (const auto& folder : folderTexts(preferences))
        settings.watchedFolders.emplace_back(folder);
    settings.importFromDevices = preferences.boolean(kImportFromDevicesKey, true);
    settings.deviceActivityFolders = preferences.stringList(kDeviceActivityFoldersKey);
    std::erase(settings.deviceActivityFolders, std::string());
    return settings;
}

void addWatchedFolder(const std::filesystem::path& folder, Preferences& preferences) {
    std::vector<std::string> folders = folderTexts(preferences);
    if (std::find(folders.begin(), folders.end(), folder.string()) != folders.end()) return;
    folders.push_back(folder.string());
    preferences.setStringList(kWatchedFoldersKey, folders);
}

void removeWatchedFolder(const std::filesystem::path& folder, Preferences& preferences) {
    std::vector<std::string> folders = folderTexts(preferences);
    std::erase(folders, folder.string());
    preferences.setStringList(kWatchedFoldersKey, folders);
}

}  // namespace vantrel
