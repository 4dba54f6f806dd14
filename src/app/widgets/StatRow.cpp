#include "app/widgets/StatRow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "app/widgets/ElidedLabel.h"
#include "app/widgets/Icons.h"

namespace vantrel::StatRow {

QFormLayout* makeForm(QWidget* section) {
    auto* form = new QFormLayout(section);
    form->setLabelAlignment(Qt::AlignLeft);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    return form;
}

QLabel* add(QFormLayout* form, std::string_view symbol, const QString& label,
            const QString& value) {
    QWidget* section = form->parentWidget();
    QPalette palette = section ? section->palette() : QPalette();
    // Icon, label and value are siblings, so that the label's buddy link is what assistive
    // technology reports as the value's label.
    auto* icon = new QLabel(section);
    icon->setPixmap(Icons::pixmap(symbol, Icons::accent(palette), 14, 2.0));
    icon->setFixedWidth(18);
    auto* name = new QLabel(label, section);
    name->setForegroundRole(QPalette::PlaceholderText);
    auto* valueLabel = new ElidedLabel(value, section);
    valueLabel->setTextFormat(Qt::PlainText);  // places and sources come from outside
    valueLabel->setObjectName(label);
    valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    name->setBuddy(valueLabel);

    auto* labelBox = new QHBoxLayout;
    labelBox->setContentsMargins(0, 0, 0, 0);
    labelBox->addWidget(icon);
    labelBox->addWidget(name, 1);
    int row = form->rowCount();
    form->setLayout(row, QFormLayout::LabelRole, labelBox);
    form->setWidget(row, QFormLayout::FieldRole, valueLabel);
    return valueLabel;
}

}  // namespace vantrel::StatRow
