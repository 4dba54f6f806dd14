#include "model/StoreLocation.h"

namespace vantrel {

bool isServerLocation(std::string_view location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

std::string displayLocation(std::string_view location) {
    if (!isServerLocation(location)) return std::string(location);
    std::string url(location);
    auto authority = url.find("//") + 2;
    auto authorityEnd = url.find_first_of("/?", authority);
    auto at = url.rfind('@', authorityEnd == std::string::npos ? url.size() : authorityEnd);
    if (at != std::string::npos && at >= authority) {
        auto colon = url.find(':', authority);
        if (colon != std::string::npos && colon < at) url.erase(colon, at - colon);
    }
    auto query = url.find('?');
    if (query == std::string::npos) return url;
    std::string kept;
    std::string_view rest = std::string_view(url).substr(query + 1);
    while (!rest.empty()) {
        auto end = rest.find('&');
        auto parameter = rest.substr(0, end);
        if (!parameter.starts_with("password=") && !parameter.empty())
            kept += (kept.empty() ? "?" : "&") + std::string(parameter);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return url.substr(0, query) + kept;
}

}  // namespace vantrel
