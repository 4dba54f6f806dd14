// Feeds arbitrary bytes to the TCX reader: every input must read or fail with the reader's own
// error, never crash, hang or expand entities.
#include <cstddef>
#include <cstdint>

#include "import/RideImportError.h"
#include "import/TCXParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        vantrel::TCXParser().parse(data, size);
    } catch (const vantrel::RideImportError&) {
    }
    return 0;
}
