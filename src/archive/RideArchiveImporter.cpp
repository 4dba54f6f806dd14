#include "archive/RideArchiveImporter.h"

#include <cstring>
#include <set>

#include "archive/ArchiveField.h"
#include "archive/ArchiveStream.h"
#include "export/FileAccessError.h"
#include "import/FileBytes.h"

namespace vantrel::RideArchiveImporter {

Archive decodeArchive(const Bytes& bytes) {
    MemoryJsonSource source(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    ArchiveStream stream(source);
    std::vector<ArchivedRide> rides;
    while (auto ride = stream.next()) rides.push_back(std::move(ride->ride));
    Archive archive = stream.header();
    archive.rides = std::move(rides);
    return archive;
}

Bytes readArchiveFile(const std::filesystem::path& file) {
    try {
        return readWholeFile(file);
    } catch (const FileReadError& error) {
        throw FileAccessError::cannotRead(file, std::strerror(error.systemError()));
    }
}

PersistedRide makeRecord(ArchivedRide ride) {
    PersistedRide record;
    for (const ArchiveField& field : archiveFields()) field.restore(ride, record);
    return record;
}

namespace {

// Saves what can be written; a record the store refuses is dropped and no longer counts as
// imported, so one bad activity cannot hold back the rest of the archive.
void saveImported(RideStore& store, ImportCounts& counts) {
    for (auto& [ride, reason] : store.saveDroppingUnwritable()) {
        --counts.imported;
        counts.unsaved.push_back({ride->rideID, std::move(reason)});
    }
}

}  // namespace

ImportCounts importArchive(Archive archive, RideStore& store,
                           const std::function<void(int position, int count)>& progress) {
    constexpr int kSaveInterval = 50;
    std::set<Uuid> known;
    for (const auto& ride : store.allRecords(false)) known.insert(ride->rideID);
    ImportCounts counts;
    int inserted = 0;
    const int count = static_cast<int>(archive.rides.size());
    for (int i = 0; i < count; ++i) {
        if (progress) progress(i + 1, count);
        ArchivedRide& ride = archive.rides[static_cast<std::size_t>(i)];
        // An ID seen earlier in this archive is a repeat too: two records with one rideID
        // would leave every lookup by ID picking one of them at random.
        if (!known.insert(ride.rideID).second) {
            ++counts.skipped;
            continue;
        }
        store.insert(std::make_shared<PersistedRide>(makeRecord(std::move(ride))));
        ++counts.imported;
        if (++inserted % kSaveInterval == 0) saveImported(store, counts);
    }
    saveImported(store, counts);
    return counts;
}

}  // namespace vantrel::RideArchiveImporter
