#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "import/ImportedActivity.h"
#include "model/Bytes.h"

namespace vantrel {

/// The reader of one activity file format. Single use: make one per file.
class ActivityReader {
  public:
    virtual ~ActivityReader() = default;

    /// The document exactly as given. Throws `RideImportError::parsingFailed` (the FIT reader
    /// also `FITParseError`) when it cannot be read; nothing partial is returned.
    ImportedActivity parse(const Bytes& bytes) { return parse(bytes.data(), bytes.size()); }
    ImportedActivity parse(const std::uint8_t* data, std::size_t size) {
        return parseDocument(data, size);
    }

    /// A file's whole content as found, allowing for what files of the format carry around
    /// the document itself. Throws as `parse` does.
    virtual ImportedActivity parseFileContent(const Bytes& bytes) { return parse(bytes); }

    /// The file at `file`, read whole unless the reader can take it piece by piece. Throws
    /// `FileReadError` when the file cannot be read, otherwise as `parse` does.
    virtual ImportedActivity parseFile(const std::filesystem::path& file);

  private:
    virtual ImportedActivity parseDocument(const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace vantrel
