#pragma once

#include <filesystem>

namespace vantrel {

/// $XDG_DATA_HOME/vantrel (default ~/.local/share/vantrel).
std::filesystem::path dataFolder();
/// $XDG_CONFIG_HOME/vantrel (default ~/.config/vantrel).
std::filesystem::path configFolder();
/// $XDG_CACHE_HOME/vantrel (default ~/.cache/vantrel): files that can be rebuilt at any time.
std::filesystem::path cacheFolder();
/// The default store: $VANTREL_STORE when set, else dataFolder()/store.sqlite.
std::filesystem::path defaultStorePath();
/// The default preferences file: $VANTREL_PREFERENCES when set, else
/// configFolder()/preferences.json.
std::filesystem::path defaultPreferencesPath();

}  // namespace vantrel
