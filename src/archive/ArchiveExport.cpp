#include "archive/ArchiveExport.h"

#include <cstdio>
#include <string>
#include <unordered_set>

#include "archive/ArchiveEncoder.h"
#include "archive/RideArchiveExporter.h"
#include "export/AtomicFileWriter.h"
#include "export/ExportFileNames.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

namespace {

struct Progress {
    const std::function<void(int, int)>& callback;
    int done = 0;
    int total = 0;

    void advance() {
        ++done;
        if (callback) callback(done, total);
    }
};

bool isCancelled(const CancellationToken* cancellation) {
    return cancellation && cancellation->isCancelled();
}

/// Writes one archive file; false when cancelled, in which case the target is left as it was
/// (as it is when every activity was skipped).
/// Throws `ArchiveError` or `FileAccessError`.
bool writeArchive(RideStore& store, std::vector<RideRef> rides, const std::filesystem::path& file,
                  Progress& progress, const CancellationToken* cancellation,
                  PersistentLogger& logger, ArchiveExportResult& result) {
    AtomicFileWriter writer(file);
    ArchiveEncoder encoder([&](std::string_view piece) { writer.write(piece); }, now());
    int added = 0;
    for (RideRef& ride : rides) {
        if (isCancelled(cancellation)) return false;
        store.loadDetails(ride);
        if (encoder.add(RideArchiveExporter::archivedRide(*ride))) ++added;
        ride.reset();
        progress.advance();
    }
    std::size_t bytes = encoder.finish();
    for (const auto& reason : encoder.skipped()) {
        logger.log(LogLevel::error, "Export", reason);
        result.skipped.push_back(reason);
    }
    // An archive of nothing but skipped activities would only replace an older file of the
    // same name with an empty one.
    if (added == 0 && !encoder.skipped().empty()) return true;
    writer.commit();
    result.exported += added;
    result.filesWritten += 1;
    result.bytes += bytes;
    return true;
}

std::string megabytes(std::uint64_t bytes) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(bytes) / 1'000'000.0);
    return buffer;
}

/// Activities dated before year 1 or after 9999 belong to no year file; rather than leave them
/// out silently, each one not already offered to a file is counted and named as skipped.
void skipActivitiesOutsideTheYears(RideStore& store, const std::unordered_set<std::string>& offered,
                                   PersistentLogger& logger, ArchiveExportResult& result) {
    std::vector<RideRef> outside;
    for (bool before : {true, false}) {
        RideQuery query;
        query.liveOnly = true;
        query.withDetails = false;
        query.order = RideQuery::Order::dateAscending;
        if (before)
            query.dateBefore = kFirstFormattableDate;
        else
            query.dateFrom = kEndOfFormattableDates;
        try {
            for (RideRef& ride : store.fetch(query)) outside.push_back(std::move(ride));
        } catch (const std::exception&) {
            // The year files are written; only this count is then incomplete.
        }
    }
    for (const RideRef& ride : outside) {
        if (offered.count(ride->rideID.toString())) continue;
        auto reason = ArchiveEncoder::unwritableDate(RideArchiveExporter::archivedRide(*ride));
        if (!reason) continue;
        logger.log(LogLevel::error, "Export", *reason);
        result.skipped.push_back(std::move(*reason));
    }
}

void logFailure(PersistentLogger& logger, const std::string& description) {
    logger.log(LogLevel::error, "Export", "Vantrel Format export failed: " + description);
}

bool fileExists(const std::filesystem::path& file) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(file, ignored));
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

/// The years from `first` on, which an export that ended there did not write.
void noteUnwrittenYears(const std::filesystem::path& folder, const std::vector<YearSummary>& years,
                        std::size_t first, ArchiveExportResult& result) {
    for (std::size_t i = first; i < years.size(); ++i) {
        std::string name = archiveYearFileName(years[i].year);
        (fileExists(folder / name) ? result.yearFiles.olderKept : result.yearFiles.missing)
            .push_back(name);
    }
}

}  // namespace

std::string yearFilesText(const ArchiveExportResult::YearFiles& files) {
    std::string text;
    auto add = [&](const char* label, const std::vector<std::string>& names) {
        if (names.empty()) return;
        text += (text.empty() ? "" : " ") + std::string(label) + listed(names) + ".";
    };
    add("Replaced: ", files.replaced);
    add("Written new: ", files.created);
    add("Older, not replaced: ", files.olderKept);
    add("Not written: ", files.missing);
    return text;
}

ArchiveExportResult exportArchiveToFile(RideStore& store, std::vector<RideRef> rides,
                                        const std::filesystem::path& file, PersistentLogger& logger,
                                        const std::function<void(int done, int total)>& progress,
                                        const CancellationToken* cancellation) {
    ArchiveExportResult result;
    Progress counter{progress, 0, static_cast<int>(rides.size())};
    try {
        result.cancelled =
            !writeArchive(store, std::move(rides), file, counter, cancellation, logger, result);
    } catch (const std::exception& error) {
        result.failure = error.what();
        logFailure(logger, error.what());
        return result;
    }
    if (result.cancelled) return result;
    logger.log(LogLevel::info, "Export",
               "Exported Vantrel Format: " + std::to_string(result.exported) + " rides, " +
                   megabytes(result.bytes) + " MB");
    return result;
}

ArchiveExportResult exportArchiveYearFiles(RideStore& store, const std::filesystem::path& folder,
                                           PersistentLogger& logger,
                                           const std::function<void(int done, int total)>& progress,
                                           const CancellationToken* cancellation) {
    ArchiveExportResult result;
    std::vector<YearSummary> years = store.yearSummaries();
    std::int64_t total = 0;
    for (const auto& summary : years) total += summary.count;
    Progress counter{progress, 0, static_cast<int>(total)};
    std::unordered_set<std::string> offered;
    for (std::size_t i = 0; i < years.size(); ++i) {
        std::vector<RideRef> rides = store.activitiesOfYear(years[i].year, false);
        if (rides.empty()) continue;
        for (const RideRef& ride : rides) offered.insert(ride->rideID.toString());
        std::string name = archiveYearFileName(years[i].year);
        bool existed = fileExists(folder / name);
        int filesBefore = result.filesWritten;
        try {
            result.cancelled = !writeArchive(store, std::move(rides), folder / name, counter,
                                             cancellation, logger, result);
        } catch (const std::exception& error) {
            result.failure = error.what();
            noteUnwrittenYears(folder, years, i, result);
            logFailure(logger, error.what() + (". " + yearFilesText(result.yearFiles)));
            return result;
        }
        if (result.cancelled) {
            noteUnwrittenYears(folder, years, i, result);
            return result;
        }
        if (result.filesWritten > filesBefore)
            (existed ? result.yearFiles.replaced : result.yearFiles.created).push_back(name);
    }
    skipActivitiesOutsideTheYears(store, offered, logger, result);
    logger.log(LogLevel::info, "Export",
               "Exported Vantrel Format: " + std::to_string(result.exported) + " rides across " +
                   std::to_string(years.size()) + " year files");
    return result;
}

}  // namespace vantrel
