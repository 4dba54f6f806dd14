#include <QAbstractItemView>
#include <QCategoryAxis>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QToolButton>
#include <QValueAxis>
#include <cmath>
#include <ctime>

#include "app/AppFixture.h"
#include "app/FakeMapView.h"
#include "app/detail/ActivityDetailView.h"
#include "app/detail/LocationPickerSheet.h"
#include "app/detail/RideChartView.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/DisplayFormat.h"
#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"
#include "model/Preferences.h"
#include "services/PlaceTable.h"
#include "services/RideTrimService.h"

namespace vantrel::test {
namespace {

constexpr Date kStart = 800'000'000;

/// Answers every forward look-up with a fixed result; everything else is empty.
class ScriptedGeocoder : public Geocoder {
  public:
    explicit ScriptedGeocoder(std::optional<std::vector<Placemark>> answer)
        : m_answer(std::move(answer)) {}
    std::optional<std::vector<Placemark>> reverseGeocode(CodableCoordinate) override {
        Placemark town;
        town.locality = "Pinetown";
        return std::vector<Placemark>{town};
    }
    std::optional<std::vector<std::string>> areasOfInterest(CodableCoordinate) override {
        return std::vector<std::string>{};
    }
    std::optional<std::vector<Placemark>> geocodeAddress(std::string_view) override {
        return m_answer;
    }
    std::optional<std::vector<MapItem>> searchPlaces(std::string_view,
                                                     const SearchRegion&) override {
        return std::vector<MapItem>{};
    }

  private:
    std::optional<std::vector<Placemark>> m_answer;
};

class ActivityDetailViewTest : public AppFixture {
  protected:
    void TearDown() override {
        m_view.reset();
        LocationPickerSheet::setGeocoderFactory({});
    }

    /// A ride at kStart: `minutes` route points one minute apart going north from
    /// (46.9, 7.4) over `latitudeSpan` degrees, at 100 m, with heart rate 150 at each point.
    RideRef rideWithRoute(int minutes, double latitudeSpan = 0.01, const char* type = "cycling") {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = kStart;
        ride->duration = minutes * 60.0;
        ride->activityType = type;
        ride->averageHeartRate = 150;
        ride->maxHeartRate = 150;
        std::vector<RoutePoint> route;
        std::vector<HeartRateSample> heartRate;
        for (int i = 0; i <= minutes; ++i) {
            double t = kStart + i * 60.0;
            double latitude = 46.9 + latitudeSpan * i / std::max(minutes, 1);
            route.push_back({Uuid::random(), {latitude, 7.4}, 100, t});
            heartRate.push_back({Uuid::random(), t, 150});
        }
        ride->setRoutePoints(route);
        ride->setHeartRateSamples(heartRate);
        ride->distance = 1000;
        return ride;
    }

    /// An indoor ride without a route: heart rate every minute from `firstSample` seconds
    /// after the start for an hour.
    RideRef indoorRide(double firstSample = 0, const char* type = "indoorCycling") {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = kStart;
        ride->duration = 3600;
        ride->activityType = type;
        std::vector<HeartRateSample> heartRate;
        for (int i = 0; i <= 60; ++i) heartRate.push_back({Uuid::random(), kStart + i * 60.0, 140});
        heartRate.front().timestamp = kStart + firstSample;
        ride->setHeartRateSamples(heartRate);
        return ride;
    }

    void show(const RideRef& ride, UnitSystem system = UnitSystem::metric) {
        store->insert(ride);
        store->save();
        m_view = std::make_unique<ActivityDetailView>(
            *store, AppContext{Preferences::shared(), PersistentLogger::shared()}, ride, system,
            &m_map);
        m_view->resize(1100, 800);
        m_view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_view.get()));
    }

    /// The record as another connection reads it from the file.
    RideRef reread(const RideRef& ride) {
        m_readers.push_back(RideStore::open(storePath));
        RideRef copy = m_readers.back()->fetchByRideID(ride->rideID);
        m_readers.back()->loadDetails(copy);
        return copy;
    }

    FakeMapView m_map;
    std::unique_ptr<ActivityDetailView> m_view;
    std::vector<std::unique_ptr<RideStore>> m_readers;
};

TEST_F(ActivityDetailViewTest, ChartTitleFollowsTheSeriesAndNamesTheChart) {
    RideRef ride = rideWithRoute(30);
    ride->setPowerSamples({{Uuid::random(), kStart, 200}, {Uuid::random(), kStart + 600, 210}});
    show(ride);
    EXPECT_EQ(m_view->chart()->title(), "Power & Heart Rate");
    EXPECT_EQ(m_view->chart()->accessibleName(), "Power & Heart Rate");

    m_view.reset();
    show(rideWithRoute(30));
    EXPECT_EQ(m_view->chart()->title(), "Heart Rate & Elevation");
    EXPECT_EQ(m_view->chart()->accessibleName(), "Heart Rate & Elevation");
    EXPECT_EQ(m_map.widget()->accessibleName(), "Map");
}

TEST_F(ActivityDetailViewTest, DraggingTheScrubberMovesTheMarkerWithItsLabel) {
    show(rideWithRoute(60));
    RideChartView* chart = m_view->chart();
    QRectF frame = chart->plotFrame();
    ASSERT_GT(frame.width(), 100);
    int y = static_cast<int>(frame.center().y());
    QTest::mousePress(chart->viewport(), Qt::LeftButton, {},
                      QPoint(static_cast<int>(frame.left()) - 40, y));
    EXPECT_EQ(m_view->scrubberProgress(), 0.0);  // left of the plot clamps to the start
    QTest::mouseMove(chart->viewport(), QPoint(static_cast<int>(frame.center().x()), y));
    ASSERT_TRUE(m_view->scrubberProgress());
    EXPECT_NEAR(*m_view->scrubberProgress(), 0.5, 0.01);
    EXPECT_FALSE(chart->scrubber().settled);
    ASSERT_TRUE(m_map.marker);
    EXPECT_NEAR(m_map.marker->latitude, 46.905, 0.0002);
    EXPECT_EQ(m_map.markerLabel, "150 bpm · 100 m");
    QTest::mouseRelease(chart->viewport(), Qt::LeftButton, {},
                        QPoint(static_cast<int>(frame.right()) + 40, y));
    EXPECT_TRUE(chart->scrubber().settled);

    // The keys move the same scrubber once the chart has focus.
    chart->setFocus();
    QTest::keyClick(chart, Qt::Key_Home);
    EXPECT_EQ(m_view->scrubberProgress(), 0.0);
    QTest::keyClick(chart, Qt::Key_Right);
    EXPECT_NEAR(*m_view->scrubberProgress(), 0.01, 1e-9);
    EXPECT_TRUE(chart->scrubber().settled);
    EXPECT_FALSE(chart->scrubberLabel().isEmpty());

    m_view->setUnitSystem(UnitSystem::imperial);
    chart->setProgress(0.5);
    EXPECT_EQ(m_map.markerLabel, "150 bpm · 328 ft");
}

TEST_F(ActivityDetailViewTest, MarkerShowsPowerWhenTheActivityHasPower) {
    RideRef ride = rideWithRoute(10);
    std::vector<PowerSample> power;
    for (int i = 0; i <= 10; ++i) power.push_back({Uuid::random(), kStart + i * 60.0, 200.0 + i});
    ride->setPowerSamples(power);
    show(ride);
    m_view->chart()->setProgress(0.5);
    EXPECT_EQ(m_map.markerLabel, "150 bpm · 205 W");
    m_view->chart()->clearScrubber();
    EXPECT_FALSE(m_map.marker);
}

TEST_F(ActivityDetailViewTest, TrimAlertsSayWhatIsKept) {
    show(indoorRide());
    EXPECT_EQ(m_view->moreActionsButton()->accessibleName(), "More Actions");
    EXPECT_EQ(m_view->moreActionTitles(), (QStringList{"Trim Activity", "Hint"}));

    m_view->trimActivity();
    auto alert = Dialogs::lastOf(DialogRecord::Kind::alert);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, "Drag the Scrubber First");
    EXPECT_EQ(alert->text,
              "Drag across the chart to choose the point where you want the "
              "activity to end, then try again.");

    m_view->chart()->setProgress(0.5);  // halfway through the hour of samples
    m_view->trimActivity();             // the queue is empty: the user cancels
    auto confirm = Dialogs::lastOf(DialogRecord::Kind::confirm);
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->title, "Trim This Activity?");
    EXPECT_EQ(confirm->text,
              "Keep only the first 30:00 of this activity. Route, heart rate, and "
              "power data after that point will be removed.\n\nYou can Undo Trim "
              "for 30 days.");
    EXPECT_EQ(confirm->detail, "Trim");
    EXPECT_FALSE(m_view->ride()->trimmedAt);

    m_view->showTrimHint();
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::alert)->text,
              "Use the heart rate / elevation scrubber to set the point where the activity will "
              "be trimmed. Everything after that point is removed; you can undo for 30 days.");
}

TEST_F(ActivityDetailViewTest, ACutBeforeTheStartKeepsNothing) {
    show(indoorRide(-600));
    m_view->chart()->setProgress(0);
    m_view->trimActivity();
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->text,
              "Keep only the first 00:00 of this activity. Route, heart rate, and power data "
              "after that point will be removed.\n\nYou can Undo Trim for 30 days.");
}

TEST_F(ActivityDetailViewTest, TrimAndUndoGoThroughTheStore) {
    RideRef ride = rideWithRoute(60);
    show(ride);
    m_view->chart()->setProgress(0.5);
    Dialogs::pushAnswer(true);
    m_view->trimActivity();

    EXPECT_FALSE(m_view->scrubberProgress());
    RideRef trimmed = reread(ride);
    ASSERT_TRUE(trimmed);
    EXPECT_TRUE(trimmed->trimmedAt);
    EXPECT_EQ(trimmed->routePoints().size(), 31u);
    EXPECT_NEAR(trimmed->duration, 1800, 1);
    EXPECT_EQ(m_view->detail().coordinates.size(), 31u);
    EXPECT_TRUE(m_view->moreActionTitles().contains("Undo Trim"));

    Dialogs::pushAnswer(false);
    m_view->undoTrim();  // cancelled: nothing changes
    EXPECT_EQ(m_view->detail().coordinates.size(), 31u);
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->title, "Undo Trim?");
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->text,
              "Restore the full activity as it was before the last trim.");

    Dialogs::pushAnswer(true);
    m_view->undoTrim();
    RideRef restored = reread(ride);
    EXPECT_EQ(restored->routePoints().size(), 61u);
    EXPECT_FALSE(restored->trimmedAt);
    EXPECT_EQ(m_view->detail().coordinates.size(), 61u);
    EXPECT_FALSE(m_view->moreActionTitles().contains("Undo Trim"));
}

TEST_F(ActivityDetailViewTest, AnExpiredBackupIsPurgedBeforeShowing) {
    RideRef ride = rideWithRoute(10);
    RideTrimService::trim(*ride, kStart + 300, now() - RideTrimService::kUndoWindow - 1);
    ASSERT_TRUE(ride->preTrimBackup);
    show(ride);
    EXPECT_FALSE(ride->preTrimBackup);
    EXPECT_TRUE(ride->trimmedAt);
    EXPECT_FALSE(m_view->moreActionTitles().contains("Undo Trim"));
}

TEST_F(ActivityDetailViewTest, RoutesOpenOnTheirPaddedBoundingBox) {
    show(rideWithRoute(10, 0.01));
    ASSERT_TRUE(m_map.requested);
    EXPECT_NEAR(m_map.requested->spanLat, 0.015, 1e-9);
    EXPECT_NEAR(m_map.requested->spanLon, 0.002, 1e-9);
    EXPECT_NEAR(m_map.requested->center.latitude, 46.905, 1e-9);
    EXPECT_EQ(m_map.route.size(), 11u);
    EXPECT_FALSE(m_map.pin);
    EXPECT_FALSE(m_view->locationButton()->isVisibleTo(m_view.get()));

    // A cycling activity never stores its camera, however the user moves it.
    m_map.userMovesTo({{47, 8}, 0.1, 0.1});
    EXPECT_FALSE(m_view->ride()->mapCenterLat);
    EXPECT_FALSE(reread(m_view->ride())->mapSpanLat);
}

TEST_F(ActivityDetailViewTest, OnePointShowsAPinWithTheSmallestSpan) {
    RideRef ride = indoorRide(0, "treadmill");
    ride->setRoutePoints({{Uuid::random(), {46.95, 7.45}, 0, kStart}});
    show(ride);
    ASSERT_TRUE(m_map.requested);
    EXPECT_NEAR(m_map.requested->spanLat, 0.002, 1e-12);
    EXPECT_NEAR(m_map.requested->spanLon, 0.002, 1e-12);
    ASSERT_TRUE(m_map.pin);
    EXPECT_EQ(m_map.pin->latitude, 46.95);
    EXPECT_EQ(m_view->locationButton()->text(), "Move Pin");
}

TEST_F(ActivityDetailViewTest, ALocationOnlyActivityOpensOnItsRegionAndStoresPanning) {
    RideRef ride = indoorRide(0, "treadmill");
    ride->mapCenterLat = 40.5;
    ride->mapCenterLon = -3.7;
    ride->mapSpanLat = 0.2;
    ride->mapSpanLon = 0.3;
    show(ride);
    EXPECT_EQ(m_map.requested, (MapCamera{{40.5, -3.7}, 0.2, 0.3}));
    EXPECT_EQ(m_view->ride()->mapSpanLat, 0.2);  // the initial fit stored nothing
    EXPECT_EQ(m_view->locationButton()->text(), "Set Location");

    m_map.userMovesTo({{41.0, -3.5}, 0.05, 0.06});
    RideRef stored = reread(ride);
    EXPECT_EQ(stored->mapCenterLat, 41.0);
    EXPECT_EQ(stored->mapCenterLon, -3.5);
    EXPECT_EQ(stored->mapSpanLat, 0.05);
    EXPECT_EQ(stored->mapSpanLon, 0.06);
}

TEST_F(ActivityDetailViewTest, AnImportedPoolSwimIsPlacedByAPinAndReadsItsPace) {
    const std::string name = "fitparse__fr735xt-pool-swim-chained.fit";
    auto ride = std::make_shared<PersistedRide>(
        importActivityFile(test::readFileBytes(test::corpusFile(name)), name, std::nullopt));
    show(ride);
    // Swimming is no location-only kind, but a swim without a route is placed like one.
    EXPECT_TRUE(m_view->locationButton()->isVisibleTo(m_view.get()));
    EXPECT_EQ(m_view->locationButton()->text(), "Set Location");
    QString pace = m_view->valueOf(QStringLiteral("Avg Pace"));
    EXPECT_TRUE(pace.endsWith(" /100 m")) << pace.toStdString();
    m_map.userMovesTo({{46.0, 7.0}, 0.01, 0.01});
    EXPECT_EQ(reread(ride)->mapCenterLat, 46.0);

    show(rideWithRoute(10, 0.01, "running"), UnitSystem::imperial);
    // 1000 m in 10 minutes: 16:05 per mile.
    EXPECT_EQ(m_view->valueOf(QStringLiteral("Avg Pace")), "16:05 /mi");
    show(rideWithRoute(10), UnitSystem::imperial);
    EXPECT_EQ(m_view->valueOf(QStringLiteral("Avg Pace")), "");
}

TEST_F(ActivityDetailViewTest, NothingToShowLeavesTheCameraToTheMap) {
    show(indoorRide(0, "treadmill"));
    EXPECT_TRUE(m_map.automatic);
    EXPECT_FALSE(m_map.requested);
}

TEST_F(ActivityDetailViewTest, TheDividerIsRememberedForTheNextActivity) {
    Preferences::shared().setString("detailColumnWidth", "500");
    show(rideWithRoute(10));
    ASSERT_EQ(m_view->splitter()->count(), 2);
    EXPECT_EQ(m_view->splitter()->sizes()[1], 500);

    m_view->splitter()->setSizes({500, 600});
    emit m_view->splitter()->splitterMoved(500, 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return Preferences::shared().string("detailColumnWidth") == "600"; }, 3000));
    m_view.reset();
    show(rideWithRoute(5));
    EXPECT_EQ(m_view->splitter()->sizes()[1], 600);
}

/// `seconds` + 1 route points a second apart heading north, climbing a metre each, with heart
/// rate that changes every second and, when asked, power too: far more points than the chart
/// plots, so a reading from the plot and one from the series tell apart.
RideRef busyRide(int seconds, bool withPower) {
    auto ride = std::make_shared<PersistedRide>();
    ride->date = kStart;
    ride->duration = seconds;
    ride->activityType = "cycling";
    std::vector<RoutePoint> route;
    std::vector<HeartRateSample> heartRate;
    std::vector<PowerSample> power;
    for (int i = 0; i <= seconds; ++i) {
        double t = kStart + i;
        route.push_back({Uuid::random(), {46.9 + i * 1e-5, 7.4}, 100.0 + i, t});
        heartRate.push_back({Uuid::random(), t, 100.0 + i % 50});
        power.push_back({Uuid::random(), t, 150.0 + (i * 7) % 100});
    }
    ride->setRoutePoints(route);
    ride->setHeartRateSamples(heartRate);
    if (withPower) ride->setPowerSamples(power);
    ride->distance = seconds * 1.1;
    return ride;
}

TEST_F(ActivityDetailViewTest, ChartLabelAndMapMarkerShowTheSameFiguresEverywhere) {
    for (bool withPower : {false, true}) {
        show(busyRide(700, withPower));
        for (double progress : {0.0, 0.37, 0.5, 0.999, 1.0}) {
            m_view->chart()->setProgress(progress);
            ASSERT_FALSE(m_map.markerLabel.isEmpty());
            EXPECT_TRUE(m_view->chart()->scrubberLabel().startsWith(m_map.markerLabel + " · "))
                << "at " << progress << ": chart " << m_view->chart()->scrubberLabel().toStdString()
                << ", map " << m_map.markerLabel.toStdString();
        }
        // At the end both read the last route point, not the last of the 150 points plotted.
        if (!withPower) {
            EXPECT_EQ(m_map.markerLabel, "100 bpm · 800 m");
        }
        m_view.reset();
    }
}

TEST_F(ActivityDetailViewTest, ChartTicksFallOnRoundValues) {
    show(busyRide(2820, false));  // 47 minutes, 100 m to 2920 m
    int checked = 0;
    for (QAbstractAxis* axis : m_view->chart()->chart()->axes()) {
        auto* values = qobject_cast<QValueAxis*>(axis);
        // The heart-rate axis (a category axis, itself a value axis) has labelled steps.
        if (!values || qobject_cast<QCategoryAxis*>(axis)) continue;
        EXPECT_EQ(values->tickType(), QValueAxis::TicksDynamic);
        EXPECT_EQ(values->tickAnchor(), 0.0);
        double step = values->tickInterval();
        double multiple = step / std::pow(10.0, std::floor(std::log10(step)));
        EXPECT_TRUE(std::abs(multiple - 1) < 1e-9 || std::abs(multiple - 2) < 1e-9 ||
                    std::abs(multiple - 5) < 1e-9)
            << values->titleText().toStdString() << " ticks every " << step;
        ++checked;
    }
    EXPECT_EQ(checked, 2);  // time and elevation; heart rate keeps its steps of ten
}

TEST_F(ActivityDetailViewTest, AnEndAfterMidnightSaysItIsTheNextDay) {
    RideRef ride = rideWithRoute(10);
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 6;
    local.tm_mday = 4;
    local.tm_hour = 23;
    local.tm_isdst = -1;
    ride->date = dateFromUnix(static_cast<double>(std::mktime(&local)));
    ride->duration = 4 * 3600 - 60;  // until 02:59
    show(ride);
    EXPECT_EQ(m_view->valueOf("End Time"),
              DisplayFormat::shortTime(ride->date + ride->duration) + " +1");
    EXPECT_FALSE(m_view->valueOf("Start Time").contains("+"));
}

TEST_F(ActivityDetailViewTest, TheArchiveExportSaysWhenNothingCouldBeWritten) {
    RideRef ride = rideWithRoute(10);
    show(ride);
    auto exportTo = [&](const std::filesystem::path& file) {
        Dialogs::clearRecords();
        Dialogs::pushAnswer(QString::fromStdString(file.string()));
        m_view->exportArchive();
        return Dialogs::lastOf(DialogRecord::Kind::alert);
    };

    std::filesystem::path written = env.root() / "Vantrel_one.json";
    EXPECT_EQ(exportTo(written), std::nullopt);
    Bytes bytes = readFileBytes(written);
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()),
                                     static_cast<qsizetype>(bytes.size()));
    EXPECT_TRUE(
        text.contains(QString::fromStdString(ride->rideID.toString()), Qt::CaseInsensitive));

    // A folder that is gone by the time of writing, and a name taken by a folder: both fail for
    // any user, root included, and neither may pass for a saved export.
    std::optional<DialogRecord> gone = exportTo(env.root() / "removed" / "Vantrel_one.json");
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->title, "Export Failed");
    EXPECT_TRUE(gone->text.startsWith("The activity could not be saved in Vantrel Format: "))
        << gone->text.toStdString();

    std::filesystem::path folder = env.root() / "taken";
    std::filesystem::create_directories(folder / "Vantrel_one.json");
    std::optional<DialogRecord> taken = exportTo(folder / "Vantrel_one.json");
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->title, "Export Failed");
    // No half-written or temporary file stays behind.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"Vantrel_one.json"});
    EXPECT_TRUE(std::filesystem::is_directory(folder / "Vantrel_one.json"));
}

class LocationPickerTest : public ActivityDetailViewTest {
  protected:
    LocationPickerSheet* openPicker(const std::optional<std::vector<Placemark>>& answer) {
        LocationPickerSheet::setGeocoderFactory(
            [answer] { return std::make_unique<ScriptedGeocoder>(answer); });
        m_view->openLocationPicker();
        auto* sheet = m_view->findChild<LocationPickerSheet*>();
        EXPECT_TRUE(sheet);
        return sheet;
    }
    QString search(LocationPickerSheet* sheet, const QString& text) {
        sheet->searchField()->setText(text);
        QSignalSpy finished(sheet, &LocationPickerSheet::searchFinished);
        sheet->submitSearch();
        if (!sheet->isSearching()) return sheet->searchError().value_or(QString());
        EXPECT_TRUE(finished.wait(5000));
        return sheet->searchError().value_or(QString());
    }
};

TEST_F(LocationPickerTest, AFailedSearchIsNotReportedAsNoMatches) {
    show(indoorRide(0, "treadmill"));
    LocationPickerSheet* sheet = openPicker(std::nullopt);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowTitle(), "Pick Location");
    EXPECT_EQ(sheet->searchField()->placeholderText(), "Search city or place");
    QString error = search(sheet, "Atlantis");
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.startsWith("No matches"));

    // A sheet keeps its geocoder; the next one asks the new.
    delete sheet;
    sheet = openPicker(std::vector<Placemark>{});
    ASSERT_TRUE(sheet);
    EXPECT_EQ(search(sheet, "  Atlantis \n"), "No matches for \"Atlantis\".");
    EXPECT_EQ(search(sheet, "   "), "No matches for \"Atlantis\".");  // blank text does nothing
}

TEST_F(LocationPickerTest, WithoutNetworkTheSearchReportsTheFailure) {
    Preferences::shared().setString("nominatimURL", "http://127.0.0.1:1");
    show(indoorRide(0, "treadmill"));
    m_view->openLocationPicker();
    auto* sheet = m_view->findChild<LocationPickerSheet*>();
    ASSERT_TRUE(sheet);
    // A name no town of the offline table bears either.
    QString error = search(sheet, "Qxzyw Vale");
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.startsWith("No matches"));
}

TEST_F(LocationPickerTest, AFoundPlaceMovesTheMapAndCommittingSetsThePin) {
    show(indoorRide(0, "treadmill"));
    Placemark place;
    place.location = CodableCoordinate{47.0, 8.0};
    LocationPickerSheet* sheet = openPicker(std::vector<Placemark>{place});
    ASSERT_TRUE(sheet);
    auto* pickerMap = static_cast<FakeMapView*>(sheet->map());
    EXPECT_TRUE(pickerMap->centerPin);
    // Return in the field searches; it does not take the location yet.
    sheet->searchField()->setFocus();
    QTest::keyClicks(sheet->searchField(), "Lucerne");
    QSignalSpy finished(sheet, &LocationPickerSheet::searchFinished);
    QTest::keyClick(sheet->searchField(), Qt::Key_Return);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(sheet->searchError());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(m_view->detail().coordinates.empty());
    EXPECT_EQ(pickerMap->requested, (MapCamera{{47.0, 8.0}, 0.05, 0.05}));
    pickerMap->userMovesTo({{47.01, 8.02}, 0.05, 0.05});
    sheet->commit();

    ASSERT_EQ(m_view->detail().coordinates.size(), 1u);
    EXPECT_EQ(m_view->detail().coordinates.front(), (CodableCoordinate{47.01, 8.02}));
    EXPECT_EQ(m_map.pin, (CodableCoordinate{47.01, 8.02}));
    EXPECT_EQ(m_view->locationButton()->text(), "Move Pin");
    // The town is looked up in the background and then shown and stored.
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_view->valueOf("Location") == "Pinetown"; }, 5000));
    EXPECT_EQ(reread(m_view->ride())->city, "Pinetown");
}

TEST_F(LocationPickerTest, OpensNearTheActivityNeverOnAnEmptyWorld) {
    // Nothing known: the whole world, and taking its middle asks first.
    show(indoorRide(0, "treadmill"));
    LocationPickerSheet* sheet = openPicker(std::nullopt);
    ASSERT_TRUE(sheet);
    auto* pickerMap = static_cast<FakeMapView*>(sheet->map());
    EXPECT_TRUE(pickerMap->automatic);
    EXPECT_FALSE(pickerMap->requested);
    EXPECT_TRUE(sheet->isBlank());
    sheet->commit();  // the question is answered "Cancel"
    ASSERT_TRUE(Dialogs::lastOf(DialogRecord::Kind::confirm));
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->title, "Use This Location?");
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(m_view->detail().coordinates.empty());
    // Once the user moved the map there is a place, and no question.
    Dialogs::clearRecords();
    pickerMap->userMovesTo({{46.95, 7.45}, 0.05, 0.05});
    EXPECT_FALSE(sheet->isBlank());
    sheet->commit();
    EXPECT_FALSE(Dialogs::lastOf(DialogRecord::Kind::confirm));
    ASSERT_EQ(m_view->detail().coordinates.size(), 1u);

    // The next activity without a place opens where the user picked last...
    m_view.reset();
    auto second = indoorRide(0, "treadmill");
    second->date = kStart + 86400 * 30;
    show(second);
    sheet = openPicker(std::nullopt);
    pickerMap = static_cast<FakeMapView*>(sheet->map());
    EXPECT_EQ(pickerMap->requested, (MapCamera{{46.95, 7.45}, 0.05, 0.05}));
    EXPECT_FALSE(sheet->isBlank());

    // ...unless the user never picked one: then where the activity nearest in time starts.
    delete sheet;
    m_view.reset();
    Preferences::shared().remove("lastPickedLocation");
    auto outdoor = rideWithRoute(10);
    outdoor->date = kStart + 86400 * 29;
    store->insert(outdoor);
    auto third = indoorRide(0, "treadmill");
    third->date = kStart + 86400 * 31;
    show(third);
    sheet = openPicker(std::nullopt);
    pickerMap = static_cast<FakeMapView*>(sheet->map());
    ASSERT_TRUE(pickerMap->requested);
    EXPECT_EQ(pickerMap->requested->center, (CodableCoordinate{46.9, 7.4}));
}

TEST_F(LocationPickerTest, OfflineTheTableSuggestsAndFindsTowns) {
    if (PlaceTable::shared().size() == 0) GTEST_SKIP() << "no place table was built";
    Preferences::shared().setString("nominatimURL", "http://127.0.0.1:1");
    show(indoorRide(0, "treadmill"));
    m_view->openLocationPicker();
    auto* sheet = m_view->findChild<LocationPickerSheet*>();
    ASSERT_TRUE(sheet);
    auto* pickerMap = static_cast<FakeMapView*>(sheet->map());

    sheet->searchField()->setFocus();
    QTest::keyClicks(sheet->searchField(), "Luzer");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet->suggestedPlaces().isEmpty(); }, 10000));
    const QString luzern = "Luzern, Lucerne-Stadt District, Switzerland";
    ASSERT_TRUE(sheet->suggestedPlaces().contains(luzern))
        << sheet->suggestedPlaces().join("; ").toStdString();
    emit sheet->searchField()->completer()->activated(luzern);
    ASSERT_TRUE(pickerMap->requested);
    EXPECT_NEAR(pickerMap->requested->center.latitude, 47.05, 0.02);

    // Return right after typing searches the text, rather than taking whichever suggestion
    // happens to begin with the letters typed ("Zurita" for "Zuri").
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    sheet->searchField()->setFocus();
    sheet->searchField()->clear();
    QTest::keyClicks(sheet->searchField(), "Zuri");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return sheet->suggestedPlaces().contains("Zürich, Bezirk Zürich, Switzerland"); },
        10000));
    QAbstractItemView* popup = sheet->searchField()->completer()->popup();
    ASSERT_TRUE(popup->isVisible());
    // No suggestion is taken unless the user goes down the list.
    EXPECT_FALSE(popup->currentIndex().isValid());
    QSignalSpy finished(sheet, &LocationPickerSheet::searchFinished);
    QTest::keyClick(popup, Qt::Key_Return);  // the open list has the keyboard
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_NEAR(pickerMap->requested->center.latitude, 47.37, 0.05);
    EXPECT_NEAR(pickerMap->requested->center.longitude, 8.55, 0.05);

    // Without the network a town is still found by name, its country choosing among several.
    EXPECT_EQ(search(sheet, "Paris, United States"), QString());
    EXPECT_LT(pickerMap->requested->center.longitude, -60);
    EXPECT_EQ(search(sheet, "paris"), QString());
    EXPECT_NEAR(pickerMap->requested->center.longitude, 2.35, 0.1);
    EXPECT_FALSE(search(sheet, "Qxzyw Vale").startsWith("No matches"));
}

}  // namespace
}  // namespace vantrel::test
