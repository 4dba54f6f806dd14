#include "app/flows/DropTarget.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMainWindow>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <QWidget>
#include <algorithm>

#include "app/widgets/Icons.h"

namespace vantrel {

namespace {

/// A frame with a message over the whole window; the drag passes through it to the window.
class DropHighlight : public QWidget {
  public:
    explicit DropHighlight(QWidget* window) : QWidget(window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAccessibleName(QStringLiteral("Drop files to import"));
        hide();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor accent = Icons::accent(palette());
        // What lies beneath fades back, so that the message reads as the one thing to see.
        QColor veil = palette().color(QPalette::Window);
        veil.setAlpha(215);
        painter.fillRect(rect(), veil);
        QColor wash = accent;
        wash.setAlpha(30);
        painter.fillRect(rect(), wash);
        painter.setPen(QPen(accent, 3, Qt::DashLine));
        painter.drawRoundedRect(QRectF(rect()).adjusted(6, 6, -6, -6), 10, 10);
        QFont font = painter.font();
        font.setPointSizeF(font.pointSizeF() * 1.6);
        font.setBold(true);
        painter.setFont(font);
        QRect label =
            painter.fontMetrics().boundingRect(accessibleName()).adjusted(-24, -14, 24, 14);
        label.moveCenter(rect().center());
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawRoundedRect(label, 8, 8);
        painter.setPen(accent);
        painter.drawText(label, Qt::AlignCenter, accessibleName());
    }
};

}  // namespace

DropTarget::DropTarget(QWidget* window)
    : QObject(window), m_window(window), m_highlight(new DropHighlight(window)) {
    window->setAcceptDrops(true);
    // Views inside the window (a web map among them) may take drags of their own; watching the
    // whole application lets the window see every drag over any of its parts first.
    qApp->installEventFilter(this);
}

QStringList DropTarget::localFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files << url.toLocalFile();
    }
    return files;
}

namespace {
constexpr const char* kOwnDropSuffixes = "vantrelOwnDropSuffixes";
}

void DropTarget::keepOwnDrops(QWidget* widget, const QStringList& suffixes) {
    widget->setProperty(kOwnDropSuffixes, suffixes);
}

// A widget inside the window that takes certain files itself (photos onto the photo section)
// gets them; anything else dropped there is still an import.
bool DropTarget::isOwnDrop(QObject* receiver, const QStringList& files) {
    for (auto* widget = qobject_cast<QWidget*>(receiver); widget; widget = widget->parentWidget()) {
        QVariant suffixes = widget->property(kOwnDropSuffixes);
        if (!suffixes.isValid()) continue;
        QStringList accepted = suffixes.toStringList();
        return std::all_of(files.begin(), files.end(), [&](const QString& file) {
            return accepted.contains(QFileInfo(file).suffix().toLower());
        });
    }
    return false;
}

bool DropTarget::belongsToWindow(QObject* receiver) const {
    auto* widget = qobject_cast<QWidget*>(receiver);
    return widget && widget->window() == m_window;
}

void DropTarget::showHighlight() {
    // Over the window's content, leaving its menu bar and toolbar as they are.
    auto* mainWindow = qobject_cast<QMainWindow*>(m_window);
    QWidget* content = mainWindow ? mainWindow->centralWidget() : nullptr;
    m_highlight->setGeometry(content ? content->geometry() : m_window->rect());
    m_highlight->raise();
    m_highlight->show();
}

bool DropTarget::eventFilter(QObject* receiver, QEvent* event) {
    QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::DragLeave &&
        type != QEvent::Drop) {
        return false;
    }
    if (!belongsToWindow(receiver)) return false;
    if (type == QEvent::DragLeave) {
        m_highlight->hide();
        return false;
    }
    auto* drag = static_cast<QDropEvent*>(event);
    QStringList files = localFiles(drag->mimeData());
    if (files.isEmpty()) return false;
    if (isOwnDrop(receiver, files)) {
        m_highlight->hide();
        return false;
    }
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    if (type == QEvent::Drop) {
        m_highlight->hide();
        emit pathsDropped(files);
    } else {
        showHighlight();
    }
    return true;
}

}  // namespace vantrel
