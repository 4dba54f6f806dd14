#pragma once

#include <chrono>
#include <functional>

#include "model/Cancellation.h"

namespace vantrel {

/// Waits for a duration unless the token is cancelled first; answers false when cancelled.
/// Injected wherever a flow paces itself, so that tests need not sleep.
using WaitFunction = std::function<bool(std::chrono::milliseconds, const CancellationToken&)>;

/// The real wait: sleeps in short slices, checking the token between them.
bool waitUnlessCancelled(std::chrono::milliseconds duration, const CancellationToken& token);

}  // namespace vantrel
