#pragma once

#include <QDialog>
#include <functional>

#include "model/PersistedRide.h"

class QLabel;
class QToolButton;

namespace vantrel {

class ZoomableImage;

/// A paged view over an activity's photos, opened on the chosen one. Arrow keys, a swipe or
/// the buttons turn the page; the red trash button hands the photo on display to the owner's
/// delete action (which asks first); the close button and Escape close the viewer.
class PhotoViewer : public QDialog {
    Q_OBJECT
  public:
    /// Deletes a photo after asking; true when it was deleted.
    using DeleteAction = std::function<bool(const Uuid& photoID)>;

    PhotoViewer(RideRef ride, int startIndex, DeleteAction onDelete, QWidget* parent = nullptr);

    void setDeleteAction(DeleteAction onDelete) { m_onDelete = std::move(onDelete); }
    int currentIndex() const { return m_index; }
    int pageCount() const;
    ZoomableImage* image() const { return m_image; }

    void showPage(int index);
    void next();
    void previous();
    /// Offers the photo on display to the delete action; closes when none is left.
    void deleteCurrent();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QToolButton* makeButton(const char* symbol, const QString& name, const QColor& colour);
    void updateControls();

    RideRef m_ride;
    DeleteAction m_onDelete;
    std::vector<RidePhoto> m_photos;
    int m_index = 0;
    ZoomableImage* m_image;
    QLabel* m_position;
    QToolButton* m_previous;
    QToolButton* m_next;
};

}  // namespace vantrel
