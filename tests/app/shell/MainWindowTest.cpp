#include <QComboBox>
#include <QMenu>
#include <QToolButton>
#include <QTreeView>

#include "app/AppFixture.h"
#include "app/detail/ActivityDetailView.h"
#include "app/shell/MainWindow.h"
#include "app/shell/SettingsWindow.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/widgets/PlaceholderView.h"
#include "logging/PersistentLogger.h"
#include "model/Preferences.h"

namespace vantrel::test {
namespace {

using Kind = DialogRecord::Kind;

class MainWindowTest : public AppFixture {
  protected:
    HistorySidebar* sidebar() { return app->mainWindow()->sidebar(); }
    HistoryModel* model() { return sidebar()->model(); }
    void openYear(int year) {
        sidebar()->expandYear(year);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return model()->isYearLoaded(model()->yearIndex(year).row()); }));
    }
    void select(const std::vector<QModelIndex>& indexes) {
        QItemSelection selection;
        for (const auto& index : indexes) selection.select(index, index);
        sidebar()->tree()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }
};

TEST_F(MainWindowTest, EmptyStoreShowsEmptyStateAndExportAllDoesNothing) {
    startApp();
    EXPECT_TRUE(sidebar()->emptyState()->isVisible());
    EXPECT_EQ(sidebar()->footerCountText(), "0 activities");
    triggerAction(app->mainWindow()->exportMenu(), "Export All…");
    EXPECT_TRUE(Dialogs::records().empty());
}

TEST_F(MainWindowTest, ListsYearsNewestFirstWithPluralCountsAndLoadsOnlyOpenedYears) {
    addRide(2019, 3, 1);
    addRide(2024, 7, 4);
    addRide(2024, 8, 1);
    addRide(2024, 9, 1, 5000, /*deleted=*/true);
    startApp();
    ASSERT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(model()->index(0, 0).data().toString(), "2024");
    EXPECT_EQ(model()->index(0, 0).data(HistoryModel::kCountRole).toString(), "2 activities");
    EXPECT_EQ(model()->index(1, 0).data(HistoryModel::kCountRole).toString(), "1 activity");
    EXPECT_EQ(sidebar()->footerCountText(), "3 activities");
    EXPECT_FALSE(model()->isYearLoaded(0));
    openYear(2024);
    QModelIndex year = model()->yearIndex(2024);
    ASSERT_EQ(model()->rowCount(year), 2);
    EXPECT_FALSE(model()->isYearLoaded(1));
    QString spoken = model()->index(0, 0, year).data(Qt::AccessibleTextRole).toString();
    EXPECT_TRUE(spoken.startsWith(
        "Running, Ride on August 1, 2024, 1:02:03, 6.2 mi, +492 ft elevation gain, "
        "average heart rate 140 bpm"))
        << spoken.toStdString();
}

TEST_F(MainWindowTest, SelectionDrivesTheDetailColumn) {
    addRide(2024, 7, 4);
    addRide(2024, 8, 1);
    startApp();
    openYear(2024);
    QModelIndex year = model()->yearIndex(2024);
    auto* prompt = qobject_cast<PlaceholderView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->title(), "Select an Activity");

    select({model()->index(0, 0, year)});
    auto* detail = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->valueOf("Running Time"), "1:02:03");
    EXPECT_EQ(detail->valueOf("Elevation Gain"), "+492 ft");
    EXPECT_EQ(detail->valueOf("Calories"), "600 cal");
    EXPECT_EQ(detail->valueOf("Recorded by"), "Vantrel");
    EXPECT_EQ(detail->valueOf("Activity"), "Running");

    select({model()->index(0, 0, year), model()->index(1, 0, year)});
    auto* multiple = qobject_cast<PlaceholderView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(multiple, nullptr);
    EXPECT_EQ(multiple->title(), "2 Activities Selected");
    QAction* exportSelected = actionNamed(app->mainWindow()->exportMenu(), "Export Selected (2)");
    ASSERT_NE(exportSelected, nullptr);
    EXPECT_EQ(exportSelected->isEnabled(), true);
}

TEST_F(MainWindowTest, UnitSystemChangeReachesRowsAndDetailAtOnce) {
    addRide(2024, 7, 4, 1234);
    startApp();
    openYear(2024);
    QModelIndex row = model()->index(0, 0, model()->yearIndex(2024));
    select({row});
    app->settingsWindow()->unitSystemChoice()->setCurrentIndex(1);
    auto* detail = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->valueOf("Distance"), "1.2 km");
    EXPECT_EQ(detail->valueOf("Elevation Gain"), "+150 m");
    EXPECT_TRUE(
        row.data(Qt::AccessibleTextRole).toString().contains("1.2 km, +150 m elevation gain"));
}

TEST_F(MainWindowTest, LogLevelChosenInSettingsReachesTheAppsLoggerAtOnce) {
    ScopedSharedLogger logSession;  // the level changed here stays with this test's logger
    startApp();
    PersistentLogger& logger = app->context().logger;
    ASSERT_EQ(&logger, &logSession.logger());
    QComboBox* choice = app->settingsWindow()->logLevelChoice();
    choice->setCurrentIndex(choice->findData(QStringLiteral("ERROR")));
    EXPECT_EQ(logger.settings().level, LogLevel::error);
    EXPECT_EQ(app->context().preferences.string(kLogLevelKey), "ERROR");
    logger.log(LogLevel::warn, "Test", "below the chosen level");
    choice->setCurrentIndex(choice->findData(QStringLiteral("DEBUG")));
    logger.log(LogLevel::debug, "Test", "at the chosen level");
    logger.flush();
    std::string text = readFileText(*logger.currentLogFile());
    EXPECT_EQ(text.find("below the chosen level"), std::string::npos) << text;
    EXPECT_NE(text.find("[DEBUG] [Test] at the chosen level"), std::string::npos) << text;
}

TEST_F(MainWindowTest, DeleteAllActivitiesCountsLiveOnesAndEmptiesTheStore) {
    for (int day = 1; day <= 3; ++day) addRide(2024, 5, day);
    addRide(2024, 6, 1, 100, true);
    addRide(2024, 6, 2, 100, true);
    startApp();
    openYear(2024);
    select({model()->index(0, 0, model()->yearIndex(2024))});
    ASSERT_NE(qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail()), nullptr);
    Dialogs::pushAnswer(true);
    app->settingsWindow()->deleteAllActivities();
    auto question = Dialogs::lastOf(Kind::confirm);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->title, "Delete All Activities?");
    EXPECT_TRUE(question->text.startsWith(
        "This will permanently delete all 3 activities. This cannot be undone."));
    EXPECT_TRUE(app->store().allRecords(false).empty());
    EXPECT_EQ(sidebar()->footerCountText(), "0 activities");
    auto* prompt = qobject_cast<PlaceholderView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->title(), "Select an Activity");
}

TEST_F(MainWindowTest, DeleteAllThatTheStoreRefusesKeepsEverythingAndSaysWhy) {
    addRide(2024, 5, 1);
    addRide(2024, 5, 2, 100, true);
    startApp();
    test::executeSql(storePath,
                     "CREATE TRIGGER keep BEFORE DELETE ON PersistedRide "
                     "BEGIN SELECT RAISE(ABORT, 'this store keeps its activities'); END");
    Dialogs::pushAnswer(true);
    app->settingsWindow()->deleteAllActivities();
    auto alert = Dialogs::lastOf(Kind::alert);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title, "Delete Failed");
    EXPECT_TRUE(alert->text.contains("this store keeps its activities"))
        << alert->text.toStdString();
    EXPECT_EQ(app->store().allRecords(false).size(), 2u);
    EXPECT_EQ(sidebar()->footerCountText(), "1 activity");
}

TEST_F(MainWindowTest, CancelledDeleteKeepsEverything) {
    addRide(2024, 5, 1);
    startApp();
    Dialogs::pushAnswer(false);
    app->settingsWindow()->deleteAllActivities();
    EXPECT_EQ(app->store().allRecords(false).size(), 1u);
}

TEST_F(MainWindowTest, ArchiveExportOfSelectionWritesTheFileAndReportsIt) {
    addRide(2024, 7, 4);
    startApp();
    openYear(2024);
    select({model()->index(0, 0, model()->yearIndex(2024))});
    auto target = env.root() / "out.json";
    Dialogs::pushAnswer(QString::fromStdString(target.string()));
    triggerAction(app->mainWindow()->exportMenu(), "Export Selected (1)", 2);
    auto chooser = Dialogs::lastOf(Kind::saveFile);
    ASSERT_TRUE(chooser);
    EXPECT_EQ(chooser->title, "Save 1 selected activity in Vantrel Format.");
    EXPECT_EQ(chooser->detail, "Vantrel_20240704_0900.json");
    ASSERT_TRUE(QTest::qWaitFor([] { return Dialogs::lastOf(Kind::alert).has_value(); }, 10000));
    EXPECT_EQ(Dialogs::lastOf(Kind::alert)->title, "Export Complete");
    EXPECT_EQ(Dialogs::lastOf(Kind::alert)->text, "Exported 1 activity.");
    EXPECT_GT(std::filesystem::file_size(target), 100u);
}

TEST_F(MainWindowTest, YearPickerOnlyForArchiveWhenThereIsOneYear) {
    addRide(2024, 7, 4);
    startApp();
    // One year: no picker, straight to the folder chooser (cancelled).
    triggerAction(app->mainWindow()->exportMenu(), "Export Year…", 1);
    EXPECT_FALSE(Dialogs::lastOf(Kind::yearPicker));
    EXPECT_EQ(Dialogs::lastOf(Kind::openFolder)->title,
              "Export all 1 ride from 2024 as GPX files.");
    // The picker is cancelled (no queued answer).
    triggerAction(app->mainWindow()->exportMenu(), "Export Year…", 2);
    auto picker = Dialogs::lastOf(Kind::yearPicker);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->detail, "2024 (1 ride)");
    EXPECT_FALSE(Dialogs::lastOf(Kind::saveFile));
}

TEST_F(MainWindowTest, ChangesByAnotherConnectionAppearWithoutRestart) {
    addRide(2024, 7, 4);
    startApp();
    {
        auto other = RideStore::open(storePath);
        auto ride = std::make_shared<PersistedRide>();
        ride->date = dateFromUnix(1600000000);
        other->insert(ride);
        other->save();
    }
    app->mainWindow()->checkForRemoteChanges();
    EXPECT_EQ(sidebar()->footerCountText(), "2 activities");
}

TEST_F(MainWindowTest, ChangeElsewhereUpdatesTheShownDetailWithoutTakingItsFocus) {
    RideRef ride = addRide(2024, 7, 4, 10000);
    startApp();
    ActivityDetailView* detail = showInDetail(ride);
    ASSERT_NE(detail, nullptr);
    QString before = detail->valueOf("Distance");
    detail->moreActionsButton()->setFocus(Qt::TabFocusReason);
    {
        auto other = RideStore::open(storePath);
        RideRef same = other->fetchByRideID(ride->rideID);
        ASSERT_TRUE(same);
        same->distance = 12000;
        other->save();
    }
    app->mainWindow()->checkForRemoteChanges();
    // The list reloaded and selected the activity again: the same view shows the new value,
    // and the button the user was on still has the keyboard.
    EXPECT_EQ(app->mainWindow()->currentDetail(), detail);
    EXPECT_NE(detail->valueOf("Distance"), before);
    EXPECT_EQ(detail->window()->focusWidget(), static_cast<QWidget*>(detail->moreActionsButton()));
}

TEST_F(MainWindowTest, LooseGPXImportAddsTheActivityAndBadFileShowsImportError) {
    startApp();
    Dialogs::pushAnswer(
        QStringList{QString::fromStdString(corpusFile("sportslib__amazfit.gpx").string())});
    triggerAction(app->mainWindow()->importMenu(), "Import from Strava…");
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return sidebar()->footerCountText() == "1 activity"; }, 20000));

    auto bad = env.root() / "broken.gpx";
    writeFileBytes(bad, bytesOf("<gpx><trk>"));
    Dialogs::pushAnswer(QStringList{QString::fromStdString(bad.string())});
    triggerAction(app->mainWindow()->importMenu(), "Import from Strava…");
    EXPECT_TRUE(waitForAlert("Import Error").startsWith("broken.gpx: "));
    EXPECT_EQ(app->store().allRecords(false).size(), 1u);
}

}  // namespace
}  // namespace vantrel::test
