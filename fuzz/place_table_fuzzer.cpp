// Feeds arbitrary bytes to the place table's reader and its searches: the first line is a query,
// the rest a table file (a user may point VANTREL_PLACE_TABLE at any file). Every input must
// load as some table and answer every question, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/PlaceTable.h"

extern "C" int LLVMFuzzerTestOneInput(  // NOLINT(readability-identifier-naming)
    const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto lineEnd = text.find('\n');
    auto query = text.substr(0, lineEnd);
    auto table = vantrel::PlaceTable::parse(
        lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1));
    (void)table.search(query, 5);
    (void)vantrel::PlaceTable::searchKey(text);
    for (const auto& place : table.search(query.substr(0, 2), 3)) {
        (void)table.nearest(place.coordinate, 30'000);
        (void)table.within(place.coordinate, 15'000);
    }
    return 0;
}
