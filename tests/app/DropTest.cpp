#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include "AppFixture.h"
#include "app/DropTarget.h"
#include "app/HistorySidebar.h"

namespace vantrel::test {
namespace {

class DropTest : public AppFixture {
  protected:
    DropTarget* target() { return app->mainWindow()->findChild<DropTarget*>(); }
    QWidget* list() { return app->mainWindow()->sidebar()->tree()->viewport(); }

    /// Sends one drag event of `type` carrying `data` to `receiver`; whether it was accepted.
    bool send(QEvent::Type type, QWidget* receiver, const QMimeData& data) {
        QPoint point = receiver->rect().center();
        if (type == QEvent::DragLeave) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(receiver, &leave);
            return leave.isAccepted();
        }
        if (type == QEvent::Drop) {
            QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(receiver, &drop);
            return drop.isAccepted();
        }
        QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier, type);
        QApplication::sendEvent(receiver, &move);
        return move.isAccepted();
    }
};

TEST_F(DropTest, FilesAndFoldersDroppedOnTheWindowAreImportedWithAHighlightWhileDragging) {
    startApp();
    TempDir folder;
    std::filesystem::copy(corpusFile("georust__ridewithgps-wahoo.gpx"), folder.path());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(
                      corpusFile("fitparse__garmin-edge-500-activity.fit").string())),
                  QUrl::fromLocalFile(QString::fromStdString(folder.path().string()))});

    ASSERT_NE(target(), nullptr);
    EXPECT_FALSE(target()->highlight()->isVisible());
    EXPECT_TRUE(send(QEvent::DragEnter, list(), data));
    EXPECT_TRUE(target()->highlight()->isVisible());
    EXPECT_EQ(target()->highlight()->geometry(), app->mainWindow()->centralWidget()->geometry());
    EXPECT_TRUE(send(QEvent::DragMove, list(), data));
    EXPECT_TRUE(send(QEvent::Drop, list(), data));
    EXPECT_FALSE(target()->highlight()->isVisible());

    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 2 activities. Skipped 0 duplicates.");
    EXPECT_EQ(storedRides().size(), 2u);
    EXPECT_EQ(app->mainWindow()->sidebar()->selectedRides().size(), 2u);
}

TEST_F(DropTest, DragsWithoutFilesAreRefusedAndLeavingRemovesTheHighlight) {
    startApp();
    QMimeData text;
    text.setText("just words");
    EXPECT_FALSE(send(QEvent::DragEnter, list(), text));
    EXPECT_FALSE(target()->highlight()->isVisible());
    QMimeData web;
    web.setUrls({QUrl("https://example.com/ride.gpx")});
    EXPECT_FALSE(send(QEvent::DragEnter, list(), web));

    QMimeData file;
    file.setUrls({QUrl::fromLocalFile("/nonexistent/ride.gpx")});
    EXPECT_TRUE(send(QEvent::DragEnter, list(), file));
    send(QEvent::DragLeave, list(), file);
    EXPECT_FALSE(target()->highlight()->isVisible());
    QTest::qWait(100);
    EXPECT_TRUE(Dialogs::records().empty());
}

}  // namespace
}  // namespace vantrel::test
