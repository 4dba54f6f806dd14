#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vantrel {

/// Files and folders handed to the application, sorted by the import that reads them.
/// Folders are searched for these kinds too.
struct ImportablePaths {
    std::vector<std::filesystem::path> activityFiles;  ///< GPX, TCX, FIT, each also gzip
    std::vector<std::filesystem::path> zipArchives;
    std::vector<std::filesystem::path> archives;  ///< Vantrel Format JSON
    /// (name, reason) for each named file that no import reads or that does not exist.
    std::vector<std::pair<std::string, std::string>> refused;

    /// Sorts `paths` by extension (in any case). Files inside folders that no import reads are
    /// passed over without a word (a folder is walked in name order, without following links
    /// to folders); a named file is refused with the importer's own text.
    static ImportablePaths sort(const std::vector<std::filesystem::path>& paths);
    bool empty() const { return activityFiles.empty() && zipArchives.empty() && archives.empty(); }
};

}  // namespace vantrel
