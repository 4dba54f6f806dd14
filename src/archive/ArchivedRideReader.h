#pragma once

#include <simdjson.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/RideArchiveExporter.h"
#include "model/Bytes.h"

namespace vantrel {

/// A string value that the archive stream read itself rather than leave to the JSON reader:
/// texts and Base64 fields can be far larger than everything else of an activity together.
struct StreamedValue {
    std::string text;
    /// The decoded bytes of a byte field; absent when damaged or too large.
    std::optional<Bytes> bytes;
    /// The string holds an escape that the JSON reader refuses.
    bool badString = false;
    /// A byte field whose text is not valid Base64.
    bool damaged = false;
    /// A byte field whose bytes are more than the stream keeps.
    bool oversized = false;
};

/// Streamed values by the position of their field in `archiveFields()`.
using StreamedValues = std::vector<std::optional<StreamedValue>>;

/// Reads one archived activity from `document`: "[", the activity's JSON value, "]" and the
/// reader's padding after it, where every member held in `streamed` has the value "". `path`
/// names the activity ("rides[3]"). Throws `ArchiveError` naming the failing key or value; a
/// missing required key only when `complete` (the document may hold the first members only).
RideArchiveExporter::ArchivedRide readArchivedRide(simdjson::ondemand::parser& parser,
                                                   simdjson::padded_string_view document,
                                                   const std::string& path,
                                                   const StreamedValues& streamed,
                                                   bool complete = true);

/// Reads the value of the top-level member "version", "exportDate" or "appName" from `document`
/// ("[", the value, "]" and padding) into `archive`. Throws `ArchiveError`.
void readArchiveHeaderValue(simdjson::ondemand::parser& parser,
                            simdjson::padded_string_view document, std::string_view key,
                            RideArchiveExporter::Archive& archive);

/// How the reader names the type of a JSON value starting with the byte `first` ("an object",
/// "a number", …); nothing for a byte that starts no value.
std::optional<std::string> jsonTypeNameStartingWith(int first);

}  // namespace vantrel
