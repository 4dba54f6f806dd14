#pragma once

#include <QString>
#include <string_view>

class QFormLayout;
class QLabel;
class QWidget;

namespace vantrel::StatRow {

/// A section's form layout as every detail section lays it out: labels left, values right.
QFormLayout* makeForm(QWidget* section);
/// Adds an icon–label–value row. The value label is found by the row's label as object name,
/// so that the detail view can read any row back; screen readers hear the value as its name
/// and the row's label as what labels it. A value too long for the column is shortened in the
/// middle. Returns the value label.
QLabel* add(QFormLayout* form, std::string_view symbol, const QString& label, const QString& value);

}  // namespace vantrel::StatRow
