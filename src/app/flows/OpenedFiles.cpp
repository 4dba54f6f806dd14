#include "app/flows/OpenedFiles.h"

#include <QUrl>
#include <algorithm>
#include <cctype>
#include <set>

#include "archive/ArchiveImport.h"
#include "import/ActivityImporter.h"
#include "import/RideImportError.h"
#include "import/ZipImportService.h"
#include "model/AsciiText.h"
#include "model/RideStore.h"

namespace vantrel {

namespace {

enum class FileKind { activity, zip, archive, other };

std::string lowerExtension(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    return asciiLowercased(extension);
}

FileKind kindOf(const std::filesystem::path& file) {
    std::string extension = lowerExtension(file);
    if (extension == "zip") return FileKind::zip;
    if (extension == "json") return FileKind::archive;
    if (isActivityFileName(file.filename().string())) return FileKind::activity;
    return FileKind::other;
}

void add(OpenedFiles& files, const std::filesystem::path& file, FileKind kind) {
    switch (kind) {
        case FileKind::activity:
            return files.activityFiles.push_back(file);
        case FileKind::zip:
            return files.zipArchives.push_back(file);
        case FileKind::archive:
            return files.archives.push_back(file);
        case FileKind::other:
            return;
    }
}

void addFolder(OpenedFiles& files, const std::filesystem::path& folder) {
    // Symbolic links to folders are not followed, so a link back up cannot make the walk endless.
    std::error_code error;
    std::vector<std::filesystem::path> found;
    auto options = std::filesystem::directory_options::skip_permission_denied;
    for (std::filesystem::recursive_directory_iterator it(folder, options, error), end;
         !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) found.push_back(it->path());
    }
    // The walk's order is the file system's; sorted, a folder imports the same way every time.
    std::sort(found.begin(), found.end());
    for (const auto& file : found) add(files, file, kindOf(file));
}

std::filesystem::path pathOf(const QString& argument) {
    QString local =
        argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
    return std::filesystem::path(local.toStdString());
}

}  // namespace

std::set<std::int64_t> storedObjectIDs(RideStore& store) {
    std::set<std::int64_t> ids;
    for (const RideRef& ride : store.allRecords(false)) ids.insert(ride->objectID);
    return ids;
}

NewRecords newRecordsSince(RideStore& store, const std::set<std::int64_t>& before) {
    NewRecords added;
    for (const RideRef& ride : store.allRecords(false)) {
        if (before.count(ride->objectID) || ride->deletedAt) continue;
        added.objectIDs.push_back(ride->objectID);
        added.years.push_back(localYear(ride->date));
    }
    return added;
}

OpenedFiles OpenedFiles::classify(const QStringList& paths) {
    OpenedFiles files;
    for (const QString& argument : paths) {
        std::filesystem::path path = pathOf(argument);
        std::error_code error;
        std::string name = path.filename().string();
        if (std::filesystem::is_directory(path, error)) {
            addFolder(files, path);
        } else if (!std::filesystem::is_regular_file(path, error)) {
            files.refused.push_back(name + ": The file does not exist.");
        } else if (FileKind kind = kindOf(path); kind != FileKind::other) {
            add(files, path, kind);
        } else {
            files.refused.push_back(
                name + ": " + RideImportError::unsupportedFileType(lowerExtension(path)).what());
        }
    }
    return files;
}

OpenedImportResult importOpenedFiles(RideStore& store, const QStringList& paths,
                                     const BulkImportOptions& options) {
    OpenedFiles files = OpenedFiles::classify(paths);
    OpenedImportResult result;
    result.failures = files.refused;
    if (files.empty()) return result;
    std::set<std::int64_t> before = storedObjectIDs(store);

    // Each flow counts from zero; the window shows one count over all of them.
    int doneBefore = 0;
    auto report = [&](int done, int total) {
        if (!options.progress) return;
        int all = doneBefore + total;
        options.progress({all, doneBefore + done, all >= 1 ? double(doneBefore + done) / all : 0});
    };
    if (!files.activityFiles.empty()) {
        FileListImportResult loose =
            importFileList(store, files.activityFiles, std::nullopt, report);
        // A failed save leaves nothing stored, so nothing counts as imported.
        if (loose.saveError)
            result.failures.push_back(*loose.saveError);
        else
            result.imported += loose.imported;
        for (const auto& [name, description] : loose.failures)
            result.failures.push_back(name + ": " + description);
        doneBefore += static_cast<int>(files.activityFiles.size());
    }
    if (!files.zipArchives.empty()) {
        BulkImportOptions zipOptions = options;
        zipOptions.progress = [&](const ImportProgress& progress) {
            report(progress.importCurrent, progress.importTotal);
        };
        BulkImportResult zip =
            importZipArchives(store, files.zipArchives, "ZIP Import", zipOptions);
        if (zip.saveError)
            result.failures.push_back(*zip.saveError);
        else
            result.imported += zip.imported;
        result.skipped += zip.skipped;
        for (const auto& [archive, reason] : zip.archiveFailures)
            result.failures.push_back(archive.filename().string() + ": " + reason);
        doneBefore += zip.imported + zip.skipped + zip.errors;
    }
    if (!files.archives.empty()) {
        ArchiveImportResult archive = importArchiveFiles(store, files.archives, report);
        result.imported += archive.imported;
        result.skipped += archive.skipped;
        for (const auto& failure : archive.failures)
            result.failures.push_back(failure.fileName + ": " + failure.description);
    }

    result.added = newRecordsSince(store, before);
    return result;
}

}  // namespace vantrel
