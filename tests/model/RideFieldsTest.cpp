#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "model/RideFields.h"

namespace vantrel {
namespace {

struct MemberSpan {
    std::ptrdiff_t offset;
    std::size_t size;
    std::size_t alignment;
    std::string name;
};

template <typename Record, typename Member>
MemberSpan spanOf(const Record& record, const Member& member, std::string name) {
    auto offset = reinterpret_cast<const char*>(&member) - reinterpret_cast<const char*>(&record);
    return {offset, sizeof(Member), alignof(Member), std::move(name)};
}

std::ptrdiff_t alignUp(std::ptrdiff_t offset, std::size_t alignment) {
    auto step = static_cast<std::ptrdiff_t>(alignment);
    return (offset + step - 1) / step * step;
}

// Every byte of the record that neither a listed field nor one of `others` covers must be
// padding: a member added to the class but not to its table leaves a gap that alignment cannot
// explain. The table must also follow declaration order, which is the store's column order.
template <typename Record, std::size_t Count>
void expectTableCoversRecord(const std::array<RecordField<Record>, Count>& table,
                             std::vector<MemberSpan> others) {
    Record record;
    std::vector<MemberSpan> listed;
    for (const auto& field : table) {
        field.apply(record, [&](const auto& value) {
            listed.push_back(spanOf(record, value, field.name));
        });
    }
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
        return a.offset < b.offset;
    })) << "the table is not in declaration order";
    std::set<std::string> names;
    for (const auto& span : listed) EXPECT_TRUE(names.insert(span.name).second) << span.name;

    auto spans = listed;
    spans.insert(spans.end(), others.begin(), others.end());
    std::sort(spans.begin(), spans.end(),
              [](const auto& a, const auto& b) { return a.offset < b.offset; });
    std::ptrdiff_t end = 0;
    for (const auto& span : spans) {
        EXPECT_EQ(alignUp(end, span.alignment), span.offset)
            << "a member missing from the table lies before " << span.name;
        end = span.offset + static_cast<std::ptrdiff_t>(span.size);
    }
    EXPECT_EQ(alignUp(end, alignof(Record)), static_cast<std::ptrdiff_t>(sizeof(Record)))
        << "a member missing from the table lies after " << spans.back().name;
}

TEST(RideFieldsTest, TablesListEveryStoredMemberInOrder) {
    PersistedRide ride;
    expectTableCoversRecord(kRideFields, {spanOf(ride, ride.objectID, "objectID"),
                                          spanOf(ride, ride.photos, "photos")});
    RidePhoto photo;
    expectTableCoversRecord(kPhotoFields, {spanOf(photo, photo.objectID, "objectID")});
}

// Each field on its own, changed to a value of its kind, must make two records differ.
TEST(RideFieldsTest, SameValuesNoticesEachField) {
    PersistedRide original;
    original.photos.push_back(RidePhoto{});
    for (const auto& field : kRideFields) {
        PersistedRide changed = original;
        field.apply(changed, [](auto& value) {
            using Value = std::remove_cvref_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, Uuid>) {
                value = Uuid::random();
            } else if constexpr (std::is_arithmetic_v<Value>) {
                value += 1;
            } else {
                value = typename Value::value_type{};
            }
        });
        EXPECT_FALSE(changed.sameValues(original)) << field.name;
        EXPECT_TRUE(changed.sameValues(changed)) << field.name;
    }
    PersistedRide otherPhoto = original;
    otherPhoto.photos.front().caption = "x";
    EXPECT_FALSE(otherPhoto.sameValues(original));
    PersistedRide otherRow = original;
    otherRow.objectID = 7;
    otherRow.photos.front().objectID = 9;
    EXPECT_TRUE(otherRow.sameValues(original)) << "row ids are identity, not values";
}

}  // namespace
}  // namespace vantrel
