#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/RideArchiveExporter.h"

namespace vantrel {

/// Writes an archive document one activity at a time, handing the text to `sink` in pieces of
/// about a megabyte, so that exports of many activities need not hold the whole document.
class ArchiveEncoder {
  public:
    using Sink = std::function<void(std::string_view piece)>;

    /// Throws `ArchiveError::invalidNumber` for an `exportDate` that cannot be written.
    ArchiveEncoder(Sink sink, Date exportDate, std::string_view appName = "Vantrel",
                   std::int64_t version = 1);

    /// Why the ride cannot be carried: its `date` or `deletedAt` is not an instant with a
    /// four-digit year (stored values from other devices can be anything). Absent when it can.
    static std::optional<std::string> unwritableDate(const RideArchiveExporter::ArchivedRide& ride);

    /// Appends the ride and returns true, or leaves it out and returns false when one of its
    /// dates cannot be written; the reason naming the ride is then added to `skipped()`.
    /// Throws `ArchiveError::invalidNumber` before writing anything of a ride with a non-finite
    /// number; the document is then unusable.
    bool add(const RideArchiveExporter::ArchivedRide& ride);
    /// One error text per ride left out, in the order they were given.
    const std::vector<std::string>& skipped() const { return m_skipped; }
    /// Closes the document and hands out the rest. Returns the number of bytes written in all.
    std::size_t finish();

  private:
    void flushIfFull();

    Sink m_sink;
    std::string m_buffer;
    std::size_t m_written = 0;
    std::size_t m_count = 0;
    std::int64_t m_version = 1;
    std::vector<std::string> m_skipped;
};

}  // namespace vantrel
