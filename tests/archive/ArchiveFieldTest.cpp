#include <gtest/gtest.h>

#include <set>
#include <string>

#include "archive/ArchiveField.h"
#include "model/RideFields.h"

namespace vantrel {
namespace {

// The record fields the archive format does not carry. A field added to the record must be
// put either here or in the archive's own table, as a decision about the format.
const std::set<std::string> kNotArchived = {"mapCenterLat", "mapCenterLon", "mapSpanLat",
                                            "mapSpanLon",   "trimmedAt",    "preTrimBackup"};

ArchiveValueKind archiveKindOf(FieldKind kind) {
    switch (kind) {
        case FieldKind::identifier:
            return ArchiveValueKind::uuid;
        case FieldKind::date:
            return ArchiveValueKind::date;
        case FieldKind::text:
            return ArchiveValueKind::text;
        case FieldKind::bytes:
            return ArchiveValueKind::bytes;
        case FieldKind::number:
        case FieldKind::integer:
            break;
    }
    return ArchiveValueKind::number;
}

TEST(ArchiveFieldTest, NamesExactlyTheRecordFieldsTheFormatCarries) {
    std::set<std::string> recordNames;
    for (const auto& field : kRideFields) {
        recordNames.insert(field.name);
        const ArchiveField* archived = archiveFieldNamed(field.name);
        bool leftOut = kNotArchived.count(field.name) > 0;
        EXPECT_NE(archived != nullptr, leftOut)
            << field.name << ": carried and left out, or neither";
        if (archived) {
            EXPECT_EQ(archived->kind, archiveKindOf(field.kind))
                << field.name << " is written as another kind than the record holds";
        }
    }
    for (const auto& field : archiveFields())
        EXPECT_TRUE(recordNames.count(field.key)) << field.key << " is no record field";
    for (const auto& name : kNotArchived) EXPECT_TRUE(recordNames.count(name)) << name;
}

}  // namespace
}  // namespace vantrel
