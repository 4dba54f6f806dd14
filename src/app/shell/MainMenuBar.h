#pragma once

#include <QString>

namespace vantrel {

class VantrelApp;

/// The main window's menu bar: File, Edit, View and Help with the usual desktop shortcuts.
/// The toolbar's menus stay; the menu bar reaches the same commands.
namespace MainMenuBar {

void install(VantrelApp& app);
/// The About box's text: version, licence and the libraries the program is built on.
QString aboutText();

}  // namespace MainMenuBar

}  // namespace vantrel
