#include <QMenu>

#include "app/AppFixture.h"
#include "app/shell/MainWindow.h"
#include "app/sidebar/HistorySidebar.h"
#include "archive/ArchiveExport.h"
#include "import/ZipTestArchive.h"

namespace vantrel::test {
namespace {

using Kind = DialogRecord::Kind;

class ImportExportFlowsTest : public AppFixture {
  protected:
    /// Waits for an alert with this title and returns its text.
    QString alertText(const QString& title) {
        bool shown = QTest::qWaitFor(
            [&] {
                for (const auto& record : Dialogs::records()) {
                    if (record.kind == Kind::alert && record.title == title) return true;
                }
                return false;
            },
            30000);
        EXPECT_TRUE(shown) << title.toStdString();
        for (auto it = Dialogs::records().rbegin(); it != Dialogs::records().rend(); ++it) {
            if (it->kind == Kind::alert && it->title == title) return it->text;
        }
        return {};
    }
};

TEST_F(ImportExportFlowsTest, SingleYearGPXExportSkipsThePickerAndWritesOneFilePerActivity) {
    addRide(2024, 7, 4);
    addRide(2024, 7, 5);
    startApp();
    TempDir target;
    Dialogs::pushAnswer(QString::fromStdString(target.path().string()));
    triggerAction(app->mainWindow()->exportMenu(), "Export Year…", 1);
    EXPECT_FALSE(Dialogs::lastOf(Kind::yearPicker));
    EXPECT_EQ(Dialogs::lastOf(Kind::openFolder)->title,
              "Export all 2 rides from 2024 as GPX files.");
    EXPECT_EQ(Dialogs::lastOf(Kind::openFolder)->detail, "Export Here");
    EXPECT_EQ(alertText("Export Complete"), "Exported 2 activities.");
    int files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(target.path() / "VantrelExport" / "activities")) {
        files += entry.path().extension() == ".gpx";
    }
    EXPECT_EQ(files, 2);
}

TEST_F(ImportExportFlowsTest, ArchiveRoundTripSkipsWhatIsStoredAndNamesTheBadFile) {
    addRide(2023, 3, 1);
    addRide(2024, 7, 4);
    startApp();
    TempDir target;
    Dialogs::pushAnswer(QString::fromStdString(target.path().string()));
    triggerAction(app->mainWindow()->exportMenu(), "Export All…", 2);
    EXPECT_EQ(alertText("Export Complete"), "Exported 2 activities.");
    ASSERT_TRUE(std::filesystem::exists(target / "Vantrel_2024.json"));
    ASSERT_TRUE(std::filesystem::exists(target / "Vantrel_2023.json"));

    Dialogs::clearRecords();
    writeFileBytes(target / "broken.json", bytesOf("{not json"));
    Dialogs::pushAnswer(QStringList{QString::fromStdString((target / "Vantrel_2024.json").string()),
                                    QString::fromStdString((target / "broken.json").string())});
    triggerAction(app->mainWindow()->importMenu(), "Import Vantrel Format…");
    EXPECT_EQ(alertText("Import Complete"), "Imported 0 activities. Skipped 1 duplicate.");
    EXPECT_TRUE(alertText("Import Error").startsWith("broken.json: "));
    EXPECT_EQ(app->store().allRecords(false).size(), 2u);
    // A failure shows the warning symbol; the summary does not.
    for (const auto& record : Dialogs::records()) {
        if (record.kind == Kind::alert) {
            EXPECT_EQ(record.warning, record.title == "Import Error") << record.title.toStdString();
        }
    }
}

TEST_F(ImportExportFlowsTest, ArchiveImportOpensItsYearAndSelectsWhatItAdded) {
    RideRef old = addRide(2019, 3, 1);
    startApp();
    TempDir target;
    Dialogs::pushAnswer(QString::fromStdString(target.path().string()));
    triggerAction(app->mainWindow()->exportMenu(), "Export All…", 2);
    EXPECT_EQ(alertText("Export Complete"), "Exported 1 activity.");
    Uuid rideID = old->rideID;
    old.reset();
    for (const RideRef& ride : app->store().allRecords(false)) app->store().remove(ride);
    app->store().save();
    app->mainWindow()->reloadYearSummaries();

    Dialogs::clearRecords();
    Dialogs::pushAnswer(
        QStringList{QString::fromStdString((target / "Vantrel_2019.json").string())});
    triggerAction(app->mainWindow()->importMenu(), "Import Vantrel Format…");
    EXPECT_EQ(alertText("Import Complete"), "Imported 1 activity. Skipped 0 duplicates.");
    QTest::qWait(400);  // longer than the after-import steps of the bulk imports take
    HistorySidebar* sidebar = app->mainWindow()->sidebar();
    EXPECT_TRUE(sidebar->expandedYears().count(2019));
    ASSERT_EQ(sidebar->selectedRides().size(), 1u);
    EXPECT_EQ(sidebar->selectedRides().front()->rideID, rideID);
}

TEST_F(ImportExportFlowsTest, ArchiveExportAlertCountsActivitiesWhoseDateCannotBeWritten) {
    addRide(2024, 7, 4);
    addRide(2024, 7, 5)->date = 1e15;  // from another device with a broken clock
    startApp();
    TempDir target;
    Dialogs::pushAnswer(QString::fromStdString(target.path().string()));
    triggerAction(app->mainWindow()->exportMenu(), "Export All…", 2);
    EXPECT_EQ(alertText("Export Complete"),
              "Exported 1 activity. Skipped 1 activity whose date cannot be written.");
}

TEST_F(ImportExportFlowsTest, ArchiveImportIsOfferedOnlyWhileNoImportRuns) {
    startApp();
    QAction* archiveImport = actionNamed(app->mainWindow()->importMenu(), "Import Vantrel Format…");
    ASSERT_NE(archiveImport, nullptr);
    EXPECT_TRUE(archiveImport->isEnabled());
    triggerAction(app->mainWindow()->importMenu(), "How to Export from Garmin");
    QString help = Dialogs::lastOf(Kind::alert)->text;
    EXPECT_TRUE(help.contains("4. Garmin will email a download link (may take up to 48 hours)"));
    EXPECT_TRUE(help.contains(
        "6. Extract the ZIP — activity files are in DI_CONNECT/DI-Connect-Uploaded-Files"));
}

TEST_F(ImportExportFlowsTest, GarminFolderWithoutExportSaysSoAndImportsNothing) {
    startApp();
    TempDir folder;
    Dialogs::pushAnswer(QString::fromStdString(folder.path().string()));
    triggerAction(app->mainWindow()->importMenu(), "Import from Garmin…");
    EXPECT_EQ(Dialogs::lastOf(Kind::openFolder)->detail, "Select Folder");
    EXPECT_EQ(Dialogs::lastOf(Kind::alert)->title, "Garmin Data Not Found");
    EXPECT_TRUE(app->store().allRecords(false).empty());
}

TEST_F(ImportExportFlowsTest, GarminConfirmationCancelledImportsNothing) {
    startApp();
    TempDir folder;
    std::filesystem::create_directories(folder / "DI_CONNECT" / "DI-Connect-Uploaded-Files");
    writeFileBytes(folder.path() / "DI_CONNECT" / "DI-Connect-Uploaded-Files" / "a.zip",
                   bytesOf("x"));
    Dialogs::pushAnswer(QString::fromStdString(folder.path().string()));
    triggerAction(app->mainWindow()->importMenu(), "Import from Garmin…");
    auto question = Dialogs::lastOf(Kind::confirm);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->title, "Garmin Import");
    EXPECT_EQ(question->text, "Found 1 ZIP file with activity data.\n\nImport now?");
    EXPECT_EQ(question->detail, "Replace existing activities");
    EXPECT_FALSE(Dialogs::lastOf(Kind::alert));
}

TEST_F(ImportExportFlowsTest, DamagedZipStillEndsWithImportComplete) {
    startApp();
    auto zip = env.root() / "damaged.zip";
    writeFileBytes(zip, bytesOf("PK\x03\x04 not really"));
    Dialogs::pushAnswer(QStringList{QString::fromStdString(zip.string())});
    triggerAction(app->mainWindow()->importMenu(), "Import from ZIP…");
    EXPECT_EQ(Dialogs::lastOf(Kind::openFiles)->title,
              "Select ZIP files containing activity files (GPX, TCX, FIT).");
    EXPECT_TRUE(alertText("Import Complete")
                    .startsWith("Imported 0 activities. Skipped 0 duplicates.\n"
                                "1 file could not be imported:\ndamaged.zip: "));
    EXPECT_EQ(app->mainWindow()->sidebar()->footerCountText(), "0 activities");
}

TEST_F(ImportExportFlowsTest, RefusedZipMembersAreNamedWithWhyInTheAlert) {
    startApp();
    auto zip = env.root() / "export.zip";
    {
        ZipTestArchive archive(zip);
        archive.add("a.gpx", makeGpx(1700000000)).add("../outside.gpx", makeGpx(1700086400));
    }
    auto locked = env.root() / "locked.zip";
    {
        ZipTestArchive archive(locked, "secret");
        archive.add("locked.gpx", makeGpx(1700172800));
    }
    Dialogs::pushAnswer(
        QStringList{QString::fromStdString(zip.string()), QString::fromStdString(locked.string())});
    triggerAction(app->mainWindow()->importMenu(), "Import from ZIP…");
    EXPECT_EQ(alertText("Import Complete"),
              "Imported 1 activity. Skipped 0 duplicates.\n2 files could not be imported:\n"
              "../outside.gpx: a path that leads outside\nlocked.gpx: encrypted member");
}

TEST_F(ImportExportFlowsTest, ArchiveAlertCountsActivitiesImportedWithoutADamagedSeries) {
    startApp();
    auto other = RideStore::open(env.root() / "other.sqlite");
    std::vector<RideRef> rides;
    for (int day = 0; day < 2; ++day) {
        auto ride = std::make_shared<PersistedRide>();
        ride->date = dateFromUnix(1700000000 + day * 86400);
        ride->duration = 60;
        ride->setRoutePoints({{Uuid::random(), {47.0, 8.5}, 400, ride->date}});
        other->insert(ride);
        rides.push_back(ride);
    }
    other->save();
    auto file = env.root() / "two.json";
    exportArchiveToFile(*other, rides, file, PersistentLogger::shared());
    std::string text = readFileText(file);
    text.replace(text.find("\"routeData\":\"") + 13, 4, "%");
    writeFileBytes(file, bytesOf(text));

    Dialogs::pushAnswer(QStringList{QString::fromStdString(file.string())});
    triggerAction(app->mainWindow()->importMenu(), "Import Vantrel Format…");
    EXPECT_EQ(alertText("Import Complete"),
              "Imported 2 activities. Skipped 0 duplicates.\n"
              "1 activity had a damaged series and was imported without it.");
}

TEST_F(ImportExportFlowsTest, ZipImportThatCannotBeSavedEndsWithAnErrorNotComplete) {
    startApp();
    makeCommitsFail(storePath);
    auto zip = env.root() / "good.zip";
    {
        ZipTestArchive archive(zip);
        archive.add("a.gpx", makeGpx(1700000000));
    }
    Dialogs::pushAnswer(QStringList{QString::fromStdString(zip.string())});
    triggerAction(app->mainWindow()->importMenu(), "Import from ZIP…");
    QString error = alertText("Import Error");
    EXPECT_TRUE(error.startsWith("The imported activities could not be saved: "));
    EXPECT_TRUE(error.endsWith("\n0 activities were stored before the failure."))
        << error.toStdString();
    for (const auto& record : Dialogs::records()) EXPECT_NE(record.title, "Import Complete");
    EXPECT_TRUE(app->store().allRecords(false).empty());
}

}  // namespace
}  // namespace vantrel::test
