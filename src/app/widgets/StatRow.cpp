#include "app/widgets/StatRow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "app/widgets/Icons.h"

namespace vantrel::StatRow {

namespace {

QWidget* labelWithSymbol(std::string_view symbol, const QString& text, const QPalette& palette) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel;
    icon->setPixmap(Icons::pixmap(symbol, palette.color(QPalette::Highlight), 14, 2.0));
    icon->setFixedWidth(18);
    layout->addWidget(icon);
    auto* label = new QLabel(text);
    label->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(label, 1);
    return box;
}

}  // namespace

QFormLayout* makeForm(QWidget* section) {
    auto* form = new QFormLayout(section);
    form->setLabelAlignment(Qt::AlignLeft);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return form;
}

QLabel* add(QFormLayout* form, std::string_view symbol, const QString& label,
            const QString& value) {
    auto* valueLabel = new QLabel(value);
    valueLabel->setTextFormat(Qt::PlainText);  // places and sources come from outside
    valueLabel->setObjectName(label);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valueLabel->setAccessibleName(label);
    QWidget* parent = form->parentWidget();
    form->addRow(labelWithSymbol(symbol, label, parent ? parent->palette() : QPalette()),
                 valueLabel);
    return valueLabel;
}

}  // namespace vantrel::StatRow
