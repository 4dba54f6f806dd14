#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <cmath>

#include "app/AppFixture.h"
#include "app/detail/ActivityDetailView.h"
#include "app/detail/NotesSection.h"
#include "app/detail/SplitsSection.h"
#include "logging/PersistentLogger.h"
#include "model/Preferences.h"
#include "model/WeatherSnapshot.h"

namespace vantrel::test {
namespace {

/// A straight route north from Zurich, one point every 10 s, `metres` long, climbing 1 m a point.
std::vector<RoutePoint> straightRoute(Date start, double metres) {
    std::vector<RoutePoint> points;
    const double stepMetres = 50;
    const double degreesPerMetre = 1.0 / 111195.0;
    for (int i = 0; i * stepMetres <= metres; ++i) {
        RoutePoint point;
        point.coordinate = {47.37 + i * stepMetres * degreesPerMetre, 8.54};
        point.altitude = 400 + i;
        point.timestamp = start + i * 10.0;
        points.push_back(point);
    }
    return points;
}

WeatherSnapshot snapshot(double celsius, int code, double windKmh, int humidity,
                         std::optional<int> aqi) {
    WeatherSnapshot weather;
    weather.temperatureCelsius = celsius;
    weather.weatherCode = code;
    weather.windSpeedKmh = windKmh;
    weather.humidity = humidity;
    weather.aqi = aqi;
    return weather;
}

/// The app opens on the newest activity of the current year.
int currentYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

class DetailSectionsTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        Preferences::shared().setString(kUnitSystemKey, "metric");
    }

    RideRef addRoutedRide(int day, double metres) {
        RideRef ride = addRide(2024, 5, day, metres);
        ride->setRoutePoints(straightRoute(ride->date, metres));
        return ride;
    }

    std::unique_ptr<ActivityDetailView> open(const RideRef& ride) {
        store->save();
        return std::make_unique<ActivityDetailView>(
            *store, AppContext{Preferences::shared(), PersistentLogger::shared()}, ride,
            UnitSystem::metric, nullptr);
    }

    /// The note as another connection to the store file reads it.
    std::optional<std::string> storedNote(const Uuid& rideID) {
        auto other = RideStore::open(storePath);
        RideRef stored = other->fetchByRideID(rideID);
        return stored ? stored->notes : std::optional<std::string>("<no record>");
    }
};

TEST_F(DetailSectionsTest, ConditionsRowsAppearExactlyAtTheirThresholds) {
    RideRef calm = addRide(2024, 5, 1);
    calm->startWeatherData = encodeWeather(snapshot(20, 3, 5.0, 0, std::nullopt));
    calm->endWeatherData = encodeWeather(snapshot(18.4, -1, 30, 80, 200));
    auto view = open(calm);
    EXPECT_EQ(view->valueOf("Start"), "20°C  Overcast");
    EXPECT_EQ(view->valueOf("End"), "18°C");  // no description: no trailing spaces
    EXPECT_EQ(view->valueOf("Wind"), "");
    EXPECT_EQ(view->valueOf("Humidity"), "");
    EXPECT_EQ(view->valueOf("Air Quality"), "");
    EXPECT_EQ(view->valueOf("Highest Elevation"), "");  // no route

    RideRef windy = addRide(2024, 5, 2);
    windy->startWeatherData = encodeWeather(snapshot(-3, 71, 5.1, 1, 151));
    windy->startElevation = 512.4;
    windy->setRoutePoints(straightRoute(windy->date, 200));
    view = open(windy);
    EXPECT_EQ(view->valueOf("Start"), "-3°C  Snow");
    EXPECT_EQ(view->valueOf("End"), "");
    EXPECT_EQ(view->valueOf("Wind"), "5 km/h");
    EXPECT_EQ(view->valueOf("Humidity"), "1%");
    EXPECT_EQ(view->valueOf("Air Quality"), "151 Unhealthy");
    EXPECT_EQ(view->valueOf("Start Elevation"), "512 m");
    EXPECT_EQ(view->valueOf("Highest Elevation"), "404 m");
    view->setUnitSystem(UnitSystem::imperial);
    EXPECT_EQ(view->valueOf("Start"), "27°F  Snow");
    EXPECT_EQ(view->valueOf("Wind"), "3 mph");
    EXPECT_EQ(view->valueOf("Highest Elevation"), "1325 ft");
}

TEST_F(DetailSectionsTest, ConditionsSectionIsLeftOutWhenItHasNothingToSay) {
    RideRef bare = addRide(2024, 5, 1);
    bare->startWeatherData = Bytes{'{', '}'};  // undecodable: treated as missing
    auto view = open(bare);
    EXPECT_FALSE(view->sectionTitles().contains("Conditions"));
    EXPECT_TRUE(view->sectionTitles().contains("Notes"));
}

TEST_F(DetailSectionsTest, SectionsFollowTheFixedOrder) {
    RideRef ride = addRoutedRide(1, 3000);
    ride->startWeatherData = encodeWeather(snapshot(20, 0, 0, 50, std::nullopt));
    auto view = open(ride);
    QStringList titles = view->sectionTitles();
    QStringList expected = {"Summary", "Health", "Conditions", "Photos",
                            "Notes",   "Splits", "Source",     "Export"};
    for (const QString& title : QStringList(titles)) {
        if (!expected.contains(title)) titles.removeAll(title);
    }
    EXPECT_EQ(titles, expected);
}

TEST_F(DetailSectionsTest, PlacesAndSourcesFromOutsideAreShownAsText) {
    RideRef ride = addRide(2024, 5, 1);
    ride->city = "<img src=\"/etc/x.png\"><h1 style=\"font-size:80px\">Bern</h1>";
    ride->importSource = "<a href=\"https://x.example\">Strava</a>";
    auto view = open(ride);
    for (const char* row : {"Location", "Imported from"}) {
        auto* label = view->findChild<QLabel*>(row);
        ASSERT_TRUE(label) << row;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << row;
    }
    EXPECT_EQ(view->valueOf("Location"), QString::fromStdString(*ride->city));
}

TEST_F(DetailSectionsTest, EmptiedNoteIsAbsentAndSpacesAreKept) {
    RideRef ride = addRide(2024, 5, 1);
    ride->notes = "Old note";
    auto view = open(ride);
    auto* notes = view->findChild<NotesSection*>();
    ASSERT_NE(notes, nullptr);
    QPlainTextEdit* editor = notes->editor();
    EXPECT_EQ(editor->toPlainText(), "Old note");
    EXPECT_EQ(editor->placeholderText(), "Add notes about this activity...");
    EXPECT_EQ(editor->accessibleName(), "Notes");

    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    // Saved on its own once typing pauses.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !storedNote(ride->rideID).has_value(); }, 3000));
    EXPECT_FALSE(ride->notes.has_value());

    QTest::keyClicks(editor, "   ");
    notes->flush();
    EXPECT_EQ(storedNote(ride->rideID), "   ");
}

TEST_F(DetailSectionsTest, NoteTypedJustBeforeTheWindowClosesIsStored) {
    RideRef ride = addRide(currentYear(), 1, 1);
    Uuid rideID = ride->rideID;
    startApp();
    auto* view = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(view, nullptr);
    auto* notes = view->findChild<NotesSection*>();
    ASSERT_NE(notes, nullptr);
    QTest::keyClicks(notes->editor(), "Headwind all the way");
    app->mainWindow()->close();
    app.reset();
    EXPECT_EQ(storedNote(rideID), "Headwind all the way");
}

TEST_F(DetailSectionsTest, SplitChoiceIsRememberedPerActivity) {
    RideRef first = addRoutedRide(1, 2500);
    RideRef second = addRoutedRide(2, 2500);
    RideRef third = addRoutedRide(3, 2500);
    Preferences::shared().setString(std::string(kSplitDistancePrefix) + third->rideID.toString(),
                                    "quarterMile");
    auto view = open(first);
    auto* splits = view->findChild<SplitsSection*>();
    ASSERT_NE(splits, nullptr);
    EXPECT_EQ(splits->choiceLabels(), QStringList({"Kilometer", "400m", "¼ Mile"}));
    EXPECT_EQ(splits->current(), SplitDistance::kilometer);
    EXPECT_EQ(splits->table()->rowCount(), 3);  // two full kilometres and a half one
    EXPECT_EQ(view->valueOf("Average Pace").isEmpty(), false);

    splits->choose(SplitDistance::fourHundredMeters);
    QTableWidget* table = splits->table();
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), "Split");
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "400m");
    EXPECT_EQ(table->horizontalHeaderItem(2)->text(), "Elevation");
    ASSERT_EQ(table->rowCount(), 7);  // 6 × 400 m and a remainder of 100 m
    EXPECT_EQ(table->item(0, 0)->text(), "1");
    EXPECT_EQ(table->item(0, 1)->text(), "1:20");  // 400 m at 5 m/s
    EXPECT_EQ(table->item(0, 2)->text(), "+8 m");
    EXPECT_EQ(view->valueOf("Average Pace"), "1:20");
    EXPECT_EQ(
        Preferences::shared().string(std::string(kSplitDistancePrefix) + first->rideID.toString()),
        "400m");

    view = open(second);
    EXPECT_EQ(view->findChild<SplitsSection*>()->current(), SplitDistance::kilometer);
    view = open(third);
    EXPECT_EQ(view->findChild<SplitsSection*>()->current(), SplitDistance::quarterMile);
    view = open(first);
    EXPECT_EQ(view->findChild<SplitsSection*>()->current(), SplitDistance::fourHundredMeters);
}

TEST_F(DetailSectionsTest, SplitsAreShownOnlyWithSplits) {
    RideRef ride = addRide(2024, 5, 1);
    ride->setRoutePoints(straightRoute(ride->date, 0));  // a single point
    auto view = open(ride);
    EXPECT_EQ(view->findChild<SplitsSection*>(), nullptr);
    EXPECT_FALSE(view->sectionTitles().contains("Splits"));
}

}  // namespace
}  // namespace vantrel::test
