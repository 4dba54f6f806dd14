#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

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

    explicit HttpClient(Options options);

    /// The body of a 200 answer; absent on any failure, other status, time-out or oversize.
    std::optional<std::string> get(const std::string& url) const;

    /// Percent-encoding of every byte outside the unreserved set (RFC 3986).
    static std::string percentEncode(std::string_view text);

  private:
    Options m_options;
};

}  // namespace vantrel
