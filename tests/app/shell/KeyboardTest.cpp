#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>
#include <map>
#include <set>

#include "analysis/TestRoutes.h"
#include "app/AppFixture.h"
#include "app/detail/RideChartView.h"
#include "app/shell/SettingsWindow.h"
#include "app/sidebar/HistorySidebar.h"

// The application as someone uses it who never touches the mouse.
namespace vantrel::test {
namespace {

class KeyboardTest : public AppFixture {
  protected:
    void activate(QWidget* window) {
        window->activateWindow();
        // Not qWaitForWindowActive: it also counts a closed menu of the window as the window.
        ASSERT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }));
    }
    static QWidget* focused() { return QApplication::focusWidget(); }
    /// What a screen reader says of the widget with the keyboard focus.
    static QString focusName() {
        QWidget* widget = focused();
        QAccessibleInterface* element =
            widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
        return element ? element->text(QAccessible::Name) : QString();
    }
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        ASSERT_NE(focused(), nullptr) << "nothing has the keyboard focus";
        QTest::keyClick(focused(), key, modifiers);
    }
    /// Presses Tab (or Shift+Tab) until `reached` holds; false after a whole round of stops.
    static bool tabTo(const std::function<bool()>& reached, bool backwards = false) {
        for (int stop = 0; stop < 60; ++stop) {
            if (reached()) return true;
            QTest::keyClick(focused(), backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                            backwards ? Qt::ShiftModifier : Qt::NoModifier);
        }
        return reached();
    }

    /// The dialogs shown so far, for a failure's message.
    static std::string dialogTitles() {
        std::string titles;
        for (const auto& record : Dialogs::records()) titles += record.title.toStdString() + "; ";
        return titles;
    }

    RideRef addRoutedRide() {
        RideRef ride = addRide(2024, 7, 4);
        ride->setRoutePoints(steadyRoute(61, 60, 150, ride->date));
        ride->duration = 3600;
        return ride;
    }
};

TEST_F(KeyboardTest, TabGoesThroughTheToolbarThenTheSidebarFromTheTop) {
    addRide(2024, 7, 4);
    startApp();
    activate(app->mainWindow());
    app->mainWindow()->toolbarButtons().front()->setFocus(Qt::TabFocusReason);
    QStringList order{focusName()};
    for (int i = 0; i < 6; ++i) {
        press(Qt::Key_Tab);
        order << focusName();
    }
    EXPECT_EQ(order, (QStringList{"Import", "Geocode", "Export", "Settings", "Statistics",
                                  "Filter activities", "History"}));
}

TEST_F(KeyboardTest, EscapeClearsTheFilterAndCtrlZUndoesATrimWhileOffered) {
    RideRef ride = addRoutedRide();
    startApp();
    activate(app->mainWindow());
    QLineEdit* filter = app->mainWindow()->sidebar()->filterField();
    filter->setFocus(Qt::ShortcutFocusReason);
    QTest::keyClicks(filter, "run");
    press(Qt::Key_Escape);
    EXPECT_TRUE(filter->text().isEmpty());

    ActivityDetailView* detail = showInDetail(ride);
    ASSERT_NE(detail, nullptr);
    QAction* undo = app->mainWindow()->undoTrimAction();
    EXPECT_FALSE(undo->isEnabled());
    detail->chart()->setProgress(0.5);
    Dialogs::pushAnswer(true);
    detail->trimActivity();
    ASSERT_TRUE(ride->trimmedAt);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->shortcut(), QKeySequence(QKeySequence::Undo));

    Dialogs::pushAnswer(true);
    QTest::keyClick(app->mainWindow(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->title, "Undo Trim?");
    EXPECT_FALSE(ride->trimmedAt);
    EXPECT_DOUBLE_EQ(ride->duration, 3600);
    EXPECT_FALSE(undo->isEnabled());
}

TEST_F(KeyboardTest, EveryMenuItemHasAMnemonicOfItsOwn) {
    addRide(2024, 7, 4);
    startApp();
    std::vector<QMenu*> menus{app->mainWindow()->importMenu(), app->mainWindow()->geocodeMenu(),
                              app->mainWindow()->exportMenu()};
    for (QAction* top : app->mainWindow()->menuBar()->actions()) menus.push_back(top->menu());
    for (QMenu* menu : menus) {
        emit menu->aboutToShow();
        std::map<QChar, std::set<QString>> itemsByKey;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator()) continue;
            QString text = action->text();
            qsizetype amp = text.indexOf(QLatin1Char('&'));
            ASSERT_TRUE(amp >= 0 && amp + 1 < text.size())
                << menu->title().toStdString() << ": " << text.toStdString();
            // The Export menu repeats its three items for each format; a key then steps
            // between the two.
            itemsByKey[text.at(amp + 1).toLower()].insert(text);
        }
        for (const auto& [key, items] : itemsByKey)
            EXPECT_EQ(items.size(), 1u)
                << menu->title().toStdString() << " uses " << key.toLatin1() << " twice";
    }
}

TEST_F(KeyboardTest, ImportSelectDetailTrimAndSettingsWithTheKeyboardAlone) {
    startApp();
    activate(app->mainWindow());
    QTest::keyClick(app->mainWindow(), Qt::Key_F, Qt::ControlModifier);  // Find…
    ASSERT_EQ(focused(), app->mainWindow()->sidebar()->filterField());

    Dialogs::pushAnswer(QStringList{
        QString::fromStdString(corpusFile("fitparse__garmin-edge-500-activity.fit").string())});
    QTest::keyClick(app->mainWindow(), Qt::Key_O, Qt::ControlModifier);  // Import Files…
    waitForAlert("Import Complete");

    // From the filter into the list, onto the activity, and across to its detail.
    press(Qt::Key_Tab);
    ASSERT_EQ(focusName(), "History");
    press(Qt::Key_Home);
    ASSERT_EQ(app->mainWindow()->sidebar()->selectedRides().size(), 1u);
    auto* detail = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(detail, nullptr);
    ASSERT_TRUE(tabTo([&] { return focused() == detail->chart(); }));
    press(Qt::Key_End);
    for (int i = 0; i < 10; ++i) press(Qt::Key_Left);
    ASSERT_TRUE(detail->scrubberProgress());
    EXPECT_NEAR(*detail->scrubberProgress(), 0.9, 1e-9);

    // The menu opens with Space; its mnemonic picks Trim; the question is answered with Trim.
    ASSERT_TRUE(tabTo([&] { return focused() == detail->moreActionsButton(); }, true));
    // The menu runs its own loop; the key goes to it once it is up, however long that takes.
    QTimer picker;
    picker.setInterval(20);
    QObject::connect(&picker, &QTimer::timeout, [&picker] {
        if (QWidget* menu = QApplication::activePopupWidget()) {
            picker.stop();
            QTest::keyClick(menu, Qt::Key_T);
        }
    });
    picker.start();
    Dialogs::pushAnswer(true);
    press(Qt::Key_Space);
    // A trim rebuilds the detail, so the view is looked up afresh each time.
    auto shown = [&] {
        return qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    };
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return shown() && shown()->ride()->trimmedAt.has_value(); }, 5000))
        << dialogTitles();
    ASSERT_TRUE(app->mainWindow()->undoTrimAction()->isEnabled());
    Dialogs::pushAnswer(true);
    // The shortcut belongs to the window, wherever the focus went when the detail was rebuilt.
    // The stand-in desktop leaves the closed menu active, where a real one hands back.
    activate(app->mainWindow());
    QTest::keyClick(app->mainWindow(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown() && !shown()->ride()->trimmedAt; }, 5000))
        << dialogTitles();

    // Settings… from the toolbar; Escape closes it again.
    ASSERT_TRUE(tabTo([&] { return focusName() == "Settings"; }, true));
    press(Qt::Key_Space);
    SettingsWindow* settings = app->settingsWindow();
    ASSERT_TRUE(QTest::qWaitFor([settings] { return QApplication::activeWindow() == settings; }));
    ASSERT_TRUE(tabTo([&] { return focused() == settings->unitSystemChoice(); }));
    int unit = settings->unitSystemChoice()->currentIndex();
    press(unit == 0 ? Qt::Key_Down : Qt::Key_Up);
    EXPECT_NE(settings->unitSystemChoice()->currentIndex(), unit);
    press(Qt::Key_Escape);
    EXPECT_FALSE(settings->isVisible());
}

}  // namespace
}  // namespace vantrel::test
