#include <sqlite3.h>

#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

#include "app/AppFixture.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/widgets/ProgressRow.h"

namespace vantrel::test {
namespace {

using Kind = DialogRecord::Kind;

class DeleteActivityTest : public AppFixture {
  protected:
    HistorySidebar* sidebar() { return app->mainWindow()->sidebar(); }

    RideRef addRideWithPhotos(int year, int month, int day, int photos) {
        RideRef ride = addRide(year, month, day);
        for (int i = 0; i < photos; ++i) {
            RidePhoto photo;
            photo.imageData = Bytes{1, 2, 3};
            photo.sortOrder = i;
            ride->photos.push_back(photo);
        }
        return ride;
    }
    /// Rows of a table as another process sees the file.
    int rowsIn(const char* table) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(storePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        std::string sql = std::string("SELECT count(*) FROM ") + table;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        int rows = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    }
    void selectByDate(const std::vector<std::pair<int, int>>& rows) {
        sidebar()->expandAll();
        QItemSelection selection;
        for (auto [yearRow, row] : rows) {
            QModelIndex index =
                sidebar()->model()->index(row, 0, sidebar()->model()->index(yearRow, 0));
            selection.select(index, index);
        }
        sidebar()->tree()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }
    /// Waits until the running deletion has ended (its progress row hidden again).
    bool deletionEnded() {
        return QTest::qWaitFor([this] { return !sidebar()->deletionProgress()->isVisible(); },
                               30000);
    }
};

TEST_F(DeleteActivityTest, DeleteKeyAsksNamingTheDateThenRemovesTheRecordAndItsPhotos) {
    addRideWithPhotos(2024, 8, 1, 2);
    addRideWithPhotos(2024, 7, 4, 1);
    startApp();
    ASSERT_EQ(rowsIn("RidePhoto"), 3);
    selectByDate({{0, 0}});

    Dialogs::pushAnswer(false);
    QTest::keyClick(sidebar()->tree(), Qt::Key_Delete);
    auto question = Dialogs::lastOf(Kind::confirm);
    ASSERT_TRUE(question);
    EXPECT_EQ(question->title, "Delete Activity?");
    EXPECT_TRUE(question->text.startsWith("The activity of August 1, 2024 at ") &&
                question->text.contains("9:00"))
        << question->text.toStdString();
    EXPECT_EQ(question->detail, "Delete");
    EXPECT_EQ(rowsIn("PersistedRide"), 2);

    Dialogs::pushAnswer(true);
    QTest::keyClick(sidebar()->tree(), Qt::Key_Delete);
    ASSERT_TRUE(deletionEnded());
    EXPECT_EQ(rowsIn("PersistedRide"), 1);
    EXPECT_EQ(rowsIn("RidePhoto"), 1);
    EXPECT_EQ(sidebar()->footerCountText(), "1 activity");
    EXPECT_TRUE(sidebar()->selectedRides().empty());
}

TEST_F(DeleteActivityTest, EditMenuDeletesEverySelectedActivityAfterOneQuestion) {
    addRide(2024, 8, 1);
    addRide(2023, 7, 4);
    addRide(2022, 1, 2);
    startApp();
    selectByDate({{0, 0}, {1, 0}});
    Dialogs::pushAnswer(true);
    QAction* remove = actionNamed(menuBarMenu("Edit"), "Delete Activity…");
    ASSERT_NE(remove, nullptr);
    ASSERT_TRUE(remove->isEnabled());
    remove->trigger();
    auto question = Dialogs::lastOf(Kind::confirm);
    EXPECT_EQ(question->title, "Delete 2 Activities?");
    EXPECT_TRUE(question->text.contains("from July 4, 2023 at")) << question->text.toStdString();
    ASSERT_TRUE(deletionEnded());
    ASSERT_EQ(storedRides().size(), 1u);
    EXPECT_EQ(localYear(storedRides().front()->date), 2022);
    EXPECT_EQ(sidebar()->model()->rowCount(), 1);
}

// Select All in an open year of thousands, then one deletion that shows its progress in the
// window and either takes them all or, when one row refuses, none.
TEST_F(DeleteActivityTest, SelectAllDeletesThousandsTogetherOrNothingWithTheReason) {
    for (int i = 0; i < 1500; ++i) addRide(2024, 1 + i % 12, 1 + i % 28);
    RideRef kept = addRide(2024, 12, 31);
    kept->notes = "keep";
    startApp();
    test::executeSql(storePath,
                     "CREATE TRIGGER keep BEFORE DELETE ON PersistedRide WHEN OLD.notes = 'keep' "
                     "BEGIN SELECT RAISE(ABORT, 'this activity is kept'); END");
    sidebar()->expandAll();
    sidebar()->selectAllShown();
    ASSERT_EQ(sidebar()->selectedRides().size(), 1501u);

    Dialogs::pushAnswer(true);
    sidebar()->deleteSelected();
    EXPECT_EQ(Dialogs::lastOf(Kind::confirm)->title, "Delete 1501 Activities?");
    EXPECT_TRUE(sidebar()->deletionProgress()->isVisible());
    EXPECT_TRUE(sidebar()->deletionProgress()->label().startsWith("Deleting "));
    ASSERT_TRUE(deletionEnded());
    EXPECT_TRUE(waitForAlert("Delete Failed").contains("this activity is kept"));
    EXPECT_EQ(rowsIn("PersistedRide"), 1501);
    EXPECT_EQ(sidebar()->selectedRides().size(), 1501u);

    test::executeSql(storePath, "DROP TRIGGER keep");
    Dialogs::pushAnswer(true);
    sidebar()->deleteSelected();
    ASSERT_TRUE(deletionEnded());
    EXPECT_EQ(rowsIn("PersistedRide"), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sidebar()->footerCountText() == "0 activities"; }));
    EXPECT_EQ(kept->objectID, 0);
    EXPECT_TRUE(app->store().allRecords(false).empty());
}

}  // namespace
}  // namespace vantrel::test
