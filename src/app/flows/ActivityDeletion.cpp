#include "app/flows/ActivityDeletion.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>

#include "app/flows/BackgroundTask.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/DisplayFormat.h"
#include "app/widgets/ProgressRow.h"
#include "model/RideStore.h"

namespace vantrel::ActivityDeletion {

namespace {

QString dateAndTime(const PersistedRide& ride) {
    return QStringLiteral("%1 at %2")
        .arg(DisplayFormat::longDate(ride.date), DisplayFormat::shortTime(ride.date));
}

void showProgress(ProgressRow* progress, std::size_t done, std::size_t total) {
    progress->setProgress(QStringLiteral("Deleting %1 of %2…").arg(done).arg(total),
                          total ? static_cast<double>(done) / static_cast<double>(total) : 0.0);
}

}  // namespace

QString confirmationTitle(const std::vector<RideRef>& rides) {
    if (rides.size() == 1) return QStringLiteral("Delete Activity?");
    return QStringLiteral("Delete %1 Activities?").arg(rides.size());
}

QString confirmationText(const std::vector<RideRef>& rides) {
    if (rides.size() == 1) {
        return QStringLiteral(
                   "The activity of %1 will be permanently deleted with its photos. This cannot "
                   "be undone.")
            .arg(dateAndTime(*rides.front()));
    }
    auto [first, last] =
        std::minmax_element(rides.begin(), rides.end(),
                            [](const RideRef& a, const RideRef& b) { return a->date < b->date; });
    return QStringLiteral(
               "The %1 selected activities, from %2 to %3, will be permanently deleted with their "
               "photos. This cannot be undone.")
        .arg(rides.size())
        .arg(dateAndTime(**first), dateAndTime(**last));
}

void confirmAndDelete(QWidget* parent, RideStore& store, const std::vector<RideRef>& rides,
                      ProgressRow* progress, const std::function<void(bool deleted)>& done) {
    if (rides.empty() ||
        !Dialogs::confirm(parent, confirmationTitle(rides), confirmationText(rides),
                          QStringLiteral("Delete"), true)) {
        return done(false);
    }
    std::vector<std::int64_t> objectIDs;
    objectIDs.reserve(rides.size());
    for (const RideRef& ride : rides) {
        if (ride->objectID != 0) objectIDs.push_back(ride->objectID);
    }
    showProgress(progress, 0, objectIDs.size());
    progress->show();
    // Thousands of rows and their photos take longer than a frame: the window's connection
    // only learns which rows went once the other one has committed them.
    QPointer<ProgressRow> row(progress);
    runWithOwnStore<bool>(
        parent, store.path(),
        [objectIDs, row](RideStore& own) {
            own.deleteSaved(objectIDs, [row](std::size_t deleted, std::size_t total) {
                // The row may be gone by the time the main thread runs this: only there can
                // that be asked.
                postToMain(QCoreApplication::instance(), [row, deleted, total] {
                    if (row) showProgress(row, deleted, total);
                });
            });
            return true;
        },
        [parent, &store, objectIDs, row, done](const TaskOutcome<bool>& outcome) {
            if (row) row->hide();
            if (outcome.error) {
                Dialogs::alert(parent, QStringLiteral("Delete Failed"),
                               QString::fromStdString(*outcome.error));
                return done(false);
            }
            store.forgetDeleted(objectIDs);
            done(true);
        });
}

}  // namespace vantrel::ActivityDeletion
