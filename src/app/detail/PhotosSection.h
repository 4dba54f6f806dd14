#pragma once

#include <QGroupBox>
#include <QPointer>
#include <QStringList>

#include "model/RideStore.h"

class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vantrel {

class PhotoViewer;

/// "Photos": the activity's thumbnails, an "Add" button (or the limit notice at 20 photos),
/// a busy indicator while picked photos are processed, and the last processing failure.
/// Image files dropped onto the section are added the same way as chosen ones.
class PhotosSection : public QGroupBox {
    Q_OBJECT
  public:
    PhotosSection(RideStore& store, RideRef ride, QWidget* parent = nullptr);

    /// Asks for image files and adds them.
    void chooseAndAdd();
    /// Processes the files on a worker thread and attaches them to the activity; photos beyond
    /// the limit are ignored. Returns at once; `importFinished` follows.
    void addFiles(const QStringList& files);
    /// Asks "Delete this photo?" (over `dialogParent`, else this section) and deletes it on
    /// "Delete"; true when it was deleted.
    bool deletePhoto(const Uuid& photoID, QWidget* dialogParent = nullptr);
    /// Opens the viewer on the photo at `index` (in display order).
    PhotoViewer* openViewer(int index);

    bool isImporting() const { return m_importing; }
    QString importError() const;
    int thumbnailCount() const;
    QPushButton* addButton() const { return m_add; }
    QLabel* limitNotice() const { return m_limit; }

    /// The image files the chooser offers and drops accept.
    static const QStringList& imageSuffixes();

  signals:
    void importFinished();
    /// A photo's position, offered when the activity has no recorded route.
    void locationSuggested(double latitude, double longitude);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void refresh();
    void setImporting(bool importing);

    RideStore& m_store;
    RideRef m_ride;
    QGridLayout* m_grid;
    QPushButton* m_add;
    QLabel* m_limit;
    QProgressBar* m_busy;
    QLabel* m_error;
    bool m_importing = false;
};

}  // namespace vantrel
