#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace vantrel {

/// Counts the change notifications of other connections to one PostgreSQL store, on a
/// connection and a thread of its own, so that the main thread only reads a counter (as it
/// reads SQLite's data_version). A lost connection counts as a change (some may have been
/// missed) and is made again once a second.
class PgListener {
  public:
    /// The channel the store's triggers notify on every committed change.
    static constexpr const char* kChannel = "vantrel_store";

    /// Connects and listens before returning, so that every commit after this call is seen.
    /// `ownProcess` is the server process of the store's own connection, whose changes are not
    /// counted (it may change when that connection is made again).
    PgListener(std::string url, const std::atomic<int>& ownProcess);
    ~PgListener();
    PgListener(const PgListener&) = delete;
    PgListener& operator=(const PgListener&) = delete;

    std::int64_t version() const { return m_version.load(); }

  private:
    struct Connection;
    void run();
    bool connect();
    void drain();

    std::string m_url;
    const std::atomic<int>& m_ownProcess;
    std::atomic<std::int64_t> m_version{0};
    std::atomic<bool> m_stop{false};
    std::unique_ptr<Connection> m_connection;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
};

}  // namespace vantrel
