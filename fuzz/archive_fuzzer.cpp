// Feeds arbitrary bytes to the archive decoder: it must either decode them or throw
// ArchiveError, whatever decodes must encode again, and the same bytes handed over in small
// pieces must give the same outcome. As Base64 text, the bytes must also decode alike whole and
// in pieces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/ArchiveError.h"
#include "archive/ArchiveStream.h"
#include "archive/RideArchiveImporter.h"
#include "model/Base64.h"
#include "model/Base64Decoder.h"

namespace {

class PieceSource final : public vantrel::JsonSource {
  public:
    explicit PieceSource(std::string_view text) : m_text(text) {}
    std::size_t read(char* buffer, std::size_t capacity) override {
        std::size_t count = std::min({capacity, m_text.size(), std::size_t{7}});
        std::memcpy(buffer, m_text.data(), count);
        m_text.remove_prefix(count);
        return count;
    }

  private:
    std::string_view m_text;
};

std::string outcome(vantrel::JsonSource& source) {
    std::string result;
    try {
        vantrel::ArchiveStream stream(source);
        while (auto ride = stream.next()) result += ride->ride.rideID.toString();
    } catch (const vantrel::ArchiveError& error) {
        result = error.what();
    }
    return result;
}

void checkBase64(std::string_view text) {
    vantrel::Base64Decoder decoder;
    for (std::size_t at = 0; at < text.size(); at += 5) {
        decoder.add(text.data() + at, std::min<std::size_t>(5, text.size() - at));
    }
    if (decoder.finish() != vantrel::base64Decode(text)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vantrel::Bytes bytes(data, data + size);
    try {
        auto archive = vantrel::RideArchiveImporter::decodeArchive(bytes);
        (void)vantrel::RideArchiveExporter::encodeArchive(archive);
    } catch (const vantrel::ArchiveError&) {
    }
    std::string_view text(reinterpret_cast<const char*>(data), size);
    vantrel::MemoryJsonSource whole(text);
    PieceSource pieces(text);
    if (outcome(whole) != outcome(pieces)) std::abort();
    checkBase64(text);
    return 0;
}
