#include "app/flows/ActivityDeletion.h"

#include <algorithm>

#include "app/widgets/Dialogs.h"
#include "app/widgets/DisplayFormat.h"
#include "model/RideStore.h"

namespace vantrel::ActivityDeletion {

namespace {

QString dateAndTime(const PersistedRide& ride) {
    return QStringLiteral("%1 at %2")
        .arg(DisplayFormat::longDate(ride.date), DisplayFormat::shortTime(ride.date));
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

bool confirmAndDelete(QWidget* parent, RideStore& store, const std::vector<RideRef>& rides) {
    if (rides.empty()) return false;
    if (!Dialogs::confirm(parent, confirmationTitle(rides), confirmationText(rides),
                          QStringLiteral("Delete"), true)) {
        return false;
    }
    try {
        for (const RideRef& ride : rides) store.remove(ride);
        store.save();
        return true;
    } catch (const std::exception& error) {
        // The file is as it was; the records are read back from it.
        store.refreshAll();
        Dialogs::alert(parent, QStringLiteral("Delete Failed"), QString::fromUtf8(error.what()));
        return false;
    }
}

}  // namespace vantrel::ActivityDeletion
