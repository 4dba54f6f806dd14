#include "import/BulkImportRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <thread>

#include "import/ActivityFormat.h"
#include "import/ActivityImporter.h"
#include "import/ParallelMemberParser.h"
#include "logging/PersistentLogger.h"
#include "model/AsciiText.h"
#include "model/RideStore.h"

namespace vantrel {

namespace {

constexpr int kSaveInterval = 50;

std::string lowerExtension(const std::string& fileName) {
    auto dot = fileName.rfind('.');
    if (dot == std::string::npos) return {};
    return asciiLowercased(std::string_view(fileName).substr(dot + 1));
}

/// Why a file cannot be read as an archive, or nothing when it can be opened.
std::optional<std::string> openFailure(const std::filesystem::path& file) {
    int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::string(std::strerror(errno));
    struct stat info {};
    bool isDirectory = ::fstat(descriptor, &info) == 0 && S_ISDIR(info.st_mode);
    ::close(descriptor);
    if (isDirectory) return std::string(std::strerror(EISDIR));
    return std::nullopt;
}

}  // namespace

bool isActivityFileName(const std::string& fileName) {
    auto extension = lowerExtension(fileName);
    return extension == "gz" || activityFormatFor(extension) != nullptr;
}

bool logFailedSave(PersistentLogger& logger, const std::string& runName,
                   const BulkImportResult& result) {
    if (!result.saveError) return false;
    logger.log(
        LogLevel::error, "Import",
        runName + " failed: the imported activities could not be saved: " + *result.saveError);
    return true;
}

std::string importCompletionText(int imported, int skipped) {
    return "Imported " + std::to_string(imported) + " activit" + (imported == 1 ? "y" : "ies") +
           ". Skipped " + std::to_string(skipped) + " duplicate" + (skipped == 1 ? "" : "s") + ".";
}

int effectiveThreadCount(int requested) {
    if (requested > 0) return requested;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

BulkImportRun::BulkImportRun(RideStore& store, std::optional<std::string> sourceLabel,
                             BulkImportOptions options)
    : m_store(store), m_label(std::move(sourceLabel)), m_options(std::move(options)) {
    report();
}

BulkImportRun::Decision BulkImportRun::skipDuplicates(PersistedRide& ride,
                                                      const std::vector<RideRef>& reference) {
    return isDuplicateActivity(ride.date, ride.duration, reference) ? Decision::skip
                                                                    : Decision::insert;
}

void BulkImportRun::importArchive(const std::filesystem::path& archive,
                                  const RecordHandler& handler) {
    if (!canOpen(archive)) return;
    std::vector<ZipMember> members = collectActivityMembers(archive);
    if (members.empty()) return;
    m_progress.importTotal += static_cast<int>(members.size());
    report();
    fetchReference();
    ParallelMemberParser parser(archive, std::move(members), m_label,
                                effectiveThreadCount(m_options.threads), m_options.memberSizeLimit);
    while (auto outcome = parser.next()) {
        advanceProgress();
        if (outcome->rides.empty()) {
            ++m_result.errors;
            continue;
        }
        logKeptTogether(logger(), outcome->fileName, outcome->warning);
        // Each leg of a multisport file is an activity of its own, tested on its own.
        for (const auto& ride : outcome->rides) {
            if (handler(*ride, m_reference) == Decision::skip) {
                ++m_result.skipped;
            } else {
                insert(ride, outcome->fileName);
            }
        }
    }
}

// The periodic saves may fail quietly (what they miss stays pending for the next one), but a
// failed final save would lose the run, so its reason is handed back.
BulkImportResult BulkImportRun::finish() {
    if (!m_store.hasChanges()) return m_result;
    try {
        save();
    } catch (const std::exception& error) {
        m_result.saveError = error.what();
    }
    return m_result;
}

void BulkImportRun::save() {
    auto dropped = m_store.saveDroppingUnwritable([this](const std::vector<RideRef>& newRecords) {
        return leaveOutStoredMeanwhile(newRecords);
    });
    for (auto& [ride, reason] : dropped) {
        auto found = m_pendingNames.find(ride.get());
        std::string name = found == m_pendingNames.end() ? ride->rideID.toString() : found->second;
        std::string description = "could not be saved: " + reason;
        std::string message = "Import failed for ";
        message.append(name).append(": ").append(description);
        logger().log(LogLevel::error, "Import", message);
        --m_result.imported;
        ++m_result.errors;
        m_result.fileFailures.emplace_back(name, std::move(description));
    }
    m_pendingNames.clear();
}

void BulkImportRun::saveQuietly() {
    try {
        save();
    } catch (const std::exception&) {
    }
}

bool BulkImportRun::canOpen(const std::filesystem::path& archive) {
    auto failure = openFailure(archive);
    if (!failure) return true;
    logger().log(LogLevel::error, "Import",
                 "Failed to unzip " + archive.filename().string() + ": " + *failure);
    ++m_result.errors;
    m_result.archiveFailures.emplace_back(archive, *failure);
    return false;
}

std::vector<ZipMember> BulkImportRun::collectActivityMembers(const std::filesystem::path& archive) {
    ZipListing listing = listZipArchive(archive);
    if (!listing.readable) {
        m_result.archiveFailures.emplace_back(archive, listing.errorString);
        return {};
    }
    m_result.errors += listing.rejectedEntries;
    std::vector<ZipMember> members;
    for (auto& member : listing.files) {
        if (isActivityFileName(member.fileName())) members.push_back(std::move(member));
    }
    return members;
}

// Records inserted from earlier archives of this run must count as stored, as they would in a
// context that fetches its own pending changes; saving first makes the fetch see them.
void BulkImportRun::fetchReference() {
    m_reference.clear();
    try {
        if (m_store.hasChanges()) saveQuietly();
        m_reference = m_store.allRecords(false);
    } catch (const std::exception&) {
        // Taken as an empty store; the rows are still read, batch by batch, as stored since.
    }
    for (const auto& ride : m_reference) m_seenUpTo = std::max(m_seenUpTo, ride->objectID);
}

// Runs inside the save's transaction, under the store's write lock: nothing another process
// stores can slip in between this test and the write. Reading only the rows above the highest
// one seen keeps the cost to what was stored since the last save.
std::vector<RideRef> BulkImportRun::leaveOutStoredMeanwhile(
    const std::vector<RideRef>& newRecords) {
    RideQuery storedSince;
    storedSince.objectIDAfter = m_seenUpTo;
    storedSince.withDetails = false;
    std::vector<RideRef> theirs;
    for (auto& ride : m_store.fetch(storedSince)) {
        m_seenUpTo = std::max(m_seenUpTo, ride->objectID);
        if (m_ownRideIDs.contains(ride->rideID)) continue;
        m_reference.push_back(ride);
        theirs.push_back(std::move(ride));
    }
    std::vector<RideRef> leftOut;
    if (theirs.empty()) return leftOut;
    for (const auto& ride : newRecords) {
        if (!isDuplicateActivity(ride->date, ride->duration, theirs)) continue;
        leftOut.push_back(ride);
        m_pendingNames.erase(ride.get());
        --m_result.imported;
        ++m_result.skipped;
    }
    return leftOut;
}

void BulkImportRun::advanceProgress() {
    ++m_handled;
    m_progress.importCurrent = m_handled;
    m_progress.importProgress =
        m_progress.importTotal < 1
            ? 0.0
            : static_cast<double>(m_progress.importCurrent) / m_progress.importTotal;
    report();
}

void BulkImportRun::insert(const RideRef& ride, const std::string& fileName) {
    m_store.insert(ride);
    m_ownRideIDs.insert(ride->rideID);
    m_pendingNames.emplace(ride.get(), fileName);
    ++m_result.imported;
    if (++m_inserted % kSaveInterval == 0) saveQuietly();
}

void BulkImportRun::report() const {
    if (m_options.progress) m_options.progress(m_progress);
}

}  // namespace vantrel
