#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "archive/RideArchiveExporter.h"

namespace vantrel {

/// The value of one member of an archived activity as the document reader meets it. Each
/// accessor throws `ArchiveError` naming the member when the value is not of the kind asked for.
class ArchiveValueReader {
  public:
    virtual double number() = 0;
    virtual Date date() = 0;
    virtual Uuid uuid() = 0;
    virtual std::string text() = 0;
    /// Nothing when the text is not valid Base64.
    virtual std::optional<Bytes> bytes() = 0;

  protected:
    ~ArchiveValueReader() = default;
};

/// What a field's value is in the document.
enum class ArchiveValueKind { number, date, uuid, text, bytes };

/// One field an archived activity carries: its key in the document, whether every activity must
/// have it, and how its value moves between a record, the archive entry and the document.
struct ArchiveField {
    const char* key;
    /// A required field may be neither missing nor null; an optional one is left out when absent.
    bool required;
    ArchiveValueKind kind;
    /// Copies the value from a record into an entry.
    void (*archive)(const PersistedRide& record, RideArchiveExporter::ArchivedRide& ride);
    /// Moves the value from an entry into a record.
    void (*restore)(RideArchiveExporter::ArchivedRide& ride, PersistedRide& record);
    bool (*present)(const RideArchiveExporter::ArchivedRide& ride);
    /// Appends the JSON text of a present value.
    void (*write)(std::string& out, const RideArchiveExporter::ArchivedRide& ride);
    /// The value of a present number or date, which the document can hold only when finite;
    /// nothing for the other kinds.
    std::optional<double> (*number)(const RideArchiveExporter::ArchivedRide& ride);
    /// Reads a value into the entry; an optional field's null never reaches it.
    void (*read)(ArchiveValueReader& value, RideArchiveExporter::ArchivedRide& ride);
};

/// Every field, in the order of `ArchivedRide`: the order in which a missing key or a number
/// that cannot be written is reported.
std::span<const ArchiveField> archiveFields();

/// Every field in ascending key order, the order in which the document holds them.
std::span<const ArchiveField* const> archiveFieldsByKey();

/// The field whose key is `key`, or null.
const ArchiveField* archiveFieldNamed(std::string_view key);

/// The position of `field` in `archiveFields()`.
std::size_t archiveFieldIndex(const ArchiveField& field);

}  // namespace vantrel
