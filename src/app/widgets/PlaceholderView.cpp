#include "app/widgets/PlaceholderView.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/widgets/Icons.h"

namespace vantrel {

PlaceholderView::PlaceholderView(const std::string& symbol, const QString& title,
                                 const QString& text, QWidget* parent)
    : QWidget(parent),
      m_title(new QLabel(title)),
      m_text(new QLabel(text)),
      m_layout(new QVBoxLayout(this)) {
    QVBoxLayout* layout = m_layout;
    m_title->setTextFormat(Qt::PlainText);
    m_text->setTextFormat(Qt::PlainText);
    layout->addStretch();
    auto* icon = new QLabel;
    icon->setPixmap(
        Icons::pixmap(symbol, palette().color(QPalette::PlaceholderText), 48, devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setAlignment(Qt::AlignCenter);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    m_text->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_title);
    layout->addWidget(m_text);
    layout->addStretch();
}

QPushButton* PlaceholderView::addButton(const QString& text) {
    auto* button = new QPushButton(text);
    button->setAccessibleName(text);
    // Above the closing stretch, centred under the text.
    m_layout->insertWidget(m_layout->count() - 1, button, 0, Qt::AlignHCenter);
    return button;
}

void PlaceholderView::setTitle(const QString& title) {
    m_title->setText(title);
}
QString PlaceholderView::title() const {
    return m_title->text();
}
QString PlaceholderView::text() const {
    return m_text->text();
}

}  // namespace vantrel
