#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>

#include "services/HttpClient.h"

namespace vantrel {

/// Which of a few servers are worth asking now. A server that answered badly (an error status,
/// a malformed answer) is left alone for a while. Connection failures say more: after
/// `kConnectionFailuresBeforeOffline` of them in a row, whichever servers they came from, the
/// network counts as gone and no server is asked again for this object's life.
class ServiceHealth {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kConnectionFailuresBeforeOffline = 3;
    static constexpr std::size_t kMaxServers = 2;

    explicit ServiceHealth(Clock::duration restAfterServerError);

    /// False while the server rests, and for every server once offline.
    bool mayAsk(std::size_t server) const;
    /// The outcome of one request to `server`: `answered` when it brought a usable answer.
    void record(std::size_t server, bool answered, HttpClient::Failure failure);
    bool isOffline() const { return m_connectionFailures >= kConnectionFailuresBeforeOffline; }

  private:
    Clock::duration m_rest;
    int m_connectionFailures = 0;
    std::array<std::optional<Clock::time_point>, kMaxServers> m_failedAt;
};

}  // namespace vantrel
