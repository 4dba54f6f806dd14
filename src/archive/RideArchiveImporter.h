#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "archive/RideArchiveExporter.h"
#include "model/Bytes.h"
#include "model/RideStore.h"

/// The reading side of the "Vantrel Format" archive.
namespace vantrel::RideArchiveImporter {

using Archive = RideArchiveExporter::Archive;
using ArchivedRide = RideArchiveExporter::ArchivedRide;

/// One archive document. Required keys must be present with values of their type (null counts
/// as missing), dates must be whole-second ISO 8601 date-times, UUIDs must parse, no object may
/// hold a key twice; unknown keys are ignored, and a byte field that is not valid Base64 or
/// larger than `kArchiveByteFieldLimit` is absent. Throws `ArchiveError` naming the failing key
/// path or value; nothing is returned in part. Files are better read with `ArchiveStream`.
Archive decodeArchive(const Bytes& bytes);

/// The whole file. Throws `FileAccessError` when it cannot be read.
Bytes readArchiveFile(const std::filesystem::path& file);

/// A new record with the archived values and the record's defaults for everything else.
PersistedRide makeRecord(ArchivedRide ride);

/// An archived activity the store refused to write.
struct UnsavedRide {
    Uuid rideID;
    std::string reason;
};

struct ImportCounts {
    /// Activities inserted and not dropped by the store.
    int imported = 0;
    int skipped = 0;
    /// Activities written by a save that succeeded; fewer than `imported` while some wait for
    /// the next save, or when a save failed.
    int saved = 0;
    /// Activities that were inserted but could not be saved; they are not in the store.
    std::vector<UnsavedRide> unsaved;
};

/// Inserts archived activities into a store one at a time. An activity whose rideID the store
/// held when the current archive began (soft-deleted records count as held), or that came
/// earlier in the same archive, is skipped: two records with one rideID would leave every
/// lookup by ID picking one of them at random. Saves after every 50th insertion of an archive
/// and whenever the activities waiting for a save hold 16 MB of byte fields.
/// Not thread-safe: use it on the thread that owns `store`.
class ArchiveInserter {
  public:
    explicit ArchiveInserter(RideStore& store) : m_store(store) {}

    /// Fetches the rideIDs the store holds now; called before each archive.
    void beginArchive();
    /// Marks the rideID as seen and returns true, or counts the activity as skipped and
    /// returns false when it was seen before.
    bool claim(const Uuid& rideID);
    /// Inserts a claimed activity. A failed periodic save throws as `save` does.
    void insert(ArchivedRide ride);
    /// Saves what is pending. A record the store refuses is dropped and listed in `unsaved`;
    /// any other failure throws `StoreError`, and the records stay pending.
    void save();
    const ImportCounts& counts() const { return m_counts; }

  private:
    RideStore& m_store;
    std::set<Uuid> m_known;
    ImportCounts m_counts;
    int m_insertedInArchive = 0;
    int m_pending = 0;
    std::size_t m_pendingBytes = 0;
};

/// Inserts every archived activity whose rideID the store does not hold yet (see
/// `ArchiveInserter`). Saves after every 50th insert and at the end; a record the store refuses
/// is dropped and listed in `unsaved`, any other failed save throws `StoreError` and what was
/// inserted before stays pending. `progress(position, count)` runs before each activity, from 1.
ImportCounts importArchive(Archive archive, RideStore& store,
                           const std::function<void(int position, int count)>& progress = {});

}  // namespace vantrel::RideArchiveImporter
