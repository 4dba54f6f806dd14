#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "import/ActivityReader.h"
#include "import/XmlReader.h"

namespace vantrel {

/// What the XML formats share: expat over a document in memory or streamed from a file, storage
/// for points sized from the document's length, and the blank bytes some tools write ahead of
/// the XML declaration skipped in a file.
class XmlActivityReader : public ActivityReader, protected XmlEventHandler {
  public:
    using ActivityReader::parse;
    /// The document as `source` supplies it; `sizeHint`, its expected length in bytes or 0,
    /// only sizes the reading buffer and the storage for points up front. Throws as `parse`.
    ImportedActivity parse(const XmlSource& source, std::size_t sizeHint);

    ImportedActivity parseFileContent(const Bytes& bytes) override;
    /// Streams the file through the reader rather than holding it whole.
    ImportedActivity parseFile(const std::filesystem::path& file) override;

  protected:
    /// `namespaceProcessing` makes element names local names.
    explicit XmlActivityReader(bool namespaceProcessing)
        : m_namespaceProcessing(namespaceProcessing) {}

  private:
    ImportedActivity parseDocument(const std::uint8_t* data, std::size_t size) override;
    /// Sizes the storage for points from the document's expected length in bytes (0: unknown).
    virtual void reservePoints(std::size_t documentSize) = 0;
    /// The result, once the whole document has been read.
    virtual ImportedActivity finish() = 0;

    bool m_namespaceProcessing;
};

}  // namespace vantrel
