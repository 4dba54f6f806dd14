#pragma once

#include <cstddef>
#include <stdexcept>

#include "import/ActivityReader.h"

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

/// More than three weeks of one-second recording. Each 9-byte record message becomes a
/// trackpoint many times its size, and a route this long is near the most a stored series can
/// hold and still be read back, so a file beyond it is refused rather than imported.
inline constexpr std::size_t kMaximumFITTrackpoints = 2'000'000;

/// Decodes one FIT activity file. Single use: make one per file.
class FITParser : public ActivityReader {
  public:
    /// `maximumTrackpoints` other than the default serves tests that need no file of megabytes.
    explicit FITParser(std::size_t maximumTrackpoints = kMaximumFITTrackpoints)
        : m_maximumTrackpoints(maximumTrackpoints) {}

  private:
    /// Throws `FITParseError`, or `RideImportError::parsingFailed` for an undefined local
    /// message type or more laps or trackpoints than allowed. Nothing is returned on failure.
    ImportedActivity parseDocument(const std::uint8_t* data, std::size_t size) override;

    std::size_t m_maximumTrackpoints;
};

}  // namespace vantrel
