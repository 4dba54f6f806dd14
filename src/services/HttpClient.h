#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/Cancellation.h"

namespace vantrel {

/// What became of one request: an answer of any status, or none and why.
struct HttpAnswer {
    enum class Outcome {
        answered,     ///< the server answered; `status` and `body` hold what it said
        tooLarge,     ///< the server answered more than the client accepts
        unreachable,  ///< no answer: refused, not resolved, timed out, broken off
        cancelled,    ///< the token was cancelled while waiting
    };
    Outcome outcome = Outcome::unreachable;
    long status = 0;
    std::string body;
    /// The transfer library's description of the failure, for `unreachable`.
    std::string error;
    /// For `unreachable`: nothing reached a server (refused, no route, not resolved, timed out),
    /// as opposed to a transfer broken off or a URL refused.
    bool connectionFailed = false;
};

/// Plain HTTP(S) GET requests for the look-up services: bounded in time and size, no
/// redirects, no protocols other than http and https.
class HttpClient {
  public:
    struct Options {
        std::string userAgent;
        /// The whole request, connection included.
        std::chrono::milliseconds timeout{6000};
        /// Longer answers are cut off and count as failures.
        std::size_t maxAnswerBytes = std::size_t{4} * 1024 * 1024;
    };

    /// Why a request brought no answer.
    enum class Failure {
        none,
        /// Nothing reached a server: refused, no route, no name resolution, or timed out.
        connection,
        /// A server answered, but not with 200.
        status,
        /// Anything else: an oversized answer, a broken transfer, a refused URL.
        other,
    };
    struct Response {
        /// The body of a 200 answer.
        std::optional<std::string> body;
        Failure failure = Failure::none;
    };

    explicit HttpClient(Options options);

    /// The body of a 200 answer; absent on any failure, other status, time-out or oversize.
    std::optional<std::string> get(const std::string& url) const;
    /// `get`, also telling why it failed.
    Response request(const std::string& url) const;
    /// The answer whatever its status, or why there was none. A cancelled `token` ends the
    /// transfer within a fraction of a second.
    HttpAnswer fetch(const std::string& url, const CancellationToken* token = nullptr) const;

    /// Percent-encoding of every byte outside the unreserved set (RFC 3986).
    static std::string percentEncode(std::string_view text);

  private:
    Options m_options;
};

}  // namespace vantrel
