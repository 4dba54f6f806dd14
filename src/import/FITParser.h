#pragma once

#include <stdexcept>

#include "import/ImportedActivity.h"
#include "model/Bytes.h"

namespace vantrel {

/// The two failures of the FIT decoder; `what()` is the user-facing description.
class FITParseError : public std::runtime_error {
  public:
    enum class Kind { invalidSignature, truncatedData };
    static FITParseError invalidSignature() {
        return {Kind::invalidSignature, "Not a valid FIT file."};
    }
    static FITParseError truncatedData() { return {Kind::truncatedData, "FIT file is truncated."}; }
    Kind kind() const { return m_kind; }

  private:
    FITParseError(Kind kind, const char* text) : std::runtime_error(text), m_kind(kind) {}
    Kind m_kind;
};

/// Decodes one FIT activity file. Single use: make one per file.
class FITParser {
  public:
    /// Throws `FITParseError`, or `RideImportError::parsingFailed` for an undefined local
    /// message type. Nothing is returned on failure.
    ImportedActivity parse(const Bytes& bytes);
    ImportedActivity parse(const std::uint8_t* data, std::size_t size);
};

}  // namespace vantrel
