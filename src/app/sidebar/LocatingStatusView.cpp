#include "app/sidebar/LocatingStatusView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

LocatingStatusView::LocatingStatusView(QWidget* parent)
    : QWidget(parent),
      m_caption(new QLabel),
      m_barLabel(new QLabel),
      m_bar(new QProgressBar),
      m_abort(new QPushButton(QStringLiteral("Abort"))),
      m_barRow(new QWidget) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    QFont caption = m_caption->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_caption->setFont(caption);
    m_caption->setForegroundRole(QPalette::PlaceholderText);
    m_caption->setWordWrap(true);
    // The running texts name the places the look-up service returned.
    m_caption->setTextFormat(Qt::PlainText);
    m_barLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(m_caption);

    // The offline line is longer than the sidebar is wide.
    m_barLabel->setWordWrap(true);
    auto* barLayout = new QVBoxLayout(m_barRow);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->addWidget(m_barLabel);
    auto* row = new QHBoxLayout;
    m_bar->setTextVisible(false);
    row->addWidget(m_bar, 1);
    row->addWidget(m_abort);
    barLayout->addLayout(row);
    layout->addWidget(m_barRow);
    connect(m_abort, &QPushButton::clicked, this, &LocatingStatusView::abortRequested);
    setState(false, {}, 0, 0);
}

void LocatingStatusView::setState(bool isGeocoding, const QString& progressText, int current,
                                  int total) {
    bool counted = total >= 1;
    m_caption->setText(progressText);
    m_caption->setVisible(isGeocoding && !counted);
    m_barRow->setVisible(isGeocoding && counted);
    m_barLabel->setText(progressText);
    m_bar->setRange(0, std::max(total, 1));
    m_bar->setValue(std::min(current, std::max(total, 1)));
    // A finished run keeps its closing line visible for a moment after the flag drops.
    setVisible(isGeocoding || !progressText.isEmpty());
    if (!isGeocoding && !progressText.isEmpty()) m_caption->setVisible(true);
}

void LocatingStatusView::setSubject(const QString& subject) {
    m_abort->setAccessibleName(QStringLiteral("Abort %1").arg(subject));
    m_bar->setAccessibleName(QStringLiteral("%1 Progress").arg(subject));
}

QString LocatingStatusView::statusText() const {
    return m_caption->text();
}

}  // namespace vantrel
