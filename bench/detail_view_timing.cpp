// Responsiveness of the detail view with the real map, on an X display (Xvfb will do):
//   DISPLAY=:91 build/bench/detail_view_timing
// With VANTREL_TIMING_CHART_ONLY set it also drags the same view in a window without a web view.
// Prints, for a 10-hour activity recorded at 1 Hz (36,000 points with heart rate), the time from
// selecting it to the chart painted and the route in the map (after the web engine has started
// once), and the longest gap between paints while the scrubber is dragged across the chart.
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/detail/ActivityDetailView.h"
#include "app/detail/RideChartView.h"
#include "app/map/MapView.h"
#include "app/shell/MainWindow.h"
#include "app/shell/VantrelApp.h"
#include "app/sidebar/HistorySidebar.h"
#include "model/Preferences.h"

using namespace vantrel;

namespace {

/// CPU time of the calling thread: unlike the wall clock, it does not grow while other
/// programs on a busy machine hold the cores.
qint64 threadCpuMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1'000'000LL + now.tv_nsec / 1000;
}

constexpr int kPoints = 36'000;

RideRef longRide(Date start) {
    auto ride = std::make_shared<PersistedRide>();
    ride->date = start;
    ride->duration = kPoints;
    ride->activityType = "cycling";
    ride->averageHeartRate = 140;
    ride->maxHeartRate = 180;
    std::vector<RoutePoint> route;
    std::vector<HeartRateSample> heartRate;
    route.reserve(kPoints);
    heartRate.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        double t = start + i;
        double a = i / 3000.0;
        route.push_back({Uuid::random(),
                         {46.9 + 0.2 * std::sin(a) + i * 1e-6, 7.4 + 0.3 * std::cos(a * 0.7)},
                         500 + 300 * std::sin(a * 2),
                         t});
        heartRate.push_back({Uuid::random(), t, 130 + 30 * std::sin(a * 5)});
    }
    ride->setRoutePoints(route);
    ride->setHeartRateSamples(heartRate);
    ride->distance = 300'000;
    return ride;
}

RideRef shortRide(Date start) {
    auto ride = std::make_shared<PersistedRide>();
    ride->date = start;
    ride->duration = 600;
    ride->activityType = "running";
    std::vector<RoutePoint> route;
    route.reserve(600);
    for (int i = 0; i < 600; ++i)
        route.push_back({Uuid::random(), {47.0 + i * 1e-5, 8.0}, 400, start + i});
    ride->setRoutePoints(route);
    return ride;
}

QWebEngineView* mapView(MainWindow& window) {
    return window.findChild<QWebEngineView*>();
}

/// How many routes the page has drawn so far.
int routeVersion(QWebEngineView* view) {
    int result = -1;
    bool done = false;
    view->page()->runJavaScript(
        QStringLiteral("window.vantrelState ? vantrelState.routeVersion : -1"),
        [&](const QVariant& value) {
            result = value.toInt();
            done = true;
        });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return result;
}

/// Records when a widget paints.
class PaintClock : public QObject {
  public:
    explicit PaintClock(QElapsedTimer& clock) : m_clock(clock) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) paints.push_back(m_clock.nsecsElapsed() / 1000);
        return false;
    }
    std::vector<qint64> paints;

  private:
    QElapsedTimer& m_clock;
};

struct Selection {
    double synchronousCpuMs;
    double synchronousMs;
    double chartPaintedMs;
    double routeShownMs;
};

Selection selectAndWait(MainWindow& window, const RideRef& ride) {
    int versionBefore = routeVersion(mapView(window));
    QElapsedTimer clock;
    clock.start();
    qint64 cpu = threadCpuMicroseconds();
    window.sidebar()->selectRides({ride->objectID});
    double synchronousCpu = (threadCpuMicroseconds() - cpu) / 1e3;
    double synchronous = clock.nsecsElapsed() / 1e6;
    auto* detail = qobject_cast<ActivityDetailView*>(window.currentDetail());
    PaintClock paints(clock);
    detail->chart()->viewport()->installEventFilter(&paints);
    QWebEngineView* view = mapView(window);
    double routeShown = 0;
    while (clock.elapsed() < 20000) {
        if (routeVersion(view) > versionBefore) {
            routeShown = clock.nsecsElapsed() / 1e6;
            break;
        }
    }
    (void)QTest::qWaitFor([&] { return !paints.paints.empty(); }, 5000);
    double chart = paints.paints.empty() ? -1 : paints.paints.front() / 1e3;
    detail->chart()->viewport()->removeEventFilter(&paints);
    return {synchronousCpu, synchronous, chart, routeShown};
}

/// Drags across the whole plot in 3 s with a move every 8 ms (a 125 Hz mouse).
void dragFigures(ActivityDetailView& detail) {
    RideChartView* chart = detail.chart();
    QRectF frame = chart->plotFrame();
    QElapsedTimer clock;
    clock.start();
    PaintClock paints(clock);
    chart->viewport()->installEventFilter(&paints);
    qint64 longestStall = 0;
    qint64 lastTick = 0;
    qint64 longestWork = 0;
    qint64 lastCpu = threadCpuMicroseconds();
    qint64 startCpu = lastCpu;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        qint64 nowUs = clock.nsecsElapsed() / 1000;
        if (lastTick) longestStall = std::max(longestStall, nowUs - lastTick);
        lastTick = nowUs;
        qint64 cpu = threadCpuMicroseconds();
        longestWork = std::max(longestWork, cpu - lastCpu);
        lastCpu = cpu;
    });
    probe.start();
    QPointF at(frame.left(), frame.center().y());
    QMouseEvent press(QEvent::MouseButtonPress, at, chart->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(chart->viewport(), &press);
    int steps = 3000 / 8;
    QTimer mover;
    int step = 0;
    mover.setInterval(8);
    QObject::connect(&mover, &QTimer::timeout, [&] {
        QPointF point(frame.left() + frame.width() * step / steps, frame.center().y());
        QMouseEvent move(QEvent::MouseMove, point, chart->viewport()->mapToGlobal(point),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(chart->viewport(), &move);
        ++step;
    });
    mover.start();
    (void)QTest::qWaitFor([&] { return step > steps; }, 20000);
    mover.stop();
    probe.stop();
    chart->viewport()->removeEventFilter(&paints);
    qint64 longestGap = 0;
    for (std::size_t i = 1; i < paints.paints.size(); ++i)
        longestGap = std::max(longestGap, paints.paints[i] - paints.paints[i - 1]);
    double cpuPerMove = (threadCpuMicroseconds() - startCpu) / 1000.0 / std::max(step, 1);
    std::printf(
        "drag: %d of %d moves in %.1f s, %zu chart paints, longest gap between paints "
        "%.1f ms, longest event-loop stall %.1f ms; main-thread CPU: %.2f ms per move, "
        "longest work between two loop ticks %.1f ms\n",
        step, steps, clock.elapsed() / 1000.0, paints.paints.size(), longestGap / 1000.0,
        longestStall / 1000.0, cpuPerMove, longestWork / 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "needs an X display, e.g. Xvfb\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", (folder.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (folder.path() + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (folder.path() + "/cache").toUtf8());
    Preferences::setSharedPath((folder.path() + "/config/preferences.json").toStdString());
    // No tile server: the figures are about this program, not the network.
    Preferences::shared().setString("tileURL", "http://127.0.0.1:1/{z}/{x}/{y}.png");
    MapView::prepareProcess();
    QApplication application(argc, argv);

    auto store = RideStore::open((folder.path() + "/store.sqlite").toStdString());
    Date today = now();
    RideRef ten = longRide(today - 86'400);
    RideRef small = shortRide(today - 3600);
    store->insert(ten);
    store->insert(small);
    store->save();

    VantrelApp app(std::move(store));
    MainWindow& window = *app.mainWindow();
    window.resize(1400, 900);
    window.show();
    (void)QTest::qWaitFor([&] { return window.hasLoaded(); }, 20000);
    // The first selection starts the web engine; the figures are for every one after it.
    window.sidebar()->selectRides({small->objectID});
    (void)QTest::qWaitFor([&] { return mapView(window) && routeVersion(mapView(window)) > 0; },
                          60000);
    QTest::qWait(500);

    std::vector<Selection> runs;
    for (int i = 0; i < 5; ++i) {
        window.sidebar()->selectRides({small->objectID});
        QTest::qWait(300);
        runs.push_back(selectAndWait(window, ten));
        QTest::qWait(300);
        std::printf(
            "select 10 h activity: built %.0f ms (main-thread CPU %.0f ms), chart painted %.0f ms, "
            "route in map %.0f ms\n",
            runs.back().synchronousMs, runs.back().synchronousCpuMs, runs.back().chartPaintedMs,
            runs.back().routeShownMs);
    }
    auto* detail = qobject_cast<ActivityDetailView*>(window.currentDetail());
    QTest::qWait(500);
    dragFigures(*detail);
    if (qEnvironmentVariableIsSet("VANTREL_TIMING_CHART_ONLY")) {
        // A window that holds a web view is composed with OpenGL on every flush, which on a
        // virtual display without a GPU is slow software rendering. The same view in a window of
        // its own, without a map, separates that cost from the view's own.
        ActivityDetailView alone(app.store(), app.context(), ten, UnitSystem::metric, nullptr);
        alone.resize(700, 900);
        alone.show();
        QTest::qWait(500);
        std::printf("the same view without a web view in its window:\n");
        dragFigures(alone);
    }
    return 0;
}
