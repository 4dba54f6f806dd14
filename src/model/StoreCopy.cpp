#include "model/StoreCopy.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

#include "model/DuplicateActivity.h"

namespace vantrel {

namespace {

constexpr int kRecordsPerSave = 50;

/// FNV-1a over what a copy must carry unchanged: the identity, the byte fields, the photos.
class Checksum {
  public:
    void add(const PersistedRide& ride) {
        m_hash = kOffset;
        text(ride.rideID.toString());
        for (const auto* field :
             {&ride.routeData, &ride.heartRateData, &ride.powerData, &ride.preTrimBackup,
              &ride.startWeatherData, &ride.endWeatherData})
            bytes(*field);
        for (const auto& photo : ride.photos) {
            text(photo.photoID.toString());
            bytes(photo.imageData);
            bytes(photo.thumbnailData);
        }
        // A sum does not depend on the order in which the two stores list their records.
        m_total += m_hash;
    }
    std::uint64_t total() const { return m_total; }

  private:
    static constexpr std::uint64_t kOffset = 14695981039346656037ull;
    void byte(std::uint8_t value) { m_hash = (m_hash ^ value) * 1099511628211ull; }
    void text(const std::string& value) {
        for (char c : value) byte(static_cast<std::uint8_t>(c));
    }
    void bytes(const std::optional<Bytes>& value) {
        byte(value ? 1 : 0);
        if (!value) return;
        for (std::size_t i = 0; i < 8; ++i)
            byte(static_cast<std::uint8_t>(value->size() >> (8 * i)));
        for (auto b : *value) byte(b);
    }
    std::uint64_t m_hash = kOffset;
    std::uint64_t m_total = 0;
};

RideRef detachedCopy(const PersistedRide& ride) {
    auto copy = std::make_shared<PersistedRide>(ride);
    copy->objectID = 0;
    for (auto& photo : copy->photos) photo.objectID = 0;
    return copy;
}

std::vector<RideRef> recordsInRowOrder(RideStore& store) {
    auto records = store.allRecords(false);
    std::sort(records.begin(), records.end(),
              [](const RideRef& a, const RideRef& b) { return a->objectID < b->objectID; });
    return records;
}

std::string rideIDText(const PersistedRide& ride) {
    return ride.rideID.toString();
}

}  // namespace

StoreCopyResult copyStore(RideStore& source, RideStore& target, bool merge,
                          const std::function<void(int, int)>& progress) {
    RideQuery everything;
    everything.withDetails = false;
    std::int64_t before = target.count(everything);
    std::unordered_set<std::string> present, copiedIDs;
    // The same activity imported separately on two computers has two rideIDs: merging tells
    // it by the imports' rule. Only what the target held before counts, as an import's own
    // records never join its reference: the source's two overlapping records both arrive.
    std::vector<RideRef> alreadyThere;
    if (merge) {
        alreadyThere = target.allRecords(false);
        for (const auto& ride : alreadyThere) present.insert(rideIDText(*ride));
    }
    auto records = recordsInRowOrder(source);
    StoreCopyResult result;
    Checksum sent;
    int total = static_cast<int>(records.size());
    for (int i = 0; i < total; ++i) {
        // Moved out so that each record, and its byte fields, is freed once copied.
        RideRef ride = std::move(records[static_cast<std::size_t>(i)]);
        if (merge && (!present.insert(rideIDText(*ride)).second ||
                      isDuplicateActivity(ride->date, ride->duration, alreadyThere))) {
            ++result.skipped;
        } else {
            source.loadDetails(ride);
            sent.add(*ride);
            copiedIDs.insert(rideIDText(*ride));
            target.insert(detachedCopy(*ride));
            if (++result.copied % kRecordsPerSave == 0) target.save();
        }
        if (progress) progress(i + 1, total);
    }
    target.save();

    if (target.count(everything) != before + result.copied)
        throw StoreError("Store " + target.describe() + ": the copy is incomplete (" +
                         std::to_string(target.count(everything) - before) + " of " +
                         std::to_string(result.copied) + " records arrived)");
    Checksum received;
    auto written = recordsInRowOrder(target);
    for (auto& ride : written) {
        RideRef held = std::move(ride);
        if (!copiedIDs.contains(rideIDText(*held))) continue;
        target.loadDetails(held);
        received.add(*held);
    }
    if (received.total() != sent.total())
        throw StoreError("Store " + target.describe() +
                         ": the copy differs from its source (checksum of the byte fields)");
    return result;
}

}  // namespace vantrel
