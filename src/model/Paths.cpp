#include "model/Paths.h"

#include <cstdlib>

namespace vantrel {

namespace {

std::filesystem::path environmentPath(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path homeFolder() {
    auto home = environmentPath("HOME");
    return home.empty() ? std::filesystem::temp_directory_path() : home;
}

std::filesystem::path xdgFolder(const char* variable, const char* fallbackUnderHome) {
    auto folder = environmentPath(variable);
    // The XDG rules ignore relative values.
    if (folder.empty() || folder.is_relative()) folder = homeFolder() / fallbackUnderHome;
    return folder / "vantrel";
}

}  // namespace

std::filesystem::path dataFolder() {
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

std::filesystem::path configFolder() {
    return xdgFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path cacheFolder() {
    return xdgFolder("XDG_CACHE_HOME", ".cache");
}

std::filesystem::path defaultStorePath() {
    auto store = environmentPath("VANTREL_STORE");
    return store.empty() ? dataFolder() / "store.sqlite" : store;
}

std::filesystem::path defaultPreferencesPath() {
    auto file = environmentPath("VANTREL_PREFERENCES");
    return file.empty() ? configFolder() / "preferences.json" : file;
}

}  // namespace vantrel
