#include "import/StravaImportService.h"

#include <algorithm>
#include <cctype>

#include "import/ActivityImporter.h"
#include "import/ZipImportService.h"
#include "model/AsciiText.h"

namespace vantrel {

namespace {

const std::string kStravaLabel = "Strava";

bool hasZipExtension(const std::filesystem::path& file) {
    return asciiLowercased(file.extension().string()) == ".zip";
}

BulkImportResult importLooseFiles(RideStore& store, const std::vector<std::filesystem::path>& files,
                                  const BulkImportOptions& options) {
    auto progress = [&options](int done, int total) {
        if (!options.progress) return;
        options.progress({total, done, total < 1 ? 0.0 : static_cast<double>(done) / total});
    };
    FileListImportResult loose =
        importFileList(store, files, kStravaLabel, *options.logger, progress);
    BulkImportResult result;
    result.imported = loose.imported;
    result.saved = loose.saved;
    result.errors = static_cast<int>(loose.failures.size());
    result.fileFailures = std::move(loose.failures);
    result.saveError = std::move(loose.saveError);
    return result;
}

}  // namespace

std::vector<std::filesystem::path> zipFilesAmong(const std::vector<std::filesystem::path>& files) {
    std::vector<std::filesystem::path> zips;
    std::copy_if(files.begin(), files.end(), std::back_inserter(zips), hasZipExtension);
    return zips;
}

BulkImportResult importStravaFiles(RideStore& store,
                                   const std::vector<std::filesystem::path>& files,
                                   const BulkImportOptions& options) {
    auto zips = zipFilesAmong(files);
    if (zips.empty()) return importLooseFiles(store, files, options);
    return importZipArchives(store, zips, kStravaLabel, options);
}

}  // namespace vantrel
