// The heatmap of a large history in the real web engine, on an X display (Xvfb will do):
//   DISPLAY=:91 build/bench/heatmap_timing [ACTIVITIES]
// uses a store of ACTIVITIES (default 5,000; made on first use and kept) one-hour activities
// recorded every 4 s on the streets of one town, then prints the rate at which the first build
// fills the heatmap cache (and, for scale, the time to merely decode the same routes), the time of
// a query once cached, and the time from asking for the heatmap to the page's "painted" callback,
// engine already started.
//   DISPLAY=:91 build/bench/heatmap_timing --screenshot FILE [ACTIVITY_FOLDER]
// imports the activity files of ACTIVITY_FOLDER (the test corpus when left out) into a store of
// its own and saves the heatmap panel showing them as FILE.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "HistoryStoreGenerator.h"
#include "analysis/HeatmapCache.h"
#include "app/map/webmap/LeafletMapView.h"
#include "app/statistics/HeatmapPanel.h"
#include "import/ActivityImporter.h"
#include "model/Preferences.h"
#include "model/RideStore.h"
#include "model/SeriesCodec.h"

using namespace vantrel;

namespace {

constexpr double kBlock = 0.0012;  // about 130 m between streets of the town's grid

/// An hour along the town's street grid, a point every 4 s at about 3 m/s, from one of a few
/// homes: the same streets come up again and again, as in a real history.
std::vector<RoutePoint> streetRoute(std::mt19937& random, Date start) {
    std::uniform_int_distribution<int> home(0, 7), direction(0, 3);
    CodableCoordinate at{47.37 + home(random) * kBlock, 8.54 + home(random) * kBlock};
    std::vector<RoutePoint> route;
    int heading = direction(random);
    const double step = kBlock / 10;
    for (int i = 0; i < 900; ++i) {
        if (i % 10 == 0 && direction(random) < 2) heading = direction(random);
        at.latitude += heading == 0 ? step : heading == 2 ? -step : 0;
        at.longitude += heading == 1 ? step * 1.5 : heading == 3 ? -step * 1.5 : 0;
        route.push_back({Uuid::random(), at, 400, start + i * 4.0});
    }
    return route;
}

void makeHistory(const std::filesystem::path& storePath, int count) {
    auto store = RideStore::open(storePath);
    std::mt19937 random(11);
    for (int i = 0; i < count; ++i) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = 600'000'000 + i * 86400.0;
        ride->activityType = i % 3 ? "running" : "cycling";
        ride->setRoutePoints(streetRoute(random, ride->date));
        store->insert(ride);
        if (i % 500 == 499) store->save();
    }
    store->save();
}

double seconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

HeatmapLines packed(const std::vector<HeatmapRoute>& routes) {
    HeatmapLines lines;
    for (const auto& route : routes) lines.add(route.points);
    return lines;
}

/// The town's history of `count` activities, kept between runs beside the other generated
/// histories (see HistoryStoreGenerator.h); made under a temporary name and renamed once whole.
std::filesystem::path townHistory(int count) {
    auto folder = bench::benchStoreFolder();
    std::filesystem::create_directories(folder);
    auto file = folder / ("town-" + std::to_string(count) + ".sqlite");
    if (std::filesystem::exists(file)) return file;
    std::printf("making %d activities…\n", count);
    auto partial = folder / (file.filename().string() + ".partial-" + std::to_string(getpid()));
    makeHistory(partial, count);
    std::filesystem::rename(partial, file);
    return file;
}

int timeHistory(int count) {
    std::filesystem::path storePath = townHistory(count);
    auto store = RideStore::open(storePath);

    QElapsedTimer timer;
    timer.start();
    std::size_t points = 0;
    for (const auto& ride : store->allLiveActivities(false))
        points += decodeRoutePoints(store->storedRouteData(ride->objectID))
                      .value_or(std::vector<RoutePoint>{})
                      .size();
    double decode = seconds(timer);

    std::filesystem::path cacheFile = heatmapCachePath(storePath);
    timer.restart();
    auto first = HeatmapCache(cacheFile).routes(*store, {});
    double fill = seconds(timer);
    timer.restart();
    auto cached = HeatmapCache(cacheFile).routes(*store, {});
    double query = seconds(timer);
    std::size_t kept = 0;
    for (const auto& route : *cached) kept += route.points.size();
    std::printf(
        "cache fill: %.2f s for %d activities (%.0f activities/s), %.2f× the decode "
        "alone (%.2f s); %zu points kept of %zu\n",
        fill, count, count / fill, fill / decode, decode, kept, points);
    std::printf("cached query: %.3f s\n", query);

    LeafletMapView map(MapView::webMapSettings(Preferences::shared()));
    bool painted = false;
    map.setHeatmapPaintedListener([&](int) { painted = true; });
    map.widget()->resize(1200, 800);
    map.widget()->show();
    if (!QTest::qWaitFor([&] { return map.isReady(); }, 60000)) {
        std::fprintf(stderr, "the map page did not start\n");
        return 1;
    }
    for (int run = 0; run < 3; ++run) {
        painted = false;
        map.showHeatmap({});
        (void)QTest::qWaitFor([&] { return painted; }, 10000);
        painted = false;
        timer.restart();
        auto routes = HeatmapCache(cacheFile).routes(*store, {});
        HeatmapLines lines = packed(*routes);
        double read = seconds(timer);
        map.showHeatmap(lines);
        double sent = seconds(timer);
        if (!QTest::qWaitFor([&] { return painted; }, 60000)) {
            std::fprintf(stderr, "the heatmap was not painted\n");
            return 1;
        }
        double total = seconds(timer);
        QVariant inPage;
        bool answered = false;
        map.webView()->page()->runJavaScript(
            QStringLiteral("[vantrelState.heatmapPrepareMs, vantrelState.heatmapPaintMs, "
                           "vantrelState.heatmapDrawMs]"),
            [&](const QVariant& value) {
                inPage = value;
                answered = true;
            });
        (void)QTest::qWaitFor([&] { return answered; }, 10000);
        QVariantList ms = inPage.toList();
        std::printf(
            "heatmap of %zu cached activities, request to painted: %.3f s (%.0f ms reading, "
            "%.0f ms sending; in the page: "
            "%.0f ms preparing, %.0f ms drawing, %.0f ms to painted)\n",
            routes->size(), total, read * 1000, (sent - read) * 1000, ms.value(0).toDouble(),
            ms.value(2).toDouble(), ms.value(1).toDouble());
    }
    return 0;
}

int screenshot(const QString& file, const std::filesystem::path& activities,
               const QString& folder) {
    std::filesystem::path storePath = folder.toStdString() + "/store.sqlite";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(activities)) {
        std::string name = entry.path().filename().string();
        for (const char* ext : {".gpx", ".fit", ".tcx", ".gpx.gz", ".fit.gz", ".tcx.gz"}) {
            std::string e(ext);
            if (name.size() > e.size() && name.ends_with(e)) {
                files.push_back(entry.path());
                break;
            }
        }
    }
    {
        auto store = RideStore::open(storePath);
        importFileList(*store, files, std::string("Strava"), PersistentLogger::shared());
    }
    HeatmapPanel panel(storePath, Preferences::shared());
    bool shown = false;
    QObject::connect(&panel, &HeatmapPanel::linesShown, [&] { shown = true; });
    panel.resize(1200, 800);
    panel.show();
    if (!QTest::qWaitFor([&] { return shown; }, 120000)) {
        std::fprintf(stderr, "no heatmap\n");
        return 1;
    }
    QTest::qWait(4000);  // the page paints after the lines arrive
    if (!panel.grab().save(file)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("saved %s (%s)\n", qPrintable(file), qPrintable(panel.statusText()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir folder;
    qputenv("XDG_DATA_HOME", (folder.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (folder.path() + "/config").toUtf8());
    qputenv("XDG_CACHE_HOME", (folder.path() + "/cache").toUtf8());
    Preferences::setSharedPath((folder.path() + "/config/preferences.json").toStdString());
    // No tile server: the timing is the heatmap's, and the screenshot needs no network.
    Preferences::shared().setString("tileURL", "http://127.0.0.1:1/{z}/{x}/{y}.png");
    MapView::prepareProcess();
    QApplication application(argc, argv);
    if (argc >= 3 && QString::fromLocal8Bit(argv[1]) == "--screenshot") {
        return screenshot(QString::fromLocal8Bit(argv[2]), argc > 3 ? argv[3] : VANTREL_CORPUS_DIR,
                          folder.path());
    }
    return timeHistory(argc > 1 ? std::atoi(argv[1]) : 5000);
}
