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

void ArchiveInserter::beginArchive() {
    m_known.clear();
    for (const auto& ride : m_store.allRecords(false)) m_known.insert(ride->rideID);
    m_insertedInArchive = 0;
}

bool ArchiveInserter::claim(const Uuid& rideID) {
    if (m_known.insert(rideID).second) return true;
    ++m_counts.skipped;
    return false;
}

namespace {

std::size_t sizeOf(const std::optional<Bytes>& bytes) {
    return bytes ? bytes->size() : 0;
}

}  // namespace

// Besides every 50th activity, a save also follows whenever the pending activities hold
// 16 MB of series: fifty activities of a few megabytes each would otherwise wait in memory.
void ArchiveInserter::insert(ArchivedRide ride) {
    constexpr int kSaveInterval = 50;
    constexpr std::size_t kPendingBytes = 16'000'000;
    m_pendingBytes += sizeOf(ride.routeData) + sizeOf(ride.heartRateData) +
                      sizeOf(ride.startWeatherData) + sizeOf(ride.endWeatherData) +
                      sizeOf(ride.powerData);
    m_store.insert(std::make_shared<PersistedRide>(makeRecord(std::move(ride))));
    ++m_counts.imported;
    ++m_pending;
    if (++m_insertedInArchive % kSaveInterval == 0 || m_pendingBytes >= kPendingBytes) save();
}

// A record the store refuses is dropped and no longer counts as imported, so one bad activity
// cannot hold back the rest of the archive.
void ArchiveInserter::save() {
    auto dropped = m_store.saveDroppingUnwritable();
    for (auto& [ride, reason] : dropped) {
        --m_counts.imported;
        m_counts.unsaved.push_back({ride->rideID, std::move(reason)});
    }
    m_counts.saved += m_pending - static_cast<int>(dropped.size());
    m_pending = 0;
    m_pendingBytes = 0;
}

ImportCounts importArchive(Archive archive, RideStore& store,
                           const std::function<void(int position, int count)>& progress) {
    ArchiveInserter inserter(store);
    inserter.beginArchive();
    const int count = static_cast<int>(archive.rides.size());
    for (int i = 0; i < count; ++i) {
        if (progress) progress(i + 1, count);
        ArchivedRide& ride = archive.rides[static_cast<std::size_t>(i)];
        if (inserter.claim(ride.rideID)) inserter.insert(std::move(ride));
    }
    inserter.save();
    return inserter.counts();
}

}  // namespace vantrel::RideArchiveImporter
