// Feeds arbitrary bytes to the readers of look-up server answers: every input must read as an
// answer or as no answer, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/NominatimAnswer.h"
#include "services/OverpassAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)vantrel::NominatimAnswer::parseReverse(text);
    (void)vantrel::NominatimAnswer::parseSearch(text);
    (void)vantrel::OverpassAnswer::parseNames(text);
    (void)vantrel::OverpassAnswer::parseItems(text);
    return 0;
}
