#include "app/sidebar/HistoryTreeView.h"

#include <QKeyEvent>

#include "app/sidebar/HistoryModel.h"

namespace vantrel {

bool HistoryTreeView::isRide(const QModelIndex& index) const {
    return index.isValid() && index.data(HistoryModel::kItemKindRole).toInt() ==
                                  static_cast<int>(HistoryModel::ItemKind::ride);
}

bool HistoryTreeView::isPassedOver(const QModelIndex& index) const {
    if (!index.isValid() || isRide(index)) return false;
    // A closed year's header is a stop: it is the only way to reach the year by keyboard.
    bool header = !index.parent().isValid();
    return !header || isExpanded(index);
}

QModelIndex HistoryTreeView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    QModelIndex next = QTreeView::moveCursor(action, modifiers);
    bool upward = action == MoveUp || action == MovePageUp || action == MoveEnd;
    bool vertical = upward || action == MoveDown || action == MovePageDown || action == MoveHome;
    if (!vertical) return next;
    while (isPassedOver(next)) next = upward ? indexAbove(next) : indexBelow(next);
    // Nothing but headers that way: stay where the cursor is.
    return next.isValid() ? next : currentIndex();
}

QItemSelectionModel::SelectionFlags HistoryTreeView::selectionCommand(const QModelIndex& index,
                                                                      const QEvent* event) const {
    if (index.isValid() && !isRide(index)) return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}

void HistoryTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit deletePressed();
        return event->accept();
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace vantrel
