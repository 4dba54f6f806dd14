#pragma once

#include <QObject>
#include <QStringList>

class QMimeData;
class QWidget;

namespace vantrel {

/// Lets files, folders and ZIP archives be dropped anywhere on a window: while local files are
/// dragged over it the window is highlighted, and a drop hands their paths on.
class DropTarget : public QObject {
    Q_OBJECT
  public:
    explicit DropTarget(QWidget* window);

    /// The highlight shown while dragging (for tests and screenshots).
    QWidget* highlight() const { return m_highlight; }
    /// The local files among dragged data; empty when there are none.
    static QStringList localFiles(const QMimeData* data);
    /// Lets `widget` take drops of its own: files that all carry one of `suffixes` (lower case,
    /// without the dot) dropped on it go to the widget, not to the window's import.
    static void keepOwnDrops(QWidget* widget, const QStringList& suffixes);

  signals:
    void pathsDropped(const QStringList& paths);

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

  private:
    bool belongsToWindow(QObject* receiver) const;
    static bool isOwnDrop(QObject* receiver, const QStringList& files);
    void showHighlight();

    QWidget* m_window;
    QWidget* m_highlight;
};

}  // namespace vantrel
