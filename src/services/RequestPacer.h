#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

namespace vantrel {

/// Keeps successive requests to one server at least `interval` apart, as public servers'
/// usage policies require. Thread-safe: concurrent callers take turns.
class RequestPacer {
  public:
    using Clock = std::chrono::steady_clock;
    using Sleep = std::function<void(Clock::duration)>;

    explicit RequestPacer(std::chrono::milliseconds interval, Sleep sleep = {});

    /// Returns when the next request may be sent, and counts it as sent.
    void awaitTurn();

  private:
    std::chrono::milliseconds m_interval;
    Sleep m_sleep;
    std::mutex m_mutex;
    std::optional<Clock::time_point> m_last;
};

}  // namespace vantrel
