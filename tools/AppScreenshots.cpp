// Screenshots of the main window, the settings and the diagnostics for the documentation:
//   vantrel_app_screenshots OUTPUT_FOLDER [ACTIVITY_FOLDER]
// imports the GPX, TCX and FIT files of ACTIVITY_FOLDER (the test corpus when left out) into a
// store of its own, selects the newest activity and saves main-window.png, statistics.png (and
// statistics-small.png), settings.png and diagnostics.png into OUTPUT_FOLDER. The user's own store
// and settings are never touched.
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/FakeMapView.h"
#include "app/shell/MainWindow.h"
#include "app/shell/SettingsWindow.h"
#include "app/shell/VantrelApp.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/statistics/StatisticsView.h"
#include "app/widgets/Dialogs.h"
#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"
#include "model/Preferences.h"

using namespace vantrel;

namespace {

std::vector<std::filesystem::path> activityFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string ext = entry.path().extension().string();
        if (ext == ".gpx" || ext == ".fit" || ext == ".tcx") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void logSampleLines() {
    PersistentLogger::shared().log(LogLevel::info, "Import", "Screenshot session");
    PersistentLogger::shared().log(LogLevel::error, "Import",
                                   "Import failed for broken.gpx: Failed to parse file");
    PersistentLogger::shared().flush();
}

void selectNewest(MainWindow& window) {
    auto* model = window.sidebar()->model();
    if (model->rowCount() == 0) return;
    window.sidebar()->expandYear(model->index(0, 0).data().toInt());
    if (!QTest::qWaitFor([&] { return model->isYearLoaded(0); })) return;
    window.sidebar()->selectRides(
        {model->rideAt(model->index(0, 0, model->index(0, 0)))->objectID});
}

bool save(QWidget& widget, const QString& file) {
    if (widget.grab().save(file)) return true;
    std::fprintf(stderr, "could not write %s\n", qPrintable(file));
    return false;
}

// The whole corpus by month, as a history a few years long looks.
bool saveStatistics(MainWindow& window, const QString& output) {
    window.showStatistics();
    for (auto* choice : window.statisticsView()->findChildren<QComboBox*>()) {
        if (choice->accessibleName() != QStringLiteral("Range")) continue;
        choice->setCurrentText(QStringLiteral("All Time"));
        emit choice->activated(choice->currentIndex());
    }
    QTest::qWait(200);
    bool saved = save(window, output + "/statistics.png");
    window.resize(760, 560);
    QTest::qWait(200);
    saved = save(window, output + "/statistics-small.png") && saved;
    window.resize(1280, 800);
    QTest::qWait(100);
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [ACTIVITY_FOLDER]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QString output = QString::fromLocal8Bit(argv[1]);
    std::filesystem::path activities = argc == 3 ? argv[2] : VANTREL_CORPUS_DIR;
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", (folder.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (folder.path() + "/config").toUtf8());
    qunsetenv("VANTREL_STORE");
    qunsetenv("VANTREL_PREFERENCES");
    Preferences::setSharedPath((folder.path() + "/config/preferences.json").toStdString());
    QApplication application(argc, argv);
    Dialogs::setTestMode(true);
    MapView::setFactory([](Preferences&) { return std::make_unique<test::FakeMapView>(); });

    std::filesystem::path storePath = folder.path().toStdString() + "/store.sqlite";
    {
        auto store = RideStore::open(storePath);
        importFileList(*store, activityFiles(activities), std::string("Strava"),
                       PersistentLogger::shared());
    }
    logSampleLines();
    VantrelApp app(RideStore::open(storePath));
    MainWindow* window = app.mainWindow();
    window->show();
    if (!QTest::qWaitFor([&] { return window->hasLoaded(); })) {
        std::fprintf(stderr, "the window did not load\n");
        return 1;
    }
    window->resize(1280, 800);
    selectNewest(*window);
    QTest::qWait(200);
    bool saved = save(*window, output + "/main-window.png");
    saved = saveStatistics(*window, output) && saved;
    app.showSettings();
    app.settingsWindow()->resize(480, 380);
    QTest::qWait(100);
    saved = save(*app.settingsWindow(), output + "/settings.png") && saved;
    auto* diagnostics = app.openDiagnostics();
    QTest::qWait(100);
    saved = save(*diagnostics, output + "/diagnostics.png") && saved;
    return saved ? 0 : 1;
}
