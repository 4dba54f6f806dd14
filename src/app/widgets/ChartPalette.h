#pragma once

class QChart;
class QPalette;

namespace vantrel::ChartPalette {

/// Dresses a chart in the colours of `palette`: the ground, the title, the legend and every
/// axis it has now (call it again after adding axes). Qt Charts draws black on white whatever
/// the desktop's theme, which leaves a line in the theme's text colour invisible on a dark
/// desktop. Lines keep their own colours; axis labels that already have a colour of their own
/// (the heart-rate axis) should be given it again afterwards.
void follow(QChart* chart, const QPalette& palette);

}  // namespace vantrel::ChartPalette
