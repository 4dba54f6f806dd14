#include "app/widgets/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace vantrel {

namespace {

// Narrower than this, even the ends of a value say nothing.
constexpr int kShortestShownCharacters = 4;

}  // namespace

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
}

QSize ElidedLabel::minimumSizeHint() const {
    if (wordWrap()) return QLabel::minimumSizeHint();
    QMargins margins = contentsMargins();
    int width = fontMetrics().averageCharWidth() * kShortestShownCharacters +
                fontMetrics().horizontalAdvance(QStringLiteral("…"));
    return {std::min(width, QLabel::sizeHint().width()) + margins.left() + margins.right(),
            QLabel::minimumSizeHint().height()};
}

QString ElidedLabel::shownText() const {
    if (wordWrap()) return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    QString shown = shownText();
    if (shown == text()) return QLabel::paintEvent(event);
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), shown, foregroundRole());
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    // The whole text is a hover away whenever it does not fit.
    setToolTip(shownText() == text() ? QString() : text());
}

}  // namespace vantrel
