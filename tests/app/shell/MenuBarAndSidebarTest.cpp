#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTreeView>

#include "Version.h"
#include "app/AppFixture.h"
#include "app/shell/SettingsWindow.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"

namespace vantrel::test {
namespace {

using Kind = DialogRecord::Kind;

class MenuBarAndSidebarTest : public AppFixture {
  protected:
    HistorySidebar* sidebar() { return app->mainWindow()->sidebar(); }
    HistoryModel* model() { return sidebar()->model(); }
    QTreeView* tree() { return sidebar()->tree(); }

    RideRef addPlace(int year, int month, int day, const char* kind, const char* city) {
        RideRef ride = addRide(year, month, day);
        ride->activityType = kind;
        ride->city = city;
        return ride;
    }

    /// The dates ("Mar 1, 2019") of the activity rows a user can see, top to bottom.
    QStringList shownRows() {
        QStringList rows;
        for (int yearRow = 0; yearRow < model()->rowCount(); ++yearRow) {
            QModelIndex year = model()->index(yearRow, 0);
            if (tree()->isRowHidden(yearRow, {}) || !tree()->isExpanded(year)) continue;
            for (int row = 0; row < model()->rowCount(year); ++row) {
                if (!tree()->isRowHidden(row, year))
                    rows << model()->index(row, 0, year).data().toString();
            }
        }
        return rows;
    }
    QStringList selectedDates() {
        QStringList dates;
        for (const RideRef& ride : sidebar()->selectedRides())
            dates << model()->indexOfRide(ride->objectID).data().toString();
        dates.sort();
        return dates;
    }
    /// Types or sets the filter's text and waits until its answer is shown.
    void filterTo(const QString& text, bool typed = false) {
        QSignalSpy applied(sidebar(), &HistorySidebar::filterApplied);
        if (typed) {
            QTest::keyClicks(sidebar()->filterField(), text);
        } else {
            sidebar()->filterField()->setText(text);
        }
        ASSERT_TRUE(applied.wait(10000)) << text.toStdString();
    }
    /// The item's shortcut; none (and a failure) when the item is missing.
    QKeySequence shortcut(const QString& menuTitle, const QString& text) {
        QAction* action = actionNamed(menuBarMenu(menuTitle), text);
        return action ? action->shortcut() : QKeySequence();
    }
};

TEST_F(MenuBarAndSidebarTest, FilterNarrowsRowsByKindPlaceAndDateAndHidesYearsWithoutMatches) {
    addPlace(2024, 7, 4, "running", "Zürich");
    addPlace(2024, 8, 1, "cycling", "Bern");
    addPlace(2019, 3, 1, "running", "Basel");
    startApp();
    QLineEdit* field = sidebar()->filterField();
    EXPECT_FALSE(field->accessibleName().isEmpty());

    filterTo("cycl", /*typed=*/true);
    EXPECT_EQ(shownRows(), QStringList{"Aug 1, 2024"});
    EXPECT_TRUE(tree()->isRowHidden(model()->yearIndex(2019).row(), {}));
    // The year headers count the matches, not the year's activities.
    EXPECT_EQ(model()->yearIndex(2024).data(HistoryModel::kCountRole).toString(), "1 activity");
    filterTo("ZÜR");
    EXPECT_EQ(shownRows(), QStringList{"Jul 4, 2024"});
    filterTo("mar 2019");
    EXPECT_EQ(shownRows(), QStringList{"Mar 1, 2019"});
    filterTo("running");
    EXPECT_EQ(shownRows(), (QStringList{"Jul 4, 2024", "Mar 1, 2019"}));
    filterTo("rowing");
    EXPECT_TRUE(shownRows().isEmpty());
    EXPECT_FALSE(tree()->isVisibleTo(sidebar()));

    // Clearing shows every row again and closes what only the filter had opened.
    field->clear();
    EXPECT_TRUE(tree()->isVisibleTo(sidebar()));
    EXPECT_TRUE(shownRows().isEmpty());
    EXPECT_TRUE(sidebar()->expandedYears().empty());
    EXPECT_EQ(model()->yearIndex(2024).data(HistoryModel::kCountRole).toString(), "2 activities");
    sidebar()->expandAll();
    EXPECT_EQ(shownRows(), (QStringList{"Aug 1, 2024", "Jul 4, 2024", "Mar 1, 2019"}));
    // A selected row the filter hides is no longer selected.
    sidebar()->selectAllShown();
    EXPECT_EQ(sidebar()->selectedRides().size(), 3u);
    filterTo("bern");
    EXPECT_EQ(selectedDates(), QStringList{"Aug 1, 2024"});
}

// Select All takes runs of shown rows: one hidden between them splits the run, and what was
// selected comes back after the years are reloaded.
TEST_F(MenuBarAndSidebarTest, SelectAllSkipsRowsTheFilterHidesAndSurvivesAReload) {
    addPlace(2024, 9, 1, "running", "Bern");
    addPlace(2024, 8, 1, "cycling", "Basel");
    addPlace(2024, 7, 1, "running", "Thun");
    addPlace(2024, 6, 1, "running", "Chur");
    addPlace(2023, 5, 1, "running", "Sion");
    startApp();
    sidebar()->expandAll();
    filterTo("running");
    sidebar()->selectAllShown();
    EXPECT_EQ(selectedDates(),
              (QStringList{"Jul 1, 2024", "Jun 1, 2024", "May 1, 2023", "Sep 1, 2024"}));
    app->mainWindow()->reloadYearSummaries();
    EXPECT_EQ(selectedDates(),
              (QStringList{"Jul 1, 2024", "Jun 1, 2024", "May 1, 2023", "Sep 1, 2024"}));
}

TEST_F(MenuBarAndSidebarTest, ArrowKeysStepOverYearHeadersWithoutClearingTheSelection) {
    addRide(2024, 7, 4);
    addRide(2024, 8, 1);
    addRide(2023, 5, 2);
    addRide(2022, 1, 9);
    startApp();
    sidebar()->expandAll();
    tree()->collapse(model()->yearIndex(2022));
    QModelIndex lastOf2024 = model()->index(1, 0, model()->yearIndex(2024));
    tree()->setCurrentIndex(lastOf2024);
    ASSERT_EQ(selectedDates(), QStringList{"Jul 4, 2024"});

    QTest::keyClick(tree(), Qt::Key_Down);
    EXPECT_EQ(selectedDates(), QStringList{"May 2, 2023"});
    QTest::keyClick(tree(), Qt::Key_Up);
    EXPECT_EQ(selectedDates(), QStringList{"Jul 4, 2024"});
    // A closed year's header is a stop, so it can be opened, but it selects nothing.
    QTest::keyClick(tree(), Qt::Key_Down);
    QTest::keyClick(tree(), Qt::Key_Down);
    EXPECT_EQ(tree()->currentIndex(), model()->yearIndex(2022));
    EXPECT_EQ(selectedDates(), QStringList{"May 2, 2023"});
    // Above the first activity there is only its header: the cursor stays.
    tree()->setCurrentIndex(model()->index(0, 0, model()->yearIndex(2024)));
    QTest::keyClick(tree(), Qt::Key_Up);
    EXPECT_EQ(selectedDates(), QStringList{"Aug 1, 2024"});
}

TEST_F(MenuBarAndSidebarTest, MenuBarReachesTheCommandsWithUnambiguousShortcuts) {
    addRide(2024, 7, 4);
    addRide(2024, 8, 1);
    startApp();
    EXPECT_EQ(shortcut("File", "Import Files…"), QKeySequence("Ctrl+O"));
    EXPECT_EQ(shortcut("File", "Quit"), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(shortcut("Edit", "Find…"), QKeySequence("Ctrl+F"));
    EXPECT_EQ(shortcut("Edit", "Select All"), QKeySequence("Ctrl+A"));
    EXPECT_EQ(shortcut("Edit", "Preferences…"), QKeySequence("Ctrl+,"));
    ASSERT_NE(actionNamed(menuBarMenu("File"), "Export"), nullptr);
    // Two actions on one key sequence make Qt run neither.
    std::map<QString, int> uses;
    for (QAction* action : app->mainWindow()->findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts()) ++uses[key.toString()];
    }
    for (const auto& [key, count] : uses) EXPECT_EQ(count, 1) << key.toStdString();

    triggerAction(menuBarMenu("View"), "Expand All Years");
    triggerAction(menuBarMenu("Edit"), "Select All");
    EXPECT_EQ(sidebar()->selectedRides().size(), 2u);
    triggerAction(menuBarMenu("View"), "Collapse All Years");
    EXPECT_TRUE(sidebar()->expandedYears().empty());

    triggerAction(menuBarMenu("Help"), "About Vantrel");
    QString about = Dialogs::lastOf(Kind::alert)->text;
    EXPECT_TRUE(about.startsWith(QStringLiteral("Vantrel ") + kVersion)) << about.toStdString();
    EXPECT_TRUE(about.contains("Licence: ")) << about.toStdString();
    EXPECT_TRUE(about.contains("• Qt " + QString(qVersion()))) << about.toStdString();
    // What the map is drawn with and from is credited, with the data's licence.
    EXPECT_TRUE(about.contains("Leaflet")) << about.toStdString();
    EXPECT_TRUE(about.contains("© OpenStreetMap contributors")) << about.toStdString();
    EXPECT_TRUE(about.contains("Open Database License")) << about.toStdString();
    triggerAction(menuBarMenu("Help"), "Diagnostics");
    EXPECT_NE(app->diagnosticsWindow(), nullptr);
    triggerAction(menuBarMenu("Edit"), "Preferences…");
    EXPECT_TRUE(app->settingsWindow()->isVisible());
}

TEST_F(MenuBarAndSidebarTest, ImportFilesOffersEveryKindAndImportsThem) {
    startApp();
    Dialogs::pushAnswer(
        QStringList{QString::fromStdString(corpusFile("gpsbabel__edge705-power.tcx.gz").string())});
    triggerAction(menuBarMenu("File"), "Import Files…");
    QString filter = Dialogs::lastOf(Kind::openFiles)->text;
    for (const char* pattern : {"*.gpx", "*.tcx", "*.fit", "*.gz", "*.zip", "*.json"})
        EXPECT_TRUE(filter.contains(pattern)) << pattern;
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 1 activity. Skipped 0 duplicates.");
    EXPECT_EQ(storedRides().size(), 1u);
}

}  // namespace
}  // namespace vantrel::test
