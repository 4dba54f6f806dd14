#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "import/ImportedActivity.h"
#include "logging/PersistentLogger.h"
#include "model/Bytes.h"
#include "model/DuplicateActivity.h"
#include "model/PersistedRide.h"

namespace vantrel {

class RideStore;

/// Loose activity files larger than this are refused before they are read: no recording comes
/// near it, and it is the most a compressed one may inflate to.
inline constexpr std::uintmax_t kMaxActivityFileBytes = 100'000'000;

/// The whole of a loose activity file. Throws `RideImportError::fileTooLarge()` for a file
/// larger than `kMaxActivityFileBytes` (reading no more than that of it) and `FileReadError`
/// when it cannot be read.
Bytes readActivityFileBytes(const std::filesystem::path& file);

/// Turns one whole activity file into a new record (not inserted). `fileName` is the last path
/// component; its extension chooses the reader ("gz" first decompresses and uses the inner one).
/// Throws `RideImportError` (or the FIT decoder's `FITParseError`) with the user-facing text.
PersistedRide importActivityFile(const Bytes& bytes, const std::string& fileName,
                                 const std::optional<std::string>& sourceLabel);

/// A file's activities: one per leg of a multisport file, else the file as one.
struct ImportedLegs {
    std::vector<PersistedRide> rides;
    /// Why a multisport file was kept as one activity; absent when nothing went amiss.
    std::optional<std::string> warning;
};

/// `importActivityFile` for the imports that store what they read: a file with sessions of
/// several sports becomes one record per leg (transitions left out). Throws as
/// `importActivityFile` does, also when any one leg cannot be built.
ImportedLegs importActivityLegs(const Bytes& bytes, const std::string& fileName,
                                const std::optional<std::string>& sourceLabel);

/// Logs, as a warning, why the legs of the multisport file `fileName` were kept together;
/// nothing when `warning` is absent.
void logKeptTogether(PersistentLogger& logger, const std::string& fileName,
                     const std::optional<std::string>& warning);

/// The first steps of `importActivityFile`: decompression, blank-byte stripping and the reader
/// chosen by extension. Returns the reader's result as it stands (possibly without trackpoints).
/// Throws as `importActivityFile` does.
ImportedActivity readActivityFile(const Bytes& bytes, const std::string& fileName);

/// `readActivityFile` on the file at `file`, named by its last component. A plain GPX or TCX
/// file streams through its reader rather than being held whole. Throws `FileReadError` when the
/// file cannot be read, `RideImportError::fileTooLarge()` as `readActivityFileBytes` does,
/// otherwise as `importActivityFile` does.
ImportedActivity readActivityFile(const std::filesystem::path& file);

/// The record of a reader result: from its points with a position, or, when none has one
/// (treadmill, trainer, pool), from its timed points without route data, the distance being
/// the largest the file states. Throws `RideImportError::noTrackpoints()` when it has neither.
PersistedRide buildActivity(ImportedActivity activity, const std::string& importSource);

/// Derives every statistic from the reader result and packs the series. Throws
/// `RideImportError::noTrackpoints()` for an empty list.
PersistedRide buildActivity(std::vector<ImportedTrackpoint> trackpoints,
                            const std::vector<ImportedLapSummary>& laps,
                            std::optional<ActivityType> type, const std::string& importSource);

/// Haversine sum on a 6,371,000 m sphere over consecutive points.
double gpsDistance(const std::vector<ImportedTrackpoint>& points);
/// The 2 m accumulator over optional altitudes.
double trackElevationGain(const std::vector<ImportedTrackpoint>& points);
std::optional<double> lapWeightedHeartRate(const std::vector<ImportedLapSummary>& laps);

/// Result of importing a list of loose files.
struct FileListImportResult {
    int imported = 0;
    /// Files whose activity overlaps a stored one (only with the duplicate test).
    int skipped = 0;
    /// Activities written by saves that succeeded.
    int saved = 0;
    /// (file name, error description) per failed file, in order.
    std::vector<std::pair<std::string, std::string>> failures;
    /// Description of a failed final save; the inserted records then stay unsaved.
    std::optional<std::string> saveError;
};

/// The loose-file import: reads and imports every file, inserts the records, saves once and
/// logs its "Import" line and each failure to `logger`. `progress(done, total)` is called after
/// each file.
FileListImportResult importFileList(RideStore& store,
                                    const std::vector<std::filesystem::path>& files,
                                    const std::optional<std::string>& sourceLabel,
                                    PersistentLogger& logger,
                                    const std::function<void(int done, int total)>& progress = {});

/// The loose-file import of the application's own ways in (files opened, dropped or chosen with
/// "Import Files…", and those that arrive by themselves): as `importFileList`, except that an
/// activity overlapping one stored when the run began (`isDuplicateActivity`) is left out and
/// counted in `skipped`, and that the store is saved whenever 50 insertions wait too.
FileListImportResult importNewActivityFiles(
    RideStore& store, const std::vector<std::filesystem::path>& files,
    const std::optional<std::string>& sourceLabel, PersistentLogger& logger,
    const std::function<void(int done, int total)>& progress = {});

}  // namespace vantrel
