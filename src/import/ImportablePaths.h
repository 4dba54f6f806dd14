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

    /// How named files (not folders) are taken: `checked` refuses one that no import reads or
    /// that does not exist; `handedOn` gives each to the import of its extension (the activity
    /// import when none reads it), which names its failures in its own words.
    enum class NamedFiles { checked, handedOn };

    /// Sorts `paths` by extension (in any case). Files inside folders that no import reads are
    /// passed over without a word (a folder is walked in name order, without following links
    /// to folders); a named file is taken as `named` says.
    static ImportablePaths sort(const std::vector<std::filesystem::path>& paths,
                                NamedFiles named = NamedFiles::checked);
    bool empty() const { return activityFiles.empty() && zipArchives.empty() && archives.empty(); }
};

}  // namespace vantrel
