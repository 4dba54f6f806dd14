#pragma once

namespace vantrel {

class PersistentLogger;
class Preferences;

/// What the windows of a running application share besides the store: the user's preferences
/// and the session logger. The application object makes it and hands it down, so that no view
/// or flow reaches for a process-wide object of its own (and a test can give its own).
struct AppContext {
    Preferences& preferences;
    PersistentLogger& logger;
};

}  // namespace vantrel
