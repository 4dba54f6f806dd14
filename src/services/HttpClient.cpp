#include "services/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

namespace vantrel {

namespace {

struct Download {
    std::string body;
    std::size_t limit = 0;
    bool overflowed = false;
};

std::size_t appendChunk(char* data, std::size_t size, std::size_t count, void* userData) {
    auto* download = static_cast<Download*>(userData);
    std::size_t length = size * count;
    if (download->body.size() + length > download->limit) {
        download->overflowed = true;
        return 0;  // makes curl abort the transfer
    }
    download->body.append(data, length);
    return length;
}

// Called by curl a few times a second during a transfer; non-zero aborts it.
int abortWhenCancelled(void* userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* token = static_cast<const CancellationToken*>(userData);
    return token->isCancelled() ? 1 : 0;
}

void initializeCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

void configure(CURL* curl, const std::string& url, const HttpClient::Options& options,
               Download& download) {
    auto timeout = static_cast<long>(options.timeout.count());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeout);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, std::min(timeout, 3000L));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(options.maxAnswerBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendChunk);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
}

// A network that is down shows as one of these; a server that answers badly does not.
HttpClient::Failure failureOf(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_OPERATION_TIMEDOUT:
            return HttpClient::Failure::connection;
        default:
            return HttpClient::Failure::other;
    }
}

}  // namespace

HttpClient::HttpClient(Options options) : m_options(std::move(options)) {
    initializeCurl();
}

std::optional<std::string> HttpClient::get(const std::string& url) const {
    HttpAnswer answer = fetch(url);
    if (answer.outcome != HttpAnswer::Outcome::answered || answer.status != 200) {
        return std::nullopt;
    }
    return std::move(answer.body);
}

HttpClient::Response HttpClient::request(const std::string& url) const {
    HttpAnswer answer = fetch(url);
    switch (answer.outcome) {
        case HttpAnswer::Outcome::answered:
            if (answer.status != 200) return {std::nullopt, Failure::status};
            return {std::move(answer.body), Failure::none};
        case HttpAnswer::Outcome::unreachable:
            return {std::nullopt, answer.connectionFailed ? Failure::connection : Failure::other};
        case HttpAnswer::Outcome::tooLarge:
        case HttpAnswer::Outcome::cancelled:
            break;
    }
    return {std::nullopt, Failure::other};
}

HttpAnswer HttpClient::fetch(const std::string& url, const CancellationToken* token) const {
    HttpAnswer answer;
    CurlHandle curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        answer.error = "the transfer library could not start";
        return answer;
    }
    Download download;
    download.limit = m_options.maxAnswerBytes;
    configure(curl.get(), url, m_options, download);
    std::array<char, CURL_ERROR_SIZE> message{};
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, message.data());
    if (token) {
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
        curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, token);
        curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    }
    CURLcode code = curl_easy_perform(curl.get());
    if (download.overflowed || code == CURLE_FILESIZE_EXCEEDED) {
        answer.outcome = HttpAnswer::Outcome::tooLarge;
    } else if (code == CURLE_ABORTED_BY_CALLBACK) {
        answer.outcome = HttpAnswer::Outcome::cancelled;
    } else if (code != CURLE_OK) {
        answer.outcome = HttpAnswer::Outcome::unreachable;
        answer.connectionFailed = failureOf(code) == HttpClient::Failure::connection;
        answer.error = message[0] != '\0' ? message.data() : curl_easy_strerror(code);
    } else {
        answer.outcome = HttpAnswer::Outcome::answered;
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &answer.status);
        answer.body = std::move(download.body);
    }
    return answer;
}

std::string HttpClient::percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size() * 3);
    for (unsigned char c : text) {
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += kHex[c >> 4];
            encoded += kHex[c & 0x0F];
        }
    }
    return encoded;
}

}  // namespace vantrel
