// The process-wide preferences, for the entry points (the app's application object, the
// command line's context), tools and tests; everything else is handed the preferences it reads.
#include <memory>
#include <mutex>
#include <vector>

#include "model/Paths.h"
#include "model/Preferences.h"

namespace vantrel {

namespace {

struct SharedState {
    std::mutex mutex;
    std::unique_ptr<Preferences> current;
    // Earlier instances stay alive: callers may still hold references to them.
    std::vector<std::unique_ptr<Preferences>> retired;
};

SharedState& sharedState() {
    static SharedState state;
    return state;
}

}  // namespace

Preferences& Preferences::shared() {
    auto& state = sharedState();
    std::lock_guard lock(state.mutex);
    if (!state.current) state.current = std::make_unique<Preferences>(defaultPreferencesPath());
    return *state.current;
}

void Preferences::setSharedPath(const std::filesystem::path& file) {
    auto& state = sharedState();
    std::lock_guard lock(state.mutex);
    if (state.current) state.retired.push_back(std::move(state.current));
    state.current = std::make_unique<Preferences>(file);
}

ScopedSharedPreferences::ScopedSharedPreferences(const std::filesystem::path& file) {
    auto& state = sharedState();
    std::lock_guard lock(state.mutex);
    m_previous = std::move(state.current);
    state.current = std::make_unique<Preferences>(file);
}

ScopedSharedPreferences::~ScopedSharedPreferences() {
    auto& state = sharedState();
    std::lock_guard lock(state.mutex);
    if (state.current) state.retired.push_back(std::move(state.current));
    state.current = std::move(m_previous);
}

}  // namespace vantrel
