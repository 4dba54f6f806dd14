// Responsiveness of the main window with a large history, offscreen:
//   build/bench/app_start_timing
// Prints the time to the first paint of the sidebar with an empty store and with 28,000
// activities over 15 years, and, for the year that holds 10,000 of them, the time to fetch it, to
// open it in the sidebar and to select all of it and delete it, each with the longest gap
// between event-loop ticks meanwhile.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "PaintProbe.h"
#include "app/FakeMapView.h"
#include "app/shell/MainWindow.h"
#include "app/shell/VantrelApp.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/sidebar/YearSection.h"
#include "app/widgets/Dialogs.h"
#include "model/Preferences.h"

using namespace vantrel;

namespace {

constexpr int kLargeYear = 10000;

using bench::PaintProbe;

/// The longest gap between ticks of a 5 ms timer while the event loop runs.
class FrameProbe : public QObject {
  public:
    FrameProbe() {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this,
                [this] { longest = std::max(longest, m_clock.restart()); });
    }
    void start() {
        m_clock.start();
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    qint64 longest = 0;

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
};

void addRide(RideStore& store, int year, int month, int day, double distance, int minutesBack) {
    auto ride = std::make_shared<PersistedRide>();
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = 9;
    local.tm_isdst = -1;
    ride->date = dateFromUnix(static_cast<double>(std::mktime(&local))) - minutesBack * 60;
    ride->duration = 3723;
    ride->distance = distance;
    ride->elevationGain = 150;
    ride->averageHeartRate = 140;
    ride->maxHeartRate = 171;
    ride->calories = 600;
    ride->activityType = "running";
    store.insert(ride);
}

/// 15 years, 28,000 activities; the year three back holds 10,000 of them.
void fillForTiming(const std::filesystem::path& storePath) {
    auto store = RideStore::open(storePath);
    int currentYear = localYear(now());
    for (int y = 0; y < 15; ++y) {
        int perYear = y == 3 ? kLargeYear : 1286;
        for (int i = 0; i < perYear; ++i)
            addRide(*store, currentYear - y, 1 + i % 12, 1 + i % 28, 5000 + i, i);
        store->save();
    }
}

std::unique_ptr<VantrelApp> showApp(const std::filesystem::path& storePath) {
    auto app = std::make_unique<VantrelApp>(RideStore::open(storePath));
    app->mainWindow()->show();
    return app;
}

/// Microseconds from creating the app to the sidebar's first paint; -1 if it never paints.
qint64 timeToFirstPaint(const std::filesystem::path& storePath) {
    QElapsedTimer clock;
    clock.start();
    auto app = std::make_unique<VantrelApp>(RideStore::open(storePath));
    PaintProbe probe;
    app->mainWindow()->sidebar()->installEventFilter(&probe);
    app->mainWindow()->sidebar()->tree()->viewport()->installEventFilter(&probe);
    app->mainWindow()->show();
    bool painted = QTest::qWaitFor([&] { return probe.painted; }, 30000);
    qint64 elapsed = painted ? clock.nsecsElapsed() / 1000 : -1;
    (void)QTest::qWaitFor([&] { return app->mainWindow()->hasLoaded(); });
    QTest::qWait(100);
    return elapsed;
}

/// Selects every shown activity (the open year) and deletes them, as Select All and Delete
/// would, timing it to the sidebar's word that they are gone.
void deletionFigures(HistorySidebar& sidebar) {
    QElapsedTimer selecting;
    selecting.start();
    sidebar.selectAllShown();
    std::size_t selected = sidebar.selectedRides().size();
    std::printf("selecting all %zu shown activities: %lld ms\n", selected,
                static_cast<long long>(selecting.elapsed()));
    QTest::qWait(100);
    bool deleted = false;
    QObject::connect(&sidebar, &HistorySidebar::activitiesDeleted, [&] { deleted = true; });
    FrameProbe frames;
    frames.start();
    QElapsedTimer clock;
    clock.start();
    Dialogs::pushAnswer(true);
    sidebar.deleteSelected();
    if (!QTest::qWaitFor([&] { return deleted; }, 120000)) {
        std::fprintf(stderr, "the deletion did not end\n");
        return;
    }
    qint64 elapsed = clock.elapsed();
    QTest::qWait(100);
    frames.stop();
    std::printf("deleting %zu selected activities: %lld ms, longest frame %lld ms\n", selected,
                static_cast<long long>(elapsed), static_cast<long long>(frames.longest));
}

void yearOpeningFigures(const std::filesystem::path& storePath) {
    auto app = showApp(storePath);
    if (!QTest::qWaitFor([&] { return app->mainWindow()->hasLoaded(); })) {
        std::fprintf(stderr, "the window did not load\n");
        return;
    }
    QTest::qWait(300);
    HistorySidebar* sidebar = app->mainWindow()->sidebar();
    int year = localYear(now()) - 3;
    QElapsedTimer fetchClock;
    fetchClock.start();
    auto fetched = YearSection::fetch(app->store(), year - 1);
    std::printf("fetching a year of %zu activities without details: %lld ms\n", fetched.size(),
                static_cast<long long>(fetchClock.elapsed()));
    FrameProbe frames;
    bool loaded = false;
    QObject::connect(sidebar, &HistorySidebar::yearLoaded,
                     [&](int done) { loaded = loaded || done == year; });
    frames.start();
    QElapsedTimer clock;
    clock.start();
    sidebar->expandYear(year);
    if (!QTest::qWaitFor([&] { return loaded; }, 30000)) {
        std::fprintf(stderr, "the year did not load\n");
        return;
    }
    QTest::qWait(100);
    sidebar->tree()->scrollTo(
        sidebar->model()->index(kLargeYear / 2, 0, sidebar->model()->yearIndex(year)));
    QTest::qWait(100);
    frames.stop();
    std::printf("opening a year of %d activities: loaded after %lld ms, longest frame %lld ms\n",
                sidebar->model()->rowCount(sidebar->model()->yearIndex(year)),
                static_cast<long long>(clock.elapsed()), static_cast<long long>(frames.longest));
    deletionFigures(*sidebar);
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", (folder.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (folder.path() + "/config").toUtf8());
    qunsetenv("VANTREL_STORE");
    qunsetenv("VANTREL_PREFERENCES");
    Preferences::setSharedPath((folder.path() + "/config/preferences.json").toStdString());
    QApplication application(argc, argv);
    Dialogs::setTestMode(true);
    // The figures are about the sidebar; the web engine's start would only blur them.
    MapView::setFactory([](Preferences&) { return std::make_unique<test::FakeMapView>(); });

    std::filesystem::path root = folder.path().toStdString();
    RideStore::open(root / "empty.sqlite")->save();
    timeToFirstPaint(root / "empty.sqlite");  // fonts and styles: only the first window pays
    qint64 empty = timeToFirstPaint(root / "empty.sqlite");
    fillForTiming(root / "large.sqlite");
    qint64 large = timeToFirstPaint(root / "large.sqlite");
    std::printf("first paint: empty %lld us, 28,000 activities %lld us, ratio %.2f\n",
                static_cast<long long>(empty), static_cast<long long>(large),
                static_cast<double>(large) / std::max<qint64>(empty, 1));
    yearOpeningFigures(root / "large.sqlite");
    return 0;
}
