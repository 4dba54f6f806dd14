#pragma once

#include <QTreeView>

namespace vantrel {

/// The sidebar's tree. The arrow keys step over the headers of open years (and their loading
/// rows) from one activity to the next, and landing on a closed year's header keeps the
/// selection, so the keyboard never clears what is selected on the way.
class HistoryTreeView : public QTreeView {
    Q_OBJECT
  public:
    using QTreeView::QTreeView;

  signals:
    /// The Delete key on the list.
    void deletePressed();

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool isRide(const QModelIndex& index) const;
    bool isPassedOver(const QModelIndex& index) const;
};

}  // namespace vantrel
