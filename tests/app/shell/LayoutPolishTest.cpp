#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QTreeView>

#include "app/AppFixture.h"
#include "app/shell/SettingsWindow.h"
#include "app/sidebar/HistoryDelegate.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"
#include "model/Preferences.h"

namespace vantrel::test {
namespace {

using LayoutPolishTest = AppFixture;

/// Runs `inspect` on the message box the next call shows, then cancels it.
void inspectNextBox(const std::function<void(QMessageBox&)>& inspect) {
    QTimer::singleShot(0, [inspect] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        inspect(*box);
        box->reject();
    });
}

TEST_F(LayoutPolishTest, YearPickerSitsAboveTheButtonsOfAWideEnoughAlert) {
    Dialogs::setTestMode(false);
    bool inspected = false;
    inspectNextBox([&](QMessageBox& box) {
        auto* picker = box.findChild<QComboBox*>();
        auto* buttons = box.findChild<QDialogButtonBox*>();
        ASSERT_TRUE(picker && buttons);
        EXPECT_LT(picker->geometry().bottom(), buttons->geometry().top());
        EXPECT_GE(box.width(), 420);
        inspected = true;
    });
    auto year = Dialogs::pickYear(nullptr, {{2024, 1}, {2023, 2}});
    Dialogs::setTestMode(true);
    EXPECT_TRUE(inspected);
    EXPECT_FALSE(year);
}

TEST_F(LayoutPolishTest, RowWithoutActivityKindLeavesNoBlankLine) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int year = local.tm_year + 1900;
    addRide(year, 1, 2);
    addRide(year, 1, 1)->activityType.reset();
    startApp();
    HistorySidebar* sidebar = app->mainWindow()->sidebar();
    HistoryModel* model = sidebar->model();
    sidebar->expandYear(year);
    QModelIndex yearIndex = model->yearIndex(year);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(yearIndex) == 2; }));
    QStyleOptionViewItem option;
    option.font = sidebar->font();
    auto* delegate = sidebar->tree()->itemDelegate();
    int withKind = delegate->sizeHint(option, model->index(0, 0, yearIndex)).height();
    int withoutKind = delegate->sizeHint(option, model->index(1, 0, yearIndex)).height();
    EXPECT_LT(withoutKind, withKind);
}

TEST_F(LayoutPolishTest, WindowsOpenOnTheScreenAndSettingsOverTheMainWindow) {
    QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    {
        // Remembered on a screen three times as large (or at a smaller scale factor).
        QWidget large;
        large.setGeometry(available.left() + 100, available.top() + 50, available.width() * 3,
                          available.height() * 3);
        Preferences::shared().setString("mainWindowGeometry",
                                        large.saveGeometry().toBase64().toStdString());
    }
    startApp();
    QRect main = app->mainWindow()->frameGeometry();
    EXPECT_TRUE(available.contains(main))
        << main.x() << "," << main.y() << " " << main.width() << "x" << main.height();

    app->showSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app->settingsWindow()));
    QPoint offset = app->settingsWindow()->frameGeometry().center() - main.center();
    EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
}

}  // namespace
}  // namespace vantrel::test
