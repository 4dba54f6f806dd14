// Feeds arbitrary bytes to the GPX reader: every input must read or fail with the reader's own
// error, never crash, hang or expand entities.
#include <cstddef>
#include <cstdint>

#include "import/GPXParser.h"
#include "import/RideImportError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        vantrel::GPXParser().parse(data, size);
    } catch (const vantrel::RideImportError&) {
    }
    return 0;
}
