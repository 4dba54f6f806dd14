#pragma once

#include <QToolButton>

class QMenu;

namespace vantrel {

/// A tool button that opens its menu at once ("More Actions", the toolbar's Import, Geocode
/// and Export). Qt's own accessibility only shows a tool button's menu when the button is split
/// in two, so screen readers would never find these menus; this button presents its menu as
/// its child, with an action that opens it.
class MenuButton : public QToolButton {
    Q_OBJECT
  public:
    /// `menu` (which may come later through `setMenu`) is best made a child of the button, so
    /// that the menu's parent is the button for assistive technology too.
    MenuButton(const QString& accessibleName, QMenu* menu, QWidget* parent = nullptr);
};

}  // namespace vantrel
