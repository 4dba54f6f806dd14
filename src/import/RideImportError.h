#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

/// The errors of all imports; `what()` is the user-facing description.
class RideImportError : public std::runtime_error {
  public:
    enum class Kind {
        unsupportedFileType,
        parsingFailed,
        decompressFailed,
        noTrackpoints,
        fileTooLarge
    };

    static RideImportError unsupportedFileType(const std::string& extension) {
        return {Kind::unsupportedFileType, extension,
                "Unsupported file type: ." + extension + ". Use GPX, TCX, or FIT files."};
    }
    static RideImportError parsingFailed(const std::string& message) {
        return {Kind::parsingFailed, message, "Failed to parse file: " + message};
    }
    static RideImportError decompressFailed(const std::string& message) {
        return {Kind::decompressFailed, message, "Failed to decompress file: " + message};
    }
    static RideImportError noTrackpoints() {
        return {Kind::noTrackpoints, "", "No GPS trackpoints found in the file."};
    }
    static RideImportError fileTooLarge() {
        return {Kind::fileTooLarge, "", "The file is larger than 100 MB."};
    }

    Kind kind() const { return m_kind; }
    const std::string& payload() const { return m_payload; }

  private:
    RideImportError(Kind kind, std::string payload, const std::string& description)
        : std::runtime_error(description), m_kind(kind), m_payload(std::move(payload)) {}
    Kind m_kind;
    std::string m_payload;
};

}  // namespace vantrel
