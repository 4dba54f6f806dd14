#pragma once

#include <QString>
#include <string_view>

class QFormLayout;
class QLabel;
class QWidget;

namespace vantrel::StatRow {

/// A section's form layout as every detail section lays it out: labels left, values right.
QFormLayout* makeForm(QWidget* section);
/// Adds an icon–label–value row. The value label is named after the row's label, so that the
/// detail view can read any row back by its label. Returns the value label.
QLabel* add(QFormLayout* form, std::string_view symbol, const QString& label, const QString& value);

}  // namespace vantrel::StatRow
