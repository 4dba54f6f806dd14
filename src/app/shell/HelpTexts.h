#pragma once

#include <QString>

/// The texts of the information alerts behind the menus' help items.
namespace vantrel::HelpTexts {

QString stravaExport();
QString garminExport();
QString vantrelFormat();
QString geocodeMissing();

}  // namespace vantrel::HelpTexts
