#include <sqlite3.h>

#include <QMenu>
#include <QRegularExpression>

#include "app/AppFixture.h"
#include "app/flows/ImportFlows.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"
#include "import/BulkImportRun.h"

namespace vantrel::test {
namespace {

using Kind = DialogRecord::Kind;

/// Whether a chooser's name filter ("Label (*.a *.b)") lets the file through, as the file
/// dialog decides it (patterns compared without regard to case).
bool filterAccepts(const QString& filter, const QString& fileName) {
    QString patterns = filter.section('(', 1).section(')', 0, 0);
    for (const QString& pattern : patterns.split(' ', Qt::SkipEmptyParts)) {
        QRegularExpression expression(QRegularExpression::wildcardToRegularExpression(pattern),
                                      QRegularExpression::CaseInsensitiveOption);
        if (expression.match(fileName).hasMatch()) return true;
    }
    return false;
}

class ChooserTest : public AppFixture {
  protected:
    void importFromStrava(const std::vector<std::filesystem::path>& files) {
        QStringList answer;
        for (const auto& file : files) answer << QString::fromStdString(file.string());
        Dialogs::pushAnswer(answer);
        triggerAction(app->mainWindow()->importMenu(), "Import from Strava…");
    }
};

TEST_F(ChooserTest, StravaChooserOffersEveryActivityFileTheImportReads) {
    startApp();
    importFromStrava({});
    QString filter = Dialogs::lastOf(Kind::openFiles)->text;
    int activityFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpusDir())) {
        std::string name = entry.path().filename().string();
        if (!isActivityFileName(name)) continue;
        ++activityFiles;
        EXPECT_TRUE(filterAccepts(filter, QString::fromStdString(name))) << name;
    }
    EXPECT_GT(activityFiles, 20);
    for (const char* name : {"RIDE.FIT", "export_123.zip", "ride.tcx.gz", "ride.fit.gz"})
        EXPECT_TRUE(filterAccepts(filter, name)) << name;
    for (const char* name : {"activities.csv", "photo.jpg", "Vantrel_2024.json"})
        EXPECT_FALSE(filterAccepts(filter, name)) << name;
    EXPECT_TRUE(filterAccepts(QLatin1String(kArchiveFilter), "Vantrel_2024.json"));
    EXPECT_TRUE(filterAccepts(QLatin1String(kZipFilter), "export.ZIP"));
}

TEST_F(ChooserTest, LooseFileImportReportsItsCountKeepsOpenYearsAndSelectsWhatCameIn) {
    addRide(2019, 3, 1);
    addRide(2020, 6, 1);
    startApp();
    HistorySidebar* sidebar = app->mainWindow()->sidebar();
    sidebar->expandYear(2019);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sidebar->expandedYears().count(2019) == 1; }));

    importFromStrava({corpusFile("gpsbabel__fr110-14-laps.tcx"),
                      corpusFile("fitparse__garmin-edge-500-activity.fit.gz")});
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 2 activities. Skipped 0 duplicates.");
    EXPECT_TRUE(sidebar->expandedYears().count(2019));
    std::vector<RideRef> selected = sidebar->selectedRides();
    ASSERT_EQ(selected.size(), 2u);
    for (const RideRef& ride : selected) EXPECT_TRUE(ride->importSource->starts_with("Strava ("));
    EXPECT_EQ(storedRides().size(), 4u);
}

TEST_F(ChooserTest, LooseFilesWhoseSaveFailsAreReportedAsAnErrorNotAsImported) {
    startApp();
    // Every insertion into the file fails, as on a full disk.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(storePath.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER refuse BEFORE INSERT ON PersistedRide "
                           "BEGIN SELECT RAISE(ABORT, 'disk full'); END;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    importFromStrava({corpusFile("gpsbabel__fr110-14-laps.tcx")});
    EXPECT_TRUE(waitForAlert("Import Error").contains("disk full"));
    for (const auto& record : Dialogs::records()) EXPECT_NE(record.title, "Import Complete");
    EXPECT_TRUE(storedRides().empty());
}

}  // namespace
}  // namespace vantrel::test
