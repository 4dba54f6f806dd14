#include "services/ServiceHealth.h"

namespace vantrel {

ServiceHealth::ServiceHealth(Clock::duration restAfterServerError) : m_rest(restAfterServerError) {}

bool ServiceHealth::mayAsk(std::size_t server) const {
    if (isOffline() || server >= kMaxServers) return false;
    const auto& failedAt = m_failedAt[server];
    return !failedAt || Clock::now() - *failedAt >= m_rest;
}

void ServiceHealth::record(std::size_t server, bool answered, HttpClient::Failure failure) {
    if (server >= kMaxServers) return;
    if (failure == HttpClient::Failure::connection) {
        ++m_connectionFailures;
        return;
    }
    // Any server answering at all shows the network is there.
    m_connectionFailures = 0;
    if (answered) {
        m_failedAt[server].reset();
    } else {
        m_failedAt[server] = Clock::now();
    }
}

}  // namespace vantrel
