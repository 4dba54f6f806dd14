#include "watch/WatchImport.h"

#include <algorithm>
#include <memory>
#include <set>

#include "import/ActivityImporter.h"
#include "import/BulkImportRun.h"
#include "import/FileBytes.h"
#include "import/ZipImportService.h"
#include "model/AsciiText.h"
#include "model/RideStore.h"

namespace vantrel {

namespace {

using Kind = WatchImportOutcome::Kind;

bool isZipName(const std::string& fileName) {
    return asciiLowercased(std::filesystem::path(fileName).extension().string()) == ".zip";
}

std::string megabytes(std::uintmax_t bytes) {
    return std::to_string(bytes / (std::uintmax_t{1024} * 1024)) + " MB";
}

std::set<std::int64_t> storedIDs(RideStore& store) {
    std::set<std::int64_t> ids;
    for (const RideRef& ride : store.allRecords(false)) ids.insert(ride->objectID);
    return ids;
}

WatchImportOutcome importZip(RideStore& store, const std::filesystem::path& file,
                             const std::string& label, PersistentLogger& logger) {
    std::set<std::int64_t> before = storedIDs(store);
    BulkImportOptions options(logger);
    options.threads = 1;
    BulkImportResult result = importZipArchives(store, {file}, label, options);
    if (result.saveError) return {Kind::unsaved, {}, *result.saveError};
    if (!result.archiveFailures.empty())
        return {Kind::failed, {}, result.archiveFailures.front().second};
    WatchImportOutcome outcome{result.imported > 0 ? Kind::imported : Kind::skipped, {}, {}};
    if (result.imported == 0 && result.skipped == 0) {
        outcome.kind = Kind::failed;
        outcome.description = "The archive holds no activity that could be imported.";
    }
    for (std::int64_t id : storedIDs(store)) {
        if (!before.count(id)) outcome.objectIDs.push_back(id);
    }
    return outcome;
}

// Until the import of our own paths tests for duplicates itself, the watcher does it here. Each
// leg of a multisport file is checked and stored on its own, as in every other import.
WatchImportOutcome importActivity(RideStore& store, const std::filesystem::path& file,
                                  const std::string& label, PersistentLogger& logger) {
    ImportedLegs legs;
    try {
        std::error_code error;
        auto size = std::filesystem::file_size(file, error);
        if (!error && size > kDefaultZipMemberSizeLimit)
            return {Kind::failed,
                    {},
                    "The file is too large for an activity file (" + megabytes(size) +
                        "; the limit is " + megabytes(kDefaultZipMemberSizeLimit) + ")."};
        Bytes bytes = readWholeFile(file);
        legs = importActivityLegs(bytes, file.filename().string(), label);
    } catch (const FileReadError& failure) {
        return {Kind::unreadable, {}, failure.what()};
    } catch (const std::exception& failure) {
        return {Kind::failed, {}, failure.what()};
    }
    logKeptTogether(logger, file.filename().string(), legs.warning);
    std::vector<std::shared_ptr<PersistedRide>> inserted;
    try {
        std::vector<RideRef> reference = store.allRecords(false);
        for (PersistedRide& leg : legs.rides) {
            if (isDuplicateActivity(leg.date, leg.duration, reference)) continue;
            auto ride = std::make_shared<PersistedRide>(std::move(leg));
            store.insert(ride);
            inserted.push_back(ride);
            reference.push_back(ride);
        }
        if (inserted.empty()) return {Kind::skipped, {}, {}};
        // A record the store cannot hold is the file's fault; anything else is the store's.
        auto refused = store.saveDroppingUnwritable();
        WatchImportOutcome outcome{Kind::imported, {}, {}};
        if (!refused.empty())
            outcome = {Kind::failed, {}, "could not be saved: " + refused[0].reason};
        for (const auto& ride : inserted) {
            bool dropped = std::any_of(refused.begin(), refused.end(), [&](const auto& unwritable) {
                return unwritable.ride == ride;
            });
            if (!dropped) outcome.objectIDs.push_back(ride->objectID);
        }
        return outcome;
    } catch (const std::exception& failure) {
        for (const auto& ride : inserted) store.remove(ride);
        return {Kind::unsaved, {}, failure.what()};
    }
}

}  // namespace

bool isWatchedFileName(const std::string& fileName) {
    return isActivityFileName(fileName) || isZipName(fileName);
}

WatchImportOutcome importWatchedFile(RideStore& store, const std::filesystem::path& file,
                                     const std::string& label, PersistentLogger& logger) {
    if (isZipName(file.filename().string())) {
        try {
            return importZip(store, file, label, logger);
        } catch (const std::exception& failure) {
            return {Kind::unsaved, {}, failure.what()};
        }
    }
    return importActivity(store, file, label, logger);
}

}  // namespace vantrel
