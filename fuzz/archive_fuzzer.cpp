// Feeds arbitrary bytes to the archive decoder: it must either decode them or throw
// ArchiveError, and whatever decodes must encode again.
#include <cstddef>
#include <cstdint>

#include "archive/ArchiveError.h"
#include "archive/RideArchiveImporter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vantrel::Bytes bytes(data, data + size);
    try {
        auto archive = vantrel::RideArchiveImporter::decodeArchive(bytes);
        (void)vantrel::RideArchiveExporter::encodeArchive(archive);
    } catch (const vantrel::ArchiveError&) {
    }
    return 0;
}
