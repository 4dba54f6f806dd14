#include "app/widgets/ProgressRow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

namespace vantrel {

namespace {
constexpr int kSteps = 1000;
}

ProgressRow::ProgressRow(QWidget* parent)
    : QWidget(parent), m_label(new QLabel), m_bar(new QProgressBar) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 4);
    m_label->setTextFormat(Qt::PlainText);  // running texts name files and places
    m_bar->setRange(0, kSteps);
    m_bar->setTextVisible(false);
    layout->addWidget(m_label);
    layout->addWidget(m_bar);
}

void ProgressRow::setProgress(const QString& label, double fraction) {
    m_label->setText(label);
    m_bar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * kSteps));
}

QString ProgressRow::label() const {
    return m_label->text();
}
double ProgressRow::fraction() const {
    return static_cast<double>(m_bar->value()) / kSteps;
}

}  // namespace vantrel
