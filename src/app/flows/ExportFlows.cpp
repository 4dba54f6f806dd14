#include "app/flows/ExportFlows.h"

#include <QWidget>

#include "app/flows/BackgroundTask.h"
#include "app/widgets/Dialogs.h"
#include "archive/ArchiveExport.h"
#include "export/GpxFolderExport.h"

namespace vantrel {

namespace {

QString ridesPlural(int count) {
    return QString::number(count) + QLatin1String(count == 1 ? " ride" : " rides");
}

QString archiveDateText(Date date) {
    return QString::fromStdString(formatLocal(date, "%Y%m%d_%H%M"));
}

QString gpxMessage(const ExportScope& scope) {
    switch (scope.kind) {
        case ExportScope::Kind::selected:
            return QStringLiteral("Export %1 selected %2 as GPX files.")
                .arg(scope.count)
                .arg(scope.count == 1 ? QStringLiteral("ride") : QStringLiteral("rides"));
        case ExportScope::Kind::year:
            return QStringLiteral("Export all %1 from %2 as GPX files.")
                .arg(ridesPlural(scope.count))
                .arg(scope.year);
        case ExportScope::Kind::all:
            return QStringLiteral("Export all %1 as GPX files.").arg(ridesPlural(scope.count));
    }
    return {};
}

}  // namespace

std::vector<RideRef> ExportScope::resolve(RideStore& store, bool withDetails) const {
    switch (kind) {
        case Kind::year:
            return store.activitiesOfYear(year, withDetails);
        case Kind::all:
            return store.allLiveActivities(withDetails);
        case Kind::selected: {
            std::vector<RideRef> rides;
            for (const RideRef& ride : store.allLiveActivities(false)) {
                if (!objectIDs.count(ride->objectID)) continue;
                if (withDetails) store.loadDetails(ride);
                rides.push_back(ride);
            }
            return rides;
        }
    }
    return {};
}

ExportFlows::ExportFlows(RideStore& store, AppContext context, QWidget* window)
    : QObject(window), m_store(store), m_context(context), m_window(window) {}

void ExportFlows::exportGPX(const ExportScope& scope) {
    if (scope.count == 0) return;
    auto folder = Dialogs::openFolder(
        m_window, {gpxMessage(scope), QStringLiteral("Export Here"), {}, {}, false});
    if (!folder) return;
    begin(scope.count);
    auto cancel = std::make_shared<CancellationToken>();
    m_exportTask = cancel;
    std::filesystem::path chosen = folder->toStdString();
    auto progress = progressReporter();
    runWithOwnStore<GpxFolderExportResult>(
        this, m_store.path(),
        [scope, chosen, cancel, progress, &logger = m_context.logger](RideStore& store) {
            return exportGpxToFolder(store, scope.resolve(store, false), chosen, logger, progress,
                                     cancel.get());
        },
        [this](const TaskOutcome<GpxFolderExportResult>& outcome) {
            const GpxFolderExportResult& result = outcome.value;
            // Files that could not be written make no complete export: the alert says so.
            QString unwritten;
            if (result.failed > 0) {
                unwritten =
                    QStringLiteral("%1 activit%2 could not be written: %3")
                        .arg(result.failed)
                        .arg(result.failed == 1 ? QStringLiteral("y") : QStringLiteral("ies"))
                        .arg(QString::fromStdString(result.firstFailure));
            }
            finish(result.written, 0, unwritten);
        });
}

void ExportFlows::exportArchiveSelected(const std::vector<RideRef>& selected) {
    int count = static_cast<int>(selected.size());
    if (count == 0) return;
    QString name =
        count == 1
            ? QStringLiteral("Vantrel_%1.json").arg(archiveDateText(selected.front()->date))
            : QStringLiteral("Vantrel_%1_%2activities.json").arg(archiveDateText(now())).arg(count);
    QString message = QStringLiteral("Save %1 selected activit%2 in Vantrel Format.")
                          .arg(count)
                          .arg(count == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
    auto file = Dialogs::saveFile(
        m_window, {message, {}, QStringLiteral("JSON files (*.json)"), name, false});
    if (!file) return;
    ExportScope scope{ExportScope::Kind::selected, {}, 0, count};
    for (const RideRef& ride : selected) scope.objectIDs.insert(ride->objectID);
    runArchiveFile(scope, *file);
}

void ExportFlows::exportArchiveYear(int year, int count) {
    if (count == 0) return;
    QString message =
        QStringLiteral("Save %1 from %2 in Vantrel Format.").arg(ridesPlural(count)).arg(year);
    auto file = Dialogs::saveFile(m_window, {message,
                                             {},
                                             QStringLiteral("JSON files (*.json)"),
                                             QStringLiteral("Vantrel_%1.json").arg(year),
                                             false});
    if (!file) return;
    runArchiveFile(ExportScope{ExportScope::Kind::year, {}, year, count}, *file);
}

void ExportFlows::runArchiveFile(const ExportScope& scope, const QString& file) {
    begin(scope.count);
    std::filesystem::path target = file.toStdString();
    auto progress = progressReporter();
    runWithOwnStore<ArchiveExportResult>(
        this, m_store.path(),
        [scope, target, progress, &logger = m_context.logger](RideStore& store) {
            return exportArchiveToFile(store, scope.resolve(store, false), target, logger,
                                       progress);
        },
        [this](const TaskOutcome<ArchiveExportResult>& outcome) {
            if (outcome.error || !outcome.value.succeeded()) return failArchive();
            finish(outcome.value.exported, static_cast<int>(outcome.value.skipped.size()));
        });
}

void ExportFlows::exportArchiveAll(const std::vector<YearSummary>& years) {
    auto folder = Dialogs::openFolder(
        m_window,
        {QStringLiteral(
             "One Vantrel Format JSON file per year will be saved to the selected folder."),
         QStringLiteral("Export Here"),
         {},
         {},
         false});
    if (!folder) return;
    int total = 0;
    for (const auto& summary : years) total += static_cast<int>(summary.count);
    begin(total);
    std::filesystem::path target = folder->toStdString();
    auto progress = progressReporter();
    runWithOwnStore<ArchiveExportResult>(
        this, m_store.path(),
        [target, progress, &logger = m_context.logger](RideStore& store) {
            return exportArchiveYearFiles(store, target, logger, progress);
        },
        [this](const TaskOutcome<ArchiveExportResult>& outcome) {
            if (outcome.error || !outcome.value.succeeded()) return failArchive();
            finish(outcome.value.exported, static_cast<int>(outcome.value.skipped.size()));
        });
}

void ExportFlows::cancel() {
    if (m_exportTask) m_exportTask->cancel();
}

void ExportFlows::begin(int total) {
    m_isExporting = true;
    m_total = total;
    m_current = 0;
    m_progress = 0;
    emit stateChanged();
}

void ExportFlows::setProgress(int current) {
    m_current = current;
    m_progress = m_total > 0 ? static_cast<double>(current) / m_total : 0.0;
    emit stateChanged();
}

std::function<void(int, int)> ExportFlows::progressReporter() {
    QPointer<ExportFlows> self(this);
    return [self](int done, int) {
        if (!self) return;
        postToMain(self.data(), [self, done] {
            if (self) self->setProgress(done);
        });
    };
}

void ExportFlows::finish(int exported, int skipped, const QString& unwritten) {
    m_progress = 1.0;
    m_isExporting = false;
    m_exportTask.reset();
    emit stateChanged();
    QString text = QStringLiteral("Exported %1 activit%2.")
                       .arg(exported)
                       .arg(exported == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
    // Each left-out activity is named in the log; the alert says how many there were.
    if (skipped > 0) {
        text += QStringLiteral(" Skipped %1 activit%2 whose date cannot be written.")
                    .arg(skipped)
                    .arg(skipped == 1 ? QStringLiteral("y") : QStringLiteral("ies"));
    }
    if (!unwritten.isEmpty()) text += QLatin1Char('\n') + unwritten;
    Dialogs::alert(m_window, QStringLiteral("Export Complete"), text);
}

void ExportFlows::failArchive() {
    // The exporter has logged the failure; like the rest of the system, no alert follows.
    m_isExporting = false;
    emit stateChanged();
}

}  // namespace vantrel
