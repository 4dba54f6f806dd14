#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "export/RideArchiveExporter.h"

namespace vantrel {

/// Writes an archive document one activity at a time, handing the text to `sink` in pieces of
/// about a megabyte, so that exports of many activities need not hold the whole document.
class ArchiveEncoder {
  public:
    using Sink = std::function<void(std::string_view piece)>;

    /// Throws `ArchiveError::invalidNumber` for a non-finite `exportDate`.
    ArchiveEncoder(Sink sink, Date exportDate, std::string_view appName = "Vantrel",
                   std::int64_t version = 1);

    /// Throws `ArchiveError::invalidNumber` before writing anything of a ride with a non-finite
    /// number; the document is then unusable.
    void add(const RideArchiveExporter::ArchivedRide& ride);
    /// Closes the document and hands out the rest. Returns the number of bytes written in all.
    std::size_t finish();

  private:
    void flushIfFull();

    Sink m_sink;
    std::string m_buffer;
    std::size_t m_written = 0;
    std::size_t m_count = 0;
    std::int64_t m_version = 1;
};

}  // namespace vantrel
