#include "support/CommitCuttingProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace vantrel::test {

namespace {

constexpr int kPollMilliseconds = 50;
// The protocol's version 3.0, the code of the startup message that ends the untyped messages.
constexpr std::uint32_t kStartupCode = 196608;

std::uint32_t bigEndian32(const std::string& bytes, std::size_t at) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return ntohl(value);
}

// Each query waits for its answer: holding small packets back for an acknowledgement would make
// every round trip wait for the peer's delayed acknowledgement.
void sendAtOnce(int socket) {
    int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool sendAll(int socket, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

int connectTo(const std::string& host, int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return -1;
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket >= 0 &&
        ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

// Reads and drops what the server still sends until it closes, for at most ten seconds.
void drainUntilClosed(int socket) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd entry{socket, POLLIN, 0};
        if (::poll(&entry, 1, kPollMilliseconds) <= 0) continue;
        if (::recv(socket, buffer, sizeof buffer, 0) <= 0) return;
    }
}

}  // namespace

CommitCuttingProxy::CommitCuttingProxy(const std::string& serverURL) {
    auto authority = serverURL.find("//");
    if (authority == std::string::npos) throw std::runtime_error("proxy: not a URL: " + serverURL);
    authority += 2;
    auto path = serverURL.find('/', authority);
    std::string hostPort = serverURL.substr(authority, path - authority);
    std::string user;
    if (auto at = hostPort.rfind('@'); at != std::string::npos) {
        user = hostPort.substr(0, at + 1);
        hostPort = hostPort.substr(at + 1);
    }
    auto colon = hostPort.rfind(':');
    m_serverHost = hostPort.substr(0, colon);
    m_serverPort = colon == std::string::npos ? 5432 : std::stoi(hostPort.substr(colon + 1));

    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("proxy: cannot listen on 127.0.0.1");
    std::string rest = path == std::string::npos ? "/" : serverURL.substr(path);
    m_url = "postgresql://" + user + "127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + rest +
            (rest.find('?') == std::string::npos ? "?" : "&") +
            "sslmode=disable&gssencmode=disable";
    m_acceptor = std::thread([this] { acceptConnections(); });
}

CommitCuttingProxy::~CommitCuttingProxy() {
    m_stopping = true;
    m_acceptor.join();
    for (auto& relay : m_relays) relay.join();
    ::close(m_listener);
}

void CommitCuttingProxy::cutAfterCommit(int skip) {
    m_commitsToSkip = skip;
}

bool CommitCuttingProxy::takeCut() {
    int armed = m_commitsToSkip.load();
    while (armed >= 0) {
        if (m_commitsToSkip.compare_exchange_weak(armed, armed == 0 ? -1 : armed - 1))
            return armed == 0;
    }
    return false;
}

void CommitCuttingProxy::acceptConnections() {
    while (!m_stopping) {
        pollfd entry{m_listener, POLLIN, 0};
        if (::poll(&entry, 1, kPollMilliseconds) <= 0) continue;
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard lock(m_mutex);
        m_relays.emplace_back([this, client] { relay(client); });
    }
}

bool CommitCuttingProxy::forwardClientMessages(std::string& pending, bool& started, int server) {
    for (;;) {
        // Before the startup message, messages have a length and no type byte.
        std::size_t header = started ? 5 : 8;
        if (pending.size() < header) return false;
        std::size_t total = started ? 1 + bigEndian32(pending, 1) : bigEndian32(pending, 0);
        if (pending.size() < total) return false;
        bool commit =
            started && pending[0] == 'Q' && total >= 11 && pending.compare(5, 6, "COMMIT") == 0;
        if (!started && bigEndian32(pending, 4) == kStartupCode) started = true;
        if (!sendAll(server, pending.data(), total)) return false;
        pending.erase(0, total);
        if (commit && takeCut()) return true;
    }
}

void CommitCuttingProxy::relay(int client) {
    int server = connectTo(m_serverHost, m_serverPort);
    sendAtOnce(client);
    if (server >= 0) sendAtOnce(server);
    std::string pending;
    bool started = false;
    char buffer[65536];
    while (server >= 0 && !m_stopping) {
        pollfd entries[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(entries, 2, kPollMilliseconds) <= 0) continue;
        if (entries[1].revents) {
            ssize_t got = ::recv(server, buffer, sizeof buffer, 0);
            if (got <= 0 || !sendAll(client, buffer, static_cast<std::size_t>(got))) break;
        }
        if (entries[0].revents) {
            ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            pending.append(buffer, static_cast<std::size_t>(got));
            if (forwardClientMessages(pending, started, server)) {
                // The server reads the COMMIT before the end of the stream: it commits, answers
                // into the void and ends the session. Only then does the client lose its line.
                ::shutdown(server, SHUT_WR);
                drainUntilClosed(server);
                ++m_cuts;
                break;
            }
        }
    }
    if (server >= 0) ::close(server);
    ::close(client);
}

}  // namespace vantrel::test
