#pragma once

#include <QStyledItemDelegate>

namespace vantrel {

/// Draws the sidebar's year headers and activity rows.
class HistoryDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    /// Row heights by kind, measured once: a year of thousands of rows asks for each of them.
    mutable QSize m_sizes[3];
    void paintYear(QPainter& painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const;
};

}  // namespace vantrel
