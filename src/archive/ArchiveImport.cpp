#include "archive/ArchiveImport.h"

#include <unordered_map>

#include "archive/ArchiveStream.h"
#include "archive/RideArchiveImporter.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

namespace {

using RideArchiveImporter::ArchiveInserter;

void recordFailure(PersistentLogger& logger, const std::filesystem::path& file,
                   const std::string& description, ArchiveImportResult& result) {
    std::string name = file.filename().string();
    result.failures.push_back({name, description});
    logger.log(LogLevel::error, "Import", "Archive import failed for " + name + ": " + description);
}

/// What a first reading of a file found: how many activities it holds (for the progress), and
/// the sizes of its large byte fields, by activity.
struct FileSurvey {
    int count = 0;
    std::unordered_map<std::size_t, std::vector<std::pair<std::string, std::size_t>>> largeFields;

    std::size_t sizeOf(std::size_t position, std::string_view key) const {
        auto found = largeFields.find(position);
        if (found == largeFields.end()) return 0;
        for (const auto& [field, size] : found->second) {
            if (field == key) return size;
        }
        return 0;
    }
};

/// Reads the whole file once without keeping anything, so that a file that turns out to be bad
/// halfway adds nothing to the store.
FileSurvey surveyFile(const std::filesystem::path& file) {
    constexpr std::size_t kLargeField = 1'000'000;
    FileJsonSource source(file);
    ArchiveStream stream(source, ArchiveStream::Mode::check);
    FileSurvey survey;
    while (auto ride = stream.next()) {
        for (auto& [key, size] : ride->byteFieldSizes) {
            if (size >= kLargeField) survey.largeFields[survey.count].emplace_back(key, size);
        }
        ++survey.count;
    }
    return survey;
}

class FileImport {
  public:
    FileImport(const std::filesystem::path& file, ArchiveInserter& inserter,
               PersistentLogger& logger, ArchiveImportResult& result)
        : m_file(file), m_inserter(inserter), m_logger(logger), m_result(result) {}

    /// `handled` counts the activities of the run looked at so far.
    void run(const std::function<void(int, int)>& progress, int& handled) {
        FileSurvey survey = surveyFile(m_file);
        m_result.total += survey.count;
        FileJsonSource source(m_file);
        ArchiveStream stream(source, ArchiveStream::Mode::read, kArchiveByteFieldLimit,
                             [&survey](std::size_t position, std::string_view key) {
                                 return survey.sizeOf(position, key);
                             });
        m_inserter.beginArchive();
        while (auto ride = stream.next()) {
            if (progress) progress(++handled, m_result.total);
            take(std::move(*ride));
        }
        m_inserter.save();
    }

  private:
    void take(StreamedRide streamed) {
        std::string id = streamed.ride.rideID.toString();
        if (!m_inserter.claim(streamed.ride.rideID)) return;
        if (streamed.oversizedField) {
            recordFailure(m_logger, m_file,
                          "activity " + id + " was not imported: its " + *streamed.oversizedField +
                              " is larger than 256 MB",
                          m_result);
            return;
        }
        // The activity is kept without the series, which can be imported again from a sound
        // copy once this one is deleted.
        for (const auto& field : streamed.damagedSeries) {
            std::string message = "Archive import: the ";
            message += field;
            message += " of activity ";
            message += id;
            message += " in ";
            message += m_file.filename().string();
            message += " is not valid Base64; the activity was imported without it";
            m_logger.log(LogLevel::warn, "Import", message);
        }
        if (!streamed.damagedSeries.empty()) ++m_result.damagedSeries;
        m_inserter.insert(std::move(streamed.ride));
    }

    const std::filesystem::path& m_file;
    ArchiveInserter& m_inserter;
    PersistentLogger& m_logger;
    ArchiveImportResult& m_result;
};

// Saves of the files may have failed as a whole (a locked or full disk); what they left pending
// gets one more chance, and a run that ends with unsaved activities has failed.
void saveRemaining(ArchiveInserter& inserter, ArchiveImportResult& result) {
    try {
        inserter.save();
    } catch (const std::exception& error) {
        result.saveError = error.what();
    }
}

void logOutcome(PersistentLogger& logger, const ArchiveImportResult& result) {
    if (result.saveError) {
        logger.log(LogLevel::error, "Import",
                   "Archive import could not save the imported activities: " + *result.saveError +
                       ". " + storedBeforeFailureText(result.saved));
        return;
    }
    logger.log(LogLevel::info, "Import",
               "Archive import: " + std::to_string(result.imported) + " imported, " +
                   std::to_string(result.skipped) + " skipped");
}

}  // namespace

std::string storedBeforeFailureText(int saved) {
    return std::to_string(saved) + (saved == 1 ? " activity was" : " activities were") +
           " stored before the failure.";
}

ArchiveImportResult importArchiveFiles(RideStore& store,
                                       const std::vector<std::filesystem::path>& files,
                                       PersistentLogger& logger,
                                       const std::function<void(int done, int total)>& progress) {
    ArchiveImportResult result;
    ArchiveInserter inserter(store);
    int handled = 0;
    for (const auto& file : files) {
        std::size_t unsavedBefore = inserter.counts().unsaved.size();
        try {
            FileImport(file, inserter, logger, result).run(progress, handled);
        } catch (const std::exception& error) {
            recordFailure(logger, file, error.what(), result);
        }
        result.imported = inserter.counts().imported;
        result.skipped = inserter.counts().skipped;
        const auto& unsaved = inserter.counts().unsaved;
        for (std::size_t i = unsavedBefore; i < unsaved.size(); ++i) {
            recordFailure(logger, file,
                          "activity " + unsaved[i].rideID.toString() +
                              " could not be saved: " + unsaved[i].reason,
                          result);
        }
    }
    saveRemaining(inserter, result);
    result.imported = inserter.counts().imported;
    result.saved = inserter.counts().saved;
    logOutcome(logger, result);
    return result;
}

}  // namespace vantrel
