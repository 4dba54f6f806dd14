#include <QPlainTextEdit>
#include <QProcess>

#include "app/AppFixture.h"
#include "app/detail/ActivityDetailView.h"
#include "app/detail/NotesSection.h"
#include "support/ProcessLocks.h"
#include "support/StoreFileGuard.h"

namespace vantrel::test {
namespace {

class StoreHoldTest : public AppFixture {
  protected:
    void SetUp() override {
        // Before the window's connection, so that every descriptor SQLite opens is known.
        guard = std::make_unique<StoreFileGuard>(env.root() / "store.sqlite");
        AppFixture::SetUp();
    }

    /// Runs the command-line tool on the store as another process and returns what it printed.
    QString runCli(const QStringList& arguments) {
        QProcess cli;
        cli.start(VANTREL_CLI_PATH,
                  QStringList{"--store", QString::fromStdString(storePath.string())} + arguments);
        // The window answers nothing here, but its event loop must keep running meanwhile.
        EXPECT_TRUE(QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 30000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return QString::fromUtf8(cli.readAllStandardOutput());
    }

    std::unique_ptr<StoreFileGuard> guard;
};

// A user hands the running window a file, reads the store with the command-line tool, then
// types a note: the note must reach the store file, not a write-ahead log that the tool
// deleted because it took itself for the store's last reader.
TEST_F(StoreHoldTest, ANoteTypedAfterAnImportAndAnOutsideReadIsStored) {
    startApp();
    ASSERT_TRUE(processHoldsLockOn(storePath));
    app->openFiles({QString::fromStdString(corpusFile("gpsbabel__fr110-14-laps.tcx").string())});
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 1 activity. Skipped 0 duplicates.");
    EXPECT_EQ(guard->foreignOpens(), std::vector<std::string>{});
    EXPECT_TRUE(processHoldsLockOn(storePath));

    EXPECT_TRUE(runCli({"years"}).contains("\t1"));
    EXPECT_TRUE(std::filesystem::exists(storePath.string() + "-wal"));

    auto* view = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(view, nullptr);
    auto* notes = view->findChild<NotesSection*>();
    ASSERT_NE(notes, nullptr);
    QTest::keyClicks(notes->editor(), "Felt strong on the hills");
    notes->flush();
    auto rides = storedRides();
    ASSERT_EQ(rides.size(), 1u);
    QString shown = runCli({"show", QString::fromStdString(rides.front()->rideID.toString())});
    EXPECT_TRUE(shown.contains("Felt strong on the hills")) << shown.toStdString();
}

}  // namespace
}  // namespace vantrel::test
