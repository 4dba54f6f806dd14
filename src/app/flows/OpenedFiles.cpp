#include "app/flows/OpenedFiles.h"

#include <QUrl>

#include "model/RideStore.h"

namespace vantrel {

namespace {

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

OpenedImportResult importOpenedFiles(RideStore& store, const QStringList& paths,
                                     const BulkImportOptions& options) {
    std::vector<std::filesystem::path> local;
    for (const QString& argument : paths) local.push_back(pathOf(argument));
    std::set<std::int64_t> before = storedObjectIDs(store);
    OpenedImportResult opened;
    opened.result = importPaths(store, local, options);
    opened.added = newRecordsSince(store, before);
    return opened;
}

}  // namespace vantrel
