// Feeds arbitrary bytes to the gzip decoder: output stays within its cap and every failure is
// one of its four messages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "import/Gunzip.h"
#include "import/RideImportError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        vantrel::Bytes output = vantrel::gunzip(data, size);
        if (output.empty() || output.size() > vantrel::kGunzipMaximumOutput) std::abort();
    } catch (const vantrel::RideImportError&) {
    }
    return 0;
}
