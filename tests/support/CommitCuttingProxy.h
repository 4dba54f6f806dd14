#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::test {

/// A TCP proxy on 127.0.0.1 in front of a PostgreSQL server that can lose the answer to a
/// COMMIT, as a network failing at the worst moment would: armed, it forwards the next COMMIT
/// of any connection, waits until the server has answered it (so the transaction is committed
/// for sure), drops the answer and closes the client's connection. Everything else passes
/// through unchanged.
class CommitCuttingProxy {
  public:
    /// `serverURL`: a "postgresql://user@127.0.0.1:PORT/db" URL of the test server.
    explicit CommitCuttingProxy(const std::string& serverURL);
    ~CommitCuttingProxy();
    CommitCuttingProxy(const CommitCuttingProxy&) = delete;
    CommitCuttingProxy& operator=(const CommitCuttingProxy&) = delete;

    /// The same database reached through the proxy (without TLS, so the proxy can read it).
    const std::string& url() const { return m_url; }
    /// Loses the answer of the COMMIT after the next `skip` ones.
    void cutAfterCommit(int skip = 0);
    /// How many answers were lost so far.
    int cuts() const { return m_cuts; }

  private:
    void acceptConnections();
    void relay(int client);
    /// Forwards the whole messages at the start of `pending` to `server`; true when it just
    /// forwarded the COMMIT whose answer is to be lost.
    bool forwardClientMessages(std::string& pending, bool& started, int server);
    bool takeCut();

    std::string m_url;
    std::string m_serverHost;
    int m_serverPort = 0;
    int m_listener = -1;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_commitsToSkip{-1};
    std::atomic<int> m_cuts{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::thread> m_relays;
};

}  // namespace vantrel::test
