#include "app/widgets/MenuButton.h"

#include <QAccessibleWidget>
#include <QMenu>

namespace vantrel {

namespace {

class MenuButtonAccessible : public QAccessibleWidget {
  public:
    explicit MenuButtonAccessible(MenuButton* button)
        : QAccessibleWidget(button, QAccessible::ButtonMenu) {}

    int childCount() const override { return menu() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && menu() ? QAccessible::queryAccessibleInterface(menu()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && menu() && child->object() == menu() ? 0 : -1;
    }
    QString text(QAccessible::Text kind) const override {
        QString own = QAccessibleWidget::text(kind);
        if (!own.isEmpty() || kind != QAccessible::Name) return own;
        return button()->text().remove(QLatin1Char('&'));
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.hasPopup = true;
        state.expanded = menu() && menu()->isVisible();
        state.collapsed = !state.expanded;
        return state;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& name) override {
        // Queued: the menu runs its own event loop, which must not block the caller.
        if (name == showMenuAction() || name == pressAction())
            QMetaObject::invokeMethod(button(), &QToolButton::showMenu, Qt::QueuedConnection);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
    QMenu* menu() const { return button()->menu(); }
};

QAccessibleInterface* makeAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("vantrel::MenuButton") && object && object->isWidgetType())
        return new MenuButtonAccessible(static_cast<MenuButton*>(object));
    return nullptr;
}

}  // namespace

MenuButton::MenuButton(const QString& accessibleName, QMenu* menu, QWidget* parent)
    : QToolButton(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(makeAccessible);
        return true;
    }();
    (void)installed;
    setAccessibleName(accessibleName);
    setPopupMode(QToolButton::InstantPopup);
    setMenu(menu);
}

}  // namespace vantrel
