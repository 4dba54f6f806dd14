#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::test {

/// A one-thread HTTP/1.0 server on 127.0.0.1 at an ephemeral port, standing in for the
/// look-up servers. It answers one request per connection with whatever the handler returns
/// and records every request. Stops (and joins) at destruction.
class LocalHttpServer {
  public:
    struct Request {
        std::string target;  ///< path and query, still percent-encoded
        std::string userAgent;
        std::chrono::steady_clock::time_point receivedAt;
    };
    struct Response {
        int status = 200;
        std::string body;
        /// Held back this long before the answer (cut short when the server stops).
        std::chrono::milliseconds delay{0};
        std::string contentType = "application/json";
    };
    using Handler = std::function<Response(const Request&)>;

    explicit LocalHttpServer(Handler handler);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    /// "http://127.0.0.1:PORT"
    std::string url() const;
    std::vector<Request> requests() const;

    /// Decodes %XX and '+' of a query value.
    static std::string decode(std::string_view text);
    /// The decoded value of `name` in the request target's query; empty when absent.
    static std::string queryValue(const std::string& target, std::string_view name);

  private:
    void serve();
    void answer(int connection);
    bool pause(std::chrono::milliseconds delay) const;

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::thread m_thread;
};

}  // namespace vantrel::test
