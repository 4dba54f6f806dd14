#include <cstddef>

#include "model/Preferences.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"

namespace vantrel {

namespace {

constexpr int kRecordsPerSave = 50;
constexpr std::size_t kPackThreshold = 128;

bool packIfPlain(std::optional<Bytes>& field) {
    if (!field || field->size() < kPackThreshold || (*field)[0] == 0x00) return false;
    Bytes packed = compressSeriesData(*field);
    if (packed == *field) return false;
    field = std::move(packed);
    return true;
}

bool packRecord(PersistedRide& ride) {
    bool route = packIfPlain(ride.routeData);
    bool heartRate = packIfPlain(ride.heartRateData);
    bool power = packIfPlain(ride.powerData);
    return route || heartRate || power;
}

}  // namespace

int compressStoredSeries(RideStore& store) {
    std::vector<RideRef> records;
    try {
        records = store.allRecords(false);
    } catch (const StoreError&) {
        return 0;
    }
    int migrated = 0;
    for (auto& slot : records) {
        // Each record's series are loaded only while it is looked at; a changed record stays
        // with the store until the next save writes it.
        RideRef ride = std::move(slot);
        try {
            store.loadDetails(ride);
        } catch (const StoreError&) {
            continue;
        }
        if (!packRecord(*ride)) continue;
        if (++migrated % kRecordsPerSave == 0) store.autosave();
    }
    store.autosave();
    return migrated;
}

void runCompressionMigrationIfNeeded(RideStore& store, Preferences& preferences) {
    if (preferences.boolean(kMigrationDoneKey)) return;
    compressStoredSeries(store);
    preferences.setBoolean(kMigrationDoneKey, true);
}

}  // namespace vantrel
