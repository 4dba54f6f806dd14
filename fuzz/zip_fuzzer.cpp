// Feeds arbitrary bytes to the ZIP archive reader as an archive file: listing and reading every
// member must succeed or fail with the reader's own error, never crash, hang, write a file or
// hold more than the member size limit.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "import/ZipArchiveReader.h"

namespace {

constexpr std::uint64_t kFuzzMemberLimit = 4 * 1024 * 1024;

const std::filesystem::path& inputFile() {
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vantrel-zip-fuzz-" + std::to_string(getpid()));
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(inputFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    vantrel::ZipListing listing = vantrel::listZipArchive(inputFile());
    vantrel::ZipArchiveReader reader(inputFile());
    for (const auto& member : listing.files) {
        try {
            reader.read(member, kFuzzMemberLimit);
        } catch (const vantrel::ZipMemberError&) {
        }
    }
    std::error_code ignored;
    std::filesystem::remove(inputFile(), ignored);
    return 0;
}
