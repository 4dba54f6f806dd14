#pragma once

#include <stdexcept>

namespace vantrel {

/// The watcher cannot start (no inotify, no mount table, no memory folder); `what()` says why
/// in words a user can act on.
class WatchError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace vantrel
