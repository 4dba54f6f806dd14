#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QWheelEvent>

#include "app/AppFixture.h"
#include "app/TestImages.h"
#include "app/detail/ActivityDetailView.h"
#include "app/detail/PhotoViewer.h"
#include "app/detail/PhotosSection.h"
#include "app/detail/ZoomableImage.h"
#include "logging/PersistentLogger.h"

namespace vantrel::test {
namespace {

using Kind = DialogRecord::Kind;

Bytes jpeg(int width, int height, bool withPosition = false) {
    return testJpeg(width, height, withPosition);
}

class PhotosSectionTest : public AppFixture {
  protected:
    RideRef rideWithPhotos(int count) {
        RideRef ride = addRide(2024, 5, 1);
        Bytes image = jpeg(64, 48);
        for (int i = 0; i < count; ++i) {
            RidePhoto photo;
            photo.imageData = image;
            photo.thumbnailData = image;
            photo.sortOrder = i;
            ride->photos.push_back(photo);
        }
        store->save();
        return ride;
    }

    std::unique_ptr<ActivityDetailView> open(const RideRef& ride) {
        store->save();
        return std::make_unique<ActivityDetailView>(
            *store, AppContext{Preferences::shared(), PersistentLogger::shared()}, ride,
            UnitSystem::metric, nullptr);
    }

    /// The activity as another connection to the store file reads it.
    RideRef stored(const Uuid& rideID) {
        m_other = RideStore::open(storePath);
        return m_other->fetchByRideID(rideID);
    }

    QString writeFile(const std::string& name, const Bytes& bytes) {
        writeFileBytes(env.root() / name, bytes);
        return QString::fromStdString((env.root() / name).string());
    }

    void waitForImport(PhotosSection* section) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !section->isImporting(); }, 20000));
    }

  private:
    std::unique_ptr<RideStore> m_other;
};

TEST_F(PhotosSectionTest, AddIsOfferedUpToTheLimit) {
    auto view = open(rideWithPhotos(19));
    auto* photos = view->findChild<PhotosSection*>();
    ASSERT_NE(photos, nullptr);
    EXPECT_EQ(photos->thumbnailCount(), 19);
    EXPECT_FALSE(photos->addButton()->isHidden());
    EXPECT_EQ(photos->addButton()->text(), "Add");
    EXPECT_TRUE(photos->limitNotice()->isHidden());

    view = open(rideWithPhotos(20));
    photos = view->findChild<PhotosSection*>();
    EXPECT_TRUE(photos->addButton()->isHidden());
    EXPECT_FALSE(photos->limitNotice()->isHidden());
    EXPECT_EQ(photos->limitNotice()->text(), "Maximum of 20 photos per activity.");
}

TEST_F(PhotosSectionTest, ChosenFilesAreProcessedInTheBackgroundAndBadOnesReported) {
    RideRef ride = rideWithPhotos(0);
    auto view = open(ride);
    auto* photos = view->findChild<PhotosSection*>();
    QString good = writeFile("good.jpg", jpeg(4032, 3024));
    QString bad = writeFile("bad.jpg", Bytes{'n', 'o', 't'});
    Dialogs::pushAnswer(QStringList{good, bad});
    photos->addButton()->click();
    ASSERT_TRUE(Dialogs::lastOf(Kind::openFiles));
    EXPECT_TRUE(Dialogs::lastOf(Kind::openFiles)->text.contains("*.heic"));
    EXPECT_TRUE(photos->isImporting());
    EXPECT_FALSE(photos->findChild<QProgressBar*>()->isHidden());
    EXPECT_FALSE(photos->addButton()->isEnabled());
    waitForImport(photos);
    EXPECT_TRUE(photos->findChild<QProgressBar*>()->isHidden());
    EXPECT_EQ(photos->importError(),
              "Could not process one of the photos.\n"
              "bad.jpg: not a photo format");
    EXPECT_EQ(photos->thumbnailCount(), 1);
    RideRef saved = stored(ride->rideID);
    ASSERT_EQ(saved->photos.size(), 1u);
    QImage full = QImage::fromData(saved->photos[0].imageData->data(),
                                   static_cast<int>(saved->photos[0].imageData->size()));
    EXPECT_EQ(full.size(), QSize(2048, 1536));
}

TEST_F(PhotosSectionTest, DroppedImageFilesAreAddedAndOtherFilesRefused) {
    RideRef ride = rideWithPhotos(0);
    auto view = open(ride);
    auto* photos = view->findChild<PhotosSection*>();
    QMimeData textOnly;
    textOnly.setUrls({QUrl::fromLocalFile(writeFile("notes.txt", Bytes{'x'}))});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &textOnly, Qt::LeftButton, {});
    QCoreApplication::sendEvent(photos, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData images;
    images.setUrls({QUrl::fromLocalFile(writeFile("a.png", jpeg(32, 32))),
                    QUrl::fromLocalFile(writeFile("b.txt", Bytes{'x'}))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &images, Qt::LeftButton, {});
    QCoreApplication::sendEvent(photos, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &images, Qt::LeftButton, {});
    QCoreApplication::sendEvent(photos, &drop);
    waitForImport(photos);
    EXPECT_EQ(stored(ride->rideID)->photos.size(), 1u);
    EXPECT_EQ(photos->importError(), "");
}

TEST_F(PhotosSectionTest, PhotoPositionPlacesAnActivityWithoutRouteOnly) {
    RideRef ride = rideWithPhotos(0);
    auto view = open(ride);
    auto* photos = view->findChild<PhotosSection*>();
    photos->addFiles({writeFile("located.jpg", jpeg(32, 32, true))});
    ASSERT_TRUE(QTest::qWaitFor([&] { return ride->routePoints().size() == 1; }, 20000));
    EXPECT_NEAR(ride->routePoints()[0].coordinate.latitude, 47.3769, 1e-4);
    EXPECT_EQ(stored(ride->rideID)->routePoints().size(), 1u);

    RideRef routed = rideWithPhotos(0);
    RoutePoint a, b;
    a.timestamp = routed->date;
    b.timestamp = routed->date + 10;
    b.coordinate = {0.001, 0};
    routed->setRoutePoints({a, b});
    view = open(routed);
    photos = view->findChild<PhotosSection*>();
    photos->addFiles({writeFile("located2.jpg", jpeg(32, 32, true))});
    waitForImport(photos);
    QTest::qWait(20);
    EXPECT_EQ(routed->routePoints().size(), 2u);
    EXPECT_EQ(routed->photos.size(), 1u);
}

TEST_F(PhotosSectionTest, ViewerPagesAndDeletesTheShownPhotoAfterAsking) {
    RideRef ride = rideWithPhotos(3);
    std::vector<RidePhoto> original = ride->sortedPhotos();
    auto view = open(ride);
    auto* photos = view->findChild<PhotosSection*>();
    PhotoViewer* viewer = photos->openViewer(1);
    viewer->show();
    EXPECT_EQ(viewer->currentIndex(), 1);
    EXPECT_EQ(viewer->image()->image().size(), QSize(64, 48));
    QTest::keyClick(viewer, Qt::Key_Right);
    EXPECT_EQ(viewer->currentIndex(), 2);
    QTest::keyClick(viewer, Qt::Key_Right);  // stays on the last page
    EXPECT_EQ(viewer->currentIndex(), 2);
    QTest::keyClick(viewer, Qt::Key_Left);
    EXPECT_EQ(viewer->currentIndex(), 1);

    Dialogs::pushAnswer(false);
    viewer->deleteCurrent();
    auto asked = Dialogs::lastOf(Kind::confirm);
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->title, "Delete this photo?");
    EXPECT_EQ(asked->text, "This cannot be undone.");
    EXPECT_EQ(asked->detail, "Delete");
    EXPECT_EQ(stored(ride->rideID)->photos.size(), 3u);

    Dialogs::pushAnswer(true);
    viewer->deleteCurrent();
    RideRef saved = stored(ride->rideID);
    ASSERT_EQ(saved->photos.size(), 2u);
    for (const RidePhoto& photo : saved->photos) EXPECT_NE(photo.photoID, original[1].photoID);
    EXPECT_EQ(viewer->pageCount(), 2);
    EXPECT_EQ(viewer->currentIndex(), 1);
    EXPECT_EQ(photos->thumbnailCount(), 2);

    QPointer<PhotoViewer> closing(viewer);
    QTest::keyClick(viewer, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return closing.isNull(); }));
}

TEST_F(PhotosSectionTest, ZoomIsClampedIgnoresTinyChangesAndSnapsBack) {
    ZoomableImage image;
    image.resize(400, 300);
    image.magnify(1.04);
    EXPECT_DOUBLE_EQ(image.zoom(), 1.04);
    image.endMagnification();
    EXPECT_DOUBLE_EQ(image.zoom(), 1.0);

    image.magnify(7);
    EXPECT_DOUBLE_EQ(image.zoom(), 5.0);
    image.endMagnification();
    EXPECT_DOUBLE_EQ(image.zoom(), 5.0);
    image.magnify(1.001);  // below 0.01: ignored
    EXPECT_DOUBLE_EQ(image.zoom(), 5.0);
    image.magnify(0.1);
    EXPECT_DOUBLE_EQ(image.zoom(), 1.0);
    image.endMagnification();

    // Ctrl + wheel zooms as a pinch does; a plain wheel does not.
    QWheelEvent plain(QPointF(200, 150), QPointF(200, 150), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&image, &plain);
    EXPECT_DOUBLE_EQ(image.zoom(), 1.0);
    QWheelEvent zoomIn(QPointF(200, 150), QPointF(200, 150), {}, QPoint(0, 240), Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&image, &zoomIn);
    EXPECT_NEAR(image.zoom(), 1.21, 1e-9);
}

}  // namespace
}  // namespace vantrel::test
