#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "import/FileBytes.h"
#include "model/Bytes.h"

namespace vantrel {

/// Whether `byte` is one of the blank bytes some tools write ahead of an XML declaration (tab,
/// line feed, carriage return, space).
inline bool isBlankByte(std::uint8_t byte) {
    return byte == 0x09 || byte == 0x0A || byte == 0x0D || byte == 0x20;
}

/// Start of the document in `bytes` after leading blank bytes; 0 when there is nothing else.
std::size_t documentStart(const Bytes& bytes);

/// Hands a file to an XML reader without its leading blank bytes, as `documentStart` does for a
/// file in memory: a file of nothing but blank bytes goes through whole. Reads from `reader`,
/// which must outlive it.
class BlankSkippingSource {
  public:
    explicit BlankSkippingSource(FileReader& reader) : m_reader(reader) {}

    /// Up to `capacity` further bytes of the document into `buffer`; 0 at its end. Throws
    /// `FileReadError` as `FileReader::read` does.
    std::size_t read(char* buffer, std::size_t capacity);

  private:
    std::size_t takeSkipped(char* buffer, std::size_t capacity);

    FileReader& m_reader;
    std::string m_skipped;
    std::size_t m_handedOver = 0;
    bool m_started = false;
    bool m_allBlank = false;
};

}  // namespace vantrel
