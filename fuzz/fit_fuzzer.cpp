// Feeds arbitrary bytes to the FIT decoder: every input must decode or fail with one of the
// decoder's own errors, never crash, hang or grow memory beyond the input's size.
#include <cstddef>
#include <cstdint>

#include "import/FITParser.h"
#include "import/RideImportError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        vantrel::FITParser().parse(data, size);
    } catch (const vantrel::FITParseError&) {
    } catch (const vantrel::RideImportError&) {
    }
    return 0;
}
