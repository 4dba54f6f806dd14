#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include "app/AppFixture.h"
#include "app/TestImages.h"
#include "app/detail/ActivityDetailView.h"
#include "app/detail/PhotosSection.h"
#include "app/flows/DropTarget.h"
#include "app/sidebar/HistorySidebar.h"

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

TEST_F(DropTest, ImagesDroppedOnThePhotosSectionArePhotosAndActivityFilesThereAreImports) {
    RideRef ride = addRide(2024, 6, 1);
    startApp();
    app->mainWindow()->sidebar()->revealRides({ride->objectID}, {2024});
    PhotosSection* photos = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        photos = app->mainWindow()->findChild<PhotosSection*>();
        return photos != nullptr;
    }));
    std::filesystem::path image = env.root() / "summit.jpg";
    writeFileBytes(image, testJpeg(64, 48));
    QMimeData picture;
    picture.setUrls({QUrl::fromLocalFile(QString::fromStdString(image.string()))});
    EXPECT_TRUE(send(QEvent::DragEnter, photos, picture));
    EXPECT_FALSE(target()->highlight()->isVisible());
    EXPECT_TRUE(send(QEvent::Drop, photos, picture));
    auto storedPhotos = [&] {
        std::vector<RideRef> rides = RideStore::open(storePath)->allRecords(true);
        return rides.empty() ? std::size_t{0} : rides.front()->photos.size();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return storedPhotos() == 1; }, 20000));
    EXPECT_EQ(storedRides().size(), 1u);

    QMimeData activity;
    activity.setUrls({QUrl::fromLocalFile(
        QString::fromStdString(corpusFile("fitparse__garmin-edge-500-activity.fit").string()))});
    EXPECT_TRUE(send(QEvent::DragEnter, photos, activity));
    EXPECT_TRUE(target()->highlight()->isVisible());
    EXPECT_TRUE(send(QEvent::Drop, photos, activity));
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 1 activity. Skipped 0 duplicates.");
    EXPECT_EQ(storedRides().size(), 2u);
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
