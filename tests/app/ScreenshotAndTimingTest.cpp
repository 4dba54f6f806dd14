#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "AppFixture.h"
#include "app/HistoryModel.h"
#include "app/HistorySidebar.h"
#include "app/MainWindow.h"
#include "app/SettingsWindow.h"
#include "app/YearSection.h"
#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"

// Not part of the regular run: screenshots for the documentation (VANTREL_SCREENSHOT_DIR) and
// the responsiveness figures (VANTREL_APP_TIMING=1) are produced on request.
namespace vantrel::test {
namespace {

class PaintProbe : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted) painted = true;
        return false;
    }
    bool painted = false;
};

/// The longest gap between ticks of a 5 ms timer while `work` runs the event loop.
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

class ScreenshotAndTimingTest : public AppFixture {
  protected:
    /// 15 years, 20,000 activities; the year three back holds 2,000 of them.
    void fillForTiming() {
        int currentYear = localYear(now());
        for (int y = 0; y < 15; ++y) {
            int perYear = y == 3 ? 2000 : 1286;
            for (int i = 0; i < perYear; ++i) {
                RideRef ride = addRide(currentYear - y, 1 + i % 12, 1 + i % 28, 5000 + i);
                ride->date -= i * 60;
            }
            store->save();
        }
    }
    qint64 timeToFirstPaint() {
        QElapsedTimer clock;
        clock.start();
        app = std::make_unique<VantrelApp>(RideStore::open(storePath));
        PaintProbe probe;
        app->mainWindow()->sidebar()->installEventFilter(&probe);
        app->mainWindow()->sidebar()->tree()->viewport()->installEventFilter(&probe);
        app->mainWindow()->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return probe.painted; }, 30000));
        qint64 elapsed = clock.nsecsElapsed() / 1000;
        EXPECT_TRUE(QTest::qWaitFor([&] { return app->mainWindow()->hasLoaded(); }));
        QTest::qWait(100);
        app.reset();
        return elapsed;
    }
};

TEST_F(ScreenshotAndTimingTest, StartAndYearOpeningFigures) {
    if (qEnvironmentVariableIsEmpty("VANTREL_APP_TIMING")) GTEST_SKIP();
    store->save();
    store.reset();
    timeToFirstPaint();  // warms up fonts and styles, which only the first window pays for
    qint64 empty = timeToFirstPaint();
    storePath = env.root() / "large.sqlite";
    store = RideStore::open(storePath);
    fillForTiming();
    store.reset();
    qint64 large = timeToFirstPaint();
    std::printf("first paint: empty %lld us, 20,000 activities %lld us, ratio %.2f\n",
                static_cast<long long>(empty), static_cast<long long>(large),
                static_cast<double>(large) / std::max<qint64>(empty, 1));

    app = std::make_unique<VantrelApp>(RideStore::open(storePath));
    app->mainWindow()->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return app->mainWindow()->hasLoaded(); }));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 30000));
    QTest::qWait(100);
    sidebar->tree()->scrollTo(sidebar->model()->index(1000, 0, sidebar->model()->yearIndex(year)));
    QTest::qWait(100);
    frames.stop();
    std::printf("opening a year of %d activities: loaded after %lld ms, longest frame %lld ms\n",
                sidebar->model()->rowCount(sidebar->model()->yearIndex(year)),
                static_cast<long long>(clock.elapsed()), static_cast<long long>(frames.longest));
    EXPECT_LT(frames.longest, 100);
}

TEST_F(ScreenshotAndTimingTest, WindowsFromCorpus) {
    QString folder = qEnvironmentVariable("VANTREL_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP();
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(corpusDir())) {
        std::string ext = entry.path().extension().string();
        if (ext == ".gpx" || ext == ".fit" || ext == ".tcx") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    importFileList(*store, files, std::string("Strava"));
    PersistentLogger::shared().log(LogLevel::info, "Import", "Screenshot session");
    PersistentLogger::shared().log(LogLevel::error, "Import",
                                   "Import failed for broken.gpx: Failed to parse file");
    PersistentLogger::shared().flush();
    startApp();
    MainWindow* window = app->mainWindow();
    window->resize(1280, 800);
    auto* model = window->sidebar()->model();
    if (model->rowCount() > 0) {
        int newest = model->index(0, 0).data().toInt();
        window->sidebar()->expandYear(newest);
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->isYearLoaded(0); }));
        window->sidebar()->selectRides(
            {model->rideAt(model->index(0, 0, model->index(0, 0)))->objectID});
    }
    QTest::qWait(200);
    window->grab().save(folder + "/main-window.png");
    app->showSettings();
    app->settingsWindow()->resize(480, 380);
    QTest::qWait(100);
    app->settingsWindow()->grab().save(folder + "/settings.png");
    auto* diagnostics = app->openDiagnostics();
    QTest::qWait(100);
    diagnostics->grab().save(folder + "/diagnostics.png");
}

}  // namespace
}  // namespace vantrel::test
