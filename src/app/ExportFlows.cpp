#include "app/ExportFlows.h"

#include <QWidget>
#include <fstream>

#include "app/BackgroundTask.h"
#include "app/CoreFlows.h"
#include "app/Dialogs.h"
#include "logging/PersistentLogger.h"

namespace vantrel {

namespace {

QString ridesPlural(int count) {
    return QString::number(count) + QLatin1String(count == 1 ? " ride" : " rides");
}

bool writeFile(const std::filesystem::path& file, const char* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    return static_cast<bool>(out.flush());
}

std::string megabytes(std::size_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1'000'000.0);
    return text;
}

QString archiveDateText(Date date) {
    return QString::fromStdString(formatLocal(date, "%Y%m%d_%H%M"));
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

ExportFlows::ExportFlows(RideStore& store, QWidget* window)
    : QObject(window), m_store(store), m_window(window) {}

std::filesystem::path ExportFlows::freeGPXPath(const std::filesystem::path& folder, Date start) {
    std::string base = formatLocal(start, "%Y%m%d%H%M");
    std::filesystem::path candidate = folder / (base + ".gpx");
    for (int suffix = 2; std::filesystem::exists(candidate); ++suffix) {
        candidate = folder / (base + "_" + std::to_string(suffix) + ".gpx");
    }
    return candidate;
}

void ExportFlows::exportGPX(const ExportScope& scope) {
    if (scope.count == 0) return;
    QString message;
    switch (scope.kind) {
        case ExportScope::Kind::selected:
            message = QStringLiteral("Export %1 selected %2 as GPX files.")
                          .arg(scope.count)
                          .arg(scope.count == 1 ? QStringLiteral("ride") : QStringLiteral("rides"));
            break;
        case ExportScope::Kind::year:
            message = QStringLiteral("Export all %1 from %2 as GPX files.")
                          .arg(ridesPlural(scope.count))
                          .arg(scope.year);
            break;
        case ExportScope::Kind::all:
            message = QStringLiteral("Export all %1 as GPX files.").arg(ridesPlural(scope.count));
            break;
    }
    auto folder =
        Dialogs::openFolder(m_window, {message, QStringLiteral("Export Here"), {}, {}, false});
    if (!folder) return;
    begin(scope.count);
    auto cancel = std::make_shared<CancellationToken>();
    m_exportTask = cancel;
    std::filesystem::path target =
        std::filesystem::path(folder->toStdString()) / "VantrelExport" / "activities";
    auto progress = progressReporter();
    runWithOwnStore<int>(
        this, m_store.path(),
        [scope, target, cancel, progress](RideStore& store) {
            std::error_code ignored;
            std::filesystem::create_directories(target, ignored);
            int written = 0, position = 0;
            for (const RideRef& ride : scope.resolve(store, false)) {
                if (cancel->isCancelled()) break;
                store.loadDetails(ride);
                std::string text = CoreFlows::gpxText(*ride);
                if (writeFile(freeGPXPath(target, ride->date), text.data(), text.size())) ++written;
                progress(++position);
            }
            return written;
        },
        [this](TaskOutcome<int> outcome) {
            finish(outcome.value);
            PersistentLogger::shared().log(LogLevel::info, "Export",
                                           "Exported " + std::to_string(outcome.value) +
                                               " ride(s) as GPX to VantrelExport/activities");
            if (outcome.error) {
                PersistentLogger::shared().log(LogLevel::error, "Export",
                                               "GPX export failed: " + *outcome.error);
            }
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
    runWithOwnStore<std::size_t>(
        this, m_store.path(),
        [scope, target](RideStore& store) {
            Bytes bytes = CoreFlows::archiveBytes(scope.resolve(store, true));
            if (!writeFile(target, reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
                throw std::runtime_error("The file " + target.filename().string() +
                                         " could not be written.");
            }
            return bytes.size();
        },
        [this, scope](TaskOutcome<std::size_t> outcome) {
            if (outcome.error) return failArchive(*outcome.error);
            finish(scope.count);
            PersistentLogger::shared().log(
                LogLevel::info, "Export",
                "Exported Vantrel Format: " + std::to_string(scope.count) + " rides, " +
                    megabytes(outcome.value) + " MB");
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
    runWithOwnStore<int>(
        this, m_store.path(),
        [years, target, progress](RideStore& store) {
            int exported = 0;
            for (const auto& summary : years) {
                std::vector<RideRef> rides = store.activitiesOfYear(summary.year, true);
                if (rides.empty()) continue;
                Bytes bytes = CoreFlows::archiveBytes(rides);
                auto file = target / ("Vantrel_" + std::to_string(summary.year) + ".json");
                if (!writeFile(file, reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
                    throw std::runtime_error("The file " + file.filename().string() +
                                             " could not be written.");
                }
                exported += static_cast<int>(rides.size());
                progress(exported);
            }
            return exported;
        },
        [this, years](TaskOutcome<int> outcome) {
            if (outcome.error) return failArchive(*outcome.error);
            finish(outcome.value);
            PersistentLogger::shared().log(
                LogLevel::info, "Export",
                "Exported Vantrel Format: " + std::to_string(outcome.value) + " rides across " +
                    std::to_string(years.size()) + " year files");
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

std::function<void(int)> ExportFlows::progressReporter() {
    QPointer<ExportFlows> self(this);
    return [self](int current) {
        if (!self) return;
        postToMain(self.data(), [self, current] {
            if (self) self->setProgress(current);
        });
    };
}

void ExportFlows::finish(int exported) {
    m_progress = 1.0;
    m_isExporting = false;
    m_exportTask.reset();
    emit stateChanged();
    Dialogs::alert(
        m_window, QStringLiteral("Export Complete"),
        QStringLiteral("Exported %1 activit%2.").arg(exported).arg(exported == 1 ? "y" : "ies"));
}

void ExportFlows::failArchive(const std::string& description) {
    m_isExporting = false;
    emit stateChanged();
    PersistentLogger::shared().log(LogLevel::error, "Export",
                                   "Vantrel Format export failed: " + description);
}

}  // namespace vantrel
