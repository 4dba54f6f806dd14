#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "import/ZipArchiveReader.h"
#include "logging/PersistentLogger.h"
#include "model/PersistedRide.h"

namespace vantrel {

class RideStore;

/// The progress values of a bulk import, as the main window shows them.
struct ImportProgress {
    int importTotal = 0;
    int importCurrent = 0;
    /// `importCurrent` ÷ `importTotal`; 0 while the total is below 1.
    double importProgress = 0;
};

/// The bytes of archive members a parallel import holds at once by default.
inline constexpr std::uint64_t kDefaultMemberBytesBudget = 256ull * 1024 * 1024;

struct BulkImportOptions {
    explicit BulkImportOptions(PersistentLogger& runLogger) : logger(&runLogger) {}

    /// Worker threads that read and parse members; 0 means one per core.
    int threads = 0;
    /// Members larger than this (uncompressed) are counted as errors without being read whole.
    std::uint64_t memberSizeLimit = kDefaultZipMemberSizeLimit;
    /// Uncompressed bytes of the members being read, parsed or waiting to be stored, over all
    /// workers; a larger member is read alone. Peak memory follows this, not the thread count.
    std::uint64_t memberBytesBudget = kDefaultMemberBytesBudget;
    /// Called on the calling thread whenever a progress value changes.
    std::function<void(const ImportProgress&)> progress;
    /// Where the run logs its failures and its summary line; never null.
    PersistentLogger* logger;
};

/// The counters of one run over all its archives (or loose files).
struct BulkImportResult {
    int imported = 0;
    int skipped = 0;
    int errors = 0;
    /// Inserted records written by saves that succeeded: all of `imported`, unless the final
    /// save failed.
    int saved = 0;
    /// Garmin only: records whose kind was taken from a summary.
    int supplemented = 0;
    /// Archives that yielded nothing because they could not be opened or read, with the reason.
    std::vector<std::pair<std::filesystem::path, std::string>> archiveFailures;
    /// Those of them that opened but were no ZIP archive: as with an unpacking tool that
    /// extracts nothing, they are not counted in `errors`.
    int unreadableArchives = 0;
    /// (file name, error description) per failed file: every failure of a loose-file import;
    /// in archive runs, each member refused or not imported and each record that was read but
    /// could not be saved, up to `kListedFailures` of them (`errors` counts them all).
    std::vector<std::pair<std::string, std::string>> fileFailures;
    /// Why the final save failed; the inserted records are then not durable.
    std::optional<std::string> saveError;

    /// Everything that could not be imported: archives and members (or files).
    int failedCount() const { return errors + unreadableArchives; }
    /// (name, reason) of what could not be imported: archives first, then members or files.
    std::vector<std::pair<std::string, std::string>> namedFailures() const;
};

/// The archive loop shared by the ZIP, Strava and Garmin imports: collects the activity members
/// of each archive, parses them on worker threads, and on the calling thread (which must own the
/// store) tests each new record against the stored ones, inserts it and saves after every 50th
/// insertion. Each save tests the new records again, under the store's write lock, against what
/// other processes stored since the run read the store, and skips the duplicates among them:
/// two runs of one archive at once store each activity once. A record the store refuses to
/// write is dropped and counted as an error naming its member. Logs when an archive cannot be
/// opened, a member is refused (WARN, with why) or a record is dropped; the callers log the
/// summary line.
class BulkImportRun {
  public:
    enum class Decision { insert, skip };
    /// Decides about one new record, given the stored records fetched for its archive. May
    /// change the record and the store (the Garmin import's supplementation and replacement).
    using RecordHandler =
        std::function<Decision(PersistedRide& ride, const std::vector<RideRef>& reference)>;

    BulkImportRun(RideStore& store, std::optional<std::string> sourceLabel,
                  BulkImportOptions options);

    void importArchive(const std::filesystem::path& archive, const RecordHandler& handler);
    /// The final save (when anything was inserted) and the counters.
    BulkImportResult finish();
    BulkImportResult& result() { return m_result; }
    PersistentLogger& logger() const { return *m_options.logger; }

    /// The ZIP and Strava rule: skip what overlaps a stored record.
    static Decision skipDuplicates(PersistedRide& ride, const std::vector<RideRef>& reference);

    /// Failures listed by name beyond this many are only counted: an archive can hold any
    /// number of bad members.
    static constexpr std::size_t kListedFailures = 1000;

  private:
    bool canOpen(const std::filesystem::path& archive);
    void failMember(const std::filesystem::path& archive, const std::string& name,
                    const std::string& reason, bool refused);
    std::vector<ZipMember> collectActivityMembers(const std::filesystem::path& archive);
    void fetchReference();
    std::vector<RideRef> leaveOutStoredMeanwhile(const std::vector<RideRef>& newRecords);
    void advanceProgress();
    void insert(const RideRef& ride, const std::string& fileName);
    /// Saves, dropping each record the store refuses with an error naming its file.
    void save();
    void saveQuietly();
    void report() const;

    RideStore& m_store;
    std::optional<std::string> m_label;
    BulkImportOptions m_options;
    BulkImportResult m_result;
    ImportProgress m_progress;
    int m_handled = 0;
    int m_inserted = 0;
    /// Records inserted since the last save that succeeded.
    int m_pending = 0;
    /// The member names of the records inserted since the last save, to name a refused one.
    std::unordered_map<const PersistedRide*, std::string> m_pendingNames;
    /// The stored records the current archive's records are tested against: those fetched
    /// before it, and those other processes stored since.
    std::vector<RideRef> m_reference;
    /// The highest objectID the run has seen; rows above it were stored since.
    std::int64_t m_seenUpTo = 0;
    /// The rideIDs of the records this run inserted, which never join its own reference.
    std::set<Uuid> m_ownRideIDs;
};

/// Logs the ERROR line of a run whose final save failed ("<runName> failed: …") and returns
/// true; returns false, logging nothing, when the run was saved. Such a run must not log its
/// counts as a success.
bool logFailedSave(PersistentLogger& logger, const std::string& runName,
                   const BulkImportResult& result);

/// True for the extensions the bulk imports collect: those of the activity formats and gz, in
/// any case.
bool isActivityFileName(const std::string& fileName);

/// "Imported N activities. Skipped M duplicates." with the singular for exactly 1.
std::string importCompletionText(int imported, int skipped);

/// The number of worker threads a run uses for an option value (0: one per core).
int effectiveThreadCount(int requested);

}  // namespace vantrel
