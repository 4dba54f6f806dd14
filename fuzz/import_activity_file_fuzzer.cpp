// Runs the whole file import on arbitrary bytes, as one activity and split into legs. The first
// byte picks the file name, so that every reader, the gzip path and the unsupported-type path are
// reached.
#include <array>
#include <cstddef>
#include <cstdint>

#include "import/ActivityImporter.h"
#include "import/FITParser.h"
#include "import/RideImportError.h"

namespace {

const std::array<const char*, 8> kNames = {"a.gpx",    "a.tcx",    "a.fit", "a.gpx.gz",
                                           "a.tcx.gz", "a.fit.gz", "A.GPX", "a.gz"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const char* name = kNames[data[0] % kNames.size()];
    vantrel::Bytes bytes(data + 1, data + size);
    try {
        vantrel::importActivityFile(bytes, name, std::string("Fuzz"));
        vantrel::importActivityLegs(bytes, name, std::string("Fuzz"));
    } catch (const vantrel::RideImportError&) {
    } catch (const vantrel::FITParseError&) {
    }
    return 0;
}
