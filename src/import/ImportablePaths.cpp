#include "import/ImportablePaths.h"

#include <algorithm>

#include "import/BulkImportRun.h"
#include "import/RideImportError.h"
#include "model/AsciiText.h"

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

void add(ImportablePaths& paths, const std::filesystem::path& file, FileKind kind) {
    switch (kind) {
        case FileKind::activity:
            return paths.activityFiles.push_back(file);
        case FileKind::zip:
            return paths.zipArchives.push_back(file);
        case FileKind::archive:
            return paths.archives.push_back(file);
        case FileKind::other:
            return;
    }
}

void addFolder(ImportablePaths& paths, const std::filesystem::path& folder) {
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
    for (const auto& file : found) add(paths, file, kindOf(file));
}

}  // namespace

ImportablePaths ImportablePaths::sort(const std::vector<std::filesystem::path>& paths,
                                      NamedFiles named) {
    ImportablePaths sorted;
    for (const auto& path : paths) {
        std::error_code error;
        std::string name = path.filename().string();
        if (std::filesystem::is_directory(path, error)) {
            addFolder(sorted, path);
        } else if (named == NamedFiles::handedOn) {
            FileKind kind = kindOf(path);
            add(sorted, path, kind == FileKind::other ? FileKind::activity : kind);
        } else if (!std::filesystem::is_regular_file(path, error)) {
            sorted.refused.emplace_back(name, "The file does not exist.");
        } else if (FileKind kind = kindOf(path); kind != FileKind::other) {
            add(sorted, path, kind);
        } else {
            sorted.refused.emplace_back(
                name, RideImportError::unsupportedFileType(lowerExtension(path)).what());
        }
    }
    return sorted;
}

}  // namespace vantrel
