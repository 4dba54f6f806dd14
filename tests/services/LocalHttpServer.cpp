#include "LocalHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace vantrel::test {

namespace {

constexpr std::size_t kMaxRequestBytes = std::size_t{64} * 1024;

std::string headerValue(const std::string& head, const std::string& name) {
    auto start = head.find("\r\n" + name + ": ");
    if (start == std::string::npos) return {};
    start += name.size() + 4;
    return head.substr(start, head.find("\r\n", start) - start);
}

void sendAll(int connection, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        auto n = ::send(connection, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

LocalHttpServer::LocalHttpServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot start the local HTTP server");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LocalHttpServer::~LocalHttpServer() {
    m_stopping = true;
    m_thread.join();
    ::close(m_listener);
}

std::string LocalHttpServer::url() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::vector<LocalHttpServer::Request> LocalHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LocalHttpServer::serve() {
    while (!m_stopping) {
        pollfd poller{m_listener, POLLIN, 0};
        if (::poll(&poller, 1, 20) <= 0) continue;
        int connection = ::accept(m_listener, nullptr, nullptr);
        if (connection < 0) continue;
        answer(connection);
        ::close(connection);
    }
}

bool LocalHttpServer::pause(std::chrono::milliseconds delay) const {
    auto deadline = std::chrono::steady_clock::now() + delay;
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_stopping) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void LocalHttpServer::answer(int connection) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes) {
        pollfd poller{connection, POLLIN, 0};
        if (m_stopping || ::poll(&poller, 1, 1000) <= 0) return;
        auto n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    auto firstSpace = head.find(' ');
    auto secondSpace = head.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) return;
    Request request{head.substr(firstSpace + 1, secondSpace - firstSpace - 1),
                    headerValue(head, "User-Agent"), std::chrono::steady_clock::now()};
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    auto response = m_handler(request);
    if (!pause(response.delay)) return;
    sendAll(connection, "HTTP/1.0 " + std::to_string(response.status) +
                            " X\r\nContent-Type: " + response.contentType + "\r\nContent-Length: " +
                            std::to_string(response.body.size()) + "\r\n\r\n" + response.body);
}

std::string LocalHttpServer::decode(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            decoded +=
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::string LocalHttpServer::queryValue(const std::string& target, std::string_view name) {
    auto query = target.find('?');
    if (query == std::string::npos) return {};
    std::string_view rest(target);
    rest.remove_prefix(query + 1);
    while (!rest.empty()) {
        auto amp = rest.find('&');
        auto pair = rest.substr(0, amp);
        auto equals = pair.find('=');
        if (pair.substr(0, equals) == name && equals != std::string_view::npos) {
            return decode(pair.substr(equals + 1));
        }
        if (amp == std::string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
    return {};
}

}  // namespace vantrel::test
