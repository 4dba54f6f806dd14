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
    /// Activities inserted and saved.
    int imported = 0;
    int skipped = 0;
    /// Activities that were inserted but could not be saved; they are not in the store.
    std::vector<UnsavedRide> unsaved;
};

/// Inserts every archived activity whose rideID the store does not hold yet (soft-deleted
/// records count as held) and that did not already come earlier in the same archive. Saves
/// after every 50th insert and at the end; a record the store refuses is dropped and listed in
/// `unsaved`, any other failed save throws `StoreError` and what was inserted before stays
/// pending. `progress(position, count)` runs before each activity, from 1.
ImportCounts importArchive(Archive archive, RideStore& store,
                           const std::function<void(int position, int count)>& progress = {});

}  // namespace vantrel::RideArchiveImporter
