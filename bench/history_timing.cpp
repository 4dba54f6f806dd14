// The app and the command-line tool over a long generated history, offscreen:
//   build/bench/history_timing [ACTIVITIES] [sqlite|postgresql]
// ACTIVITIES defaults to 20,000. The history has a route and heart rate on every activity and is
// made once into a folder under /tmp, kept between runs (see HistoryStoreGenerator.h; 100,000
// take a few minutes and 2 GB the first time). "postgresql" copies it once into a database of
// the server named by VANTREL_TEST_PG_URL (scripts/pg-test-cluster), also kept between runs.
// The records and heatmap caches live beside the stores and are filled by the first run.
// Prints, each against its target:
//   the window until its years are painted (1.5 s), a key press in the sidebar filter until the
//   updated list is painted (50 ms, the slowest key of a typed word), the records with a filled
//   cache (0.3 s), the heatmap with a filled cache to a GeoJSON file (1 s), and the peak memory
//   of the process (400 MB).
#include <libpq-fe.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "HistoryStoreGenerator.h"
#include "PaintProbe.h"
#include "app/FakeMapView.h"
#include "app/shell/MainWindow.h"
#include "app/shell/VantrelApp.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/widgets/Dialogs.h"
#include "cli/CliContext.h"
#include "model/Preferences.h"
#include "model/StoreCopy.h"

using namespace vantrel;

namespace {

using bench::PaintProbe;

/// The server URL with another database name.
std::string withDatabase(const std::string& url, const std::string& name) {
    auto authority = url.find("//") + 2;
    auto path = url.find('/', authority);
    auto query = url.find('?', authority);
    std::string rest = query == std::string::npos ? "" : url.substr(query);
    return url.substr(0, std::min(path, query)) + "/" + name + rest;
}

bool execute(PGconn* connection, const std::string& sql, bool* anyRow = nullptr) {
    PGresult* result = PQexec(connection, sql.c_str());
    auto status = PQresultStatus(result);
    if (anyRow) *anyRow = status == PGRES_TUPLES_OK && PQntuples(result) > 0;
    PQclear(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

/// The generated history copied into a database of its own on the test server, once: copied
/// under a temporary name and renamed when complete.
std::string serverHistory(const std::filesystem::path& file, std::int64_t count) {
    const char* server = std::getenv("VANTREL_TEST_PG_URL");
    if (!server || !*server) {
        std::fprintf(stderr, "VANTREL_TEST_PG_URL is not set (see scripts/pg-test-cluster)\n");
        std::exit(2);
    }
    std::string name = "vantrel_bench_history_" + std::to_string(count);
    PGconn* admin = PQconnectdb(server);
    if (PQstatus(admin) != CONNECTION_OK) {
        std::fprintf(stderr, "%s", PQerrorMessage(admin));
        std::exit(2);
    }
    bool exists = false;
    execute(admin, "SELECT 1 FROM pg_database WHERE datname = '" + name + "'", &exists);
    if (!exists) {
        std::string partial = name + "_partial";
        execute(admin, "DROP DATABASE IF EXISTS " + partial + " WITH (FORCE)");
        execute(admin, "CREATE DATABASE " + partial);
        {
            auto source = RideStore::open(file);
            auto target = RideStore::open(withDatabase(server, partial));
            std::fprintf(stderr, "copying the history to the server once…\n");
            copyStore(*source, *target, false);
        }
        execute(admin, "ALTER DATABASE " + partial + " RENAME TO " + name);
    }
    PQfinish(admin);
    return withDatabase(server, name);
}

double seconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

/// Runs the command-line tool in this process; its output is thrown away.
double timeCli(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    QElapsedTimer clock;
    clock.start();
    int status = cli::runCli(arguments, out, err, in);
    double elapsed = seconds(clock);
    if (status != 0) std::fprintf(stderr, "%s", err.str().c_str());
    return elapsed;
}

/// The window until the sidebar has painted its years.
double windowWithYears(std::unique_ptr<VantrelApp>& app, const std::string& location) {
    QElapsedTimer clock;
    clock.start();
    app = std::make_unique<VantrelApp>(RideStore::open(location));
    PaintProbe probe;
    app->mainWindow()->sidebar()->tree()->viewport()->installEventFilter(&probe);
    app->mainWindow()->show();
    (void)QTest::qWaitFor([&] { return app->mainWindow()->hasLoaded(); }, 60000);
    probe.painted = false;
    (void)QTest::qWaitFor([&] { return probe.painted; }, 10000);
    return seconds(clock);
}

/// The slowest key of typing "Jan Bern" into the filter (but the space, which changes no word),
/// from the key event to the updated list painted.
double slowestKey(VantrelApp& app) {
    HistorySidebar* sidebar = app.mainWindow()->sidebar();
    PaintProbe probe;
    sidebar->tree()->viewport()->installEventFilter(&probe);
    bool applied = false;
    QObject::connect(sidebar, &HistorySidebar::filterApplied, [&] { applied = true; });
    // The index the filter searches is built once per store change, off the main thread: its
    // cost is the filter benchmark's, not a key press's.
    QElapsedTimer indexClock;
    indexClock.start();
    sidebar->setFilterText(QStringLiteral("x"));
    (void)QTest::qWaitFor([&] { return applied; }, 120000);
    std::printf("  (filter index ready after  %8.3f s)\n", seconds(indexClock));
    applied = false;
    sidebar->setFilterText({});
    (void)QTest::qWaitFor([&] { return applied; }, 10000);
    sidebar->focusFilter();
    QTest::qWait(200);
    double slowest = 0;
    for (char key : std::string("Jan Bern")) {
        if (key == ' ') {
            // The same words: nothing to search again, nothing to time.
            QTest::keyClick(sidebar->filterField(), key);
            QTest::qWait(100);
            continue;
        }
        applied = false;
        probe.painted = false;
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(sidebar->filterField(), key);
        (void)QTest::qWaitFor([&] { return applied; }, 10000);
        probe.painted = false;
        sidebar->tree()->viewport()->update();
        (void)QTest::qWaitFor([&] { return probe.painted; }, 10000);
        slowest = std::max(slowest, seconds(clock));
        QTest::qWait(50);
    }
    return slowest;
}

}  // namespace

int main(int argc, char** argv) {
    std::int64_t count = argc > 1 ? std::atoll(argv[1]) : 20'000;
    bool onServer = argc > 2 && std::string(argv[2]) == "postgresql";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    auto folder = bench::benchStoreFolder();
    auto file = bench::cachedHistoryStore(count, true);
    std::string location = onServer ? serverHistory(file, count) : file.string();
    // The caches are kept with the stores, so that a run finds them filled by the one before.
    qputenv("XDG_CACHE_HOME", (folder / "cache").c_str());
    qputenv("XDG_DATA_HOME", (folder / "data").c_str());
    qputenv("XDG_CONFIG_HOME", (folder / "config").c_str());
    qunsetenv("VANTREL_STORE");
    qunsetenv("VANTREL_PREFERENCES");
    Preferences::setSharedPath(folder / "config" / "preferences.json");
    QApplication application(argc, argv);
    Dialogs::setTestMode(true);
    // The figures are about the history; the web engine's start would only blur them.
    MapView::setFactory([](Preferences&) { return std::make_unique<test::FakeMapView>(); });

    auto geojson = folder / "heatmap.geojson";
    std::vector<std::string> records{"vantrel-cli", "--store", location, "records"};
    std::vector<std::string> heatmap{"vantrel-cli", "--store",   location,
                                     "heatmap",     "--geojson", geojson.string()};
    // Fills the caches on the first run of a history; a no-op later.
    timeCli(records);
    timeCli(heatmap);

    std::unique_ptr<VantrelApp> app;
    double window = windowWithYears(app, location);
    double key = slowestKey(*app);
    app.reset();
    double recordsTime = timeCli(records);
    // A new file, as an export usually is: replacing one first makes sure the old is on disk.
    std::filesystem::remove(geojson);
    double heatmapTime = timeCli(heatmap);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double peak = static_cast<double>(usage.ru_maxrss) / 1024;

    std::printf("%lld activities, %s\n", static_cast<long long>(count),
                onServer ? "PostgreSQL" : "SQLite");
    std::printf("  window with years painted  %8.3f s   (target 1.5 s)\n", window);
    std::printf("  filter key to list painted %8.3f s   (target 0.05 s)\n", key);
    std::printf("  records, cache filled      %8.3f s   (target 0.3 s)\n", recordsTime);
    std::printf("  heatmap to GeoJSON, filled %8.3f s   (target 1 s)\n", heatmapTime);
    std::printf("  peak memory                %8.0f MB  (target 400 MB)\n", peak);
    return 0;
}
