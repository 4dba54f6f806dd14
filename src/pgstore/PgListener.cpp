#include "pgstore/PgListener.h"

#include <poll.h>
#include <unistd.h>

#include "pgstore/PgConnect.h"

namespace vantrel {

namespace {

constexpr int kReconnectMilliseconds = 1000;

}  // namespace

struct PgListener::Connection {
    PGconn* connection = nullptr;
    ~Connection() {
        if (connection) PQfinish(connection);
    }
};

PgListener::PgListener(std::string url, const std::atomic<int>& ownProcess)
    : m_url(std::move(url)),
      m_ownProcess(ownProcess),
      m_connection(std::make_unique<Connection>()) {
    if (pipe(m_wake) != 0) m_wake[0] = m_wake[1] = -1;
    connect();
    m_thread = std::thread([this] { run(); });
}

PgListener::~PgListener() {
    m_stop = true;
    if (m_wake[1] >= 0) {
        char stop = 0;
        [[maybe_unused]] auto written = write(m_wake[1], &stop, 1);
    }
    if (m_thread.joinable()) m_thread.join();
    for (int fd : m_wake) {
        if (fd >= 0) close(fd);
    }
}

bool PgListener::connect() {
    if (m_connection->connection) PQfinish(m_connection->connection);
    m_connection->connection = connectToServer(m_url);
    if (PQstatus(m_connection->connection) != CONNECTION_OK) return false;
    PGresult* result =
        PQexec(m_connection->connection, (std::string("LISTEN ") + kChannel).c_str());
    bool listening = PQresultStatus(result) == PGRES_COMMAND_OK;
    PQclear(result);
    return listening;
}

void PgListener::drain() {
    PGconn* connection = m_connection->connection;
    PQconsumeInput(connection);
    while (PGnotify* notice = PQnotifies(connection)) {
        if (notice->be_pid != m_ownProcess.load()) ++m_version;
        PQfreemem(notice);
    }
}

void PgListener::run() {
    bool healthy = PQstatus(m_connection->connection) == CONNECTION_OK;
    // The wake-up pipe ends the wait at once; the timeout only backs it up.
    while (!m_stop) {
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {-1, POLLIN, 0}};
        if (healthy) fds[1].fd = PQsocket(m_connection->connection);
        int ready = poll(fds, 2, kReconnectMilliseconds);
        if (ready < 0 || fds[0].revents || m_stop) continue;
        if (!healthy) {
            if ((healthy = connect())) ++m_version;
            continue;
        }
        if (fds[1].revents) {
            drain();
            if (PQstatus(m_connection->connection) != CONNECTION_OK) {
                healthy = false;
                ++m_version;
            }
        }
    }
}

}  // namespace vantrel
