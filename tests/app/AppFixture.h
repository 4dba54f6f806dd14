#pragma once

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <memory>
#include <optional>

#include "app/detail/ActivityDetailView.h"
#include "app/shell/MainWindow.h"
#include "app/shell/VantrelApp.h"
#include "app/widgets/Dialogs.h"
#include "model/RideStore.h"
#include "support/TestSupport.h"

namespace vantrel::test {

/// A running application on a real store file in a private folder.
class AppFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        Dialogs::clearRecords();
        storePath = env.root() / "store.sqlite";
        store = RideStore::open(storePath);
    }

    RideRef addRide(int year, int month, int day, double distance = 10000, bool deleted = false) {
        auto ride = std::make_shared<PersistedRide>();
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = 9;
        local.tm_isdst = -1;
        ride->date = dateFromUnix(static_cast<double>(std::mktime(&local)));
        ride->duration = 3723;
        ride->distance = distance;
        ride->elevationGain = 150;
        ride->averageHeartRate = 140;
        ride->maxHeartRate = 171;
        ride->calories = 600;
        ride->activityType = "running";
        if (deleted) ride->deletedAt = now();
        store->insert(ride);
        return ride;
    }

    /// Starts the app on the store as filled so far and waits for its first appearance.
    void startApp() {
        store->save();
        app = std::make_unique<VantrelApp>(std::move(store));
        app->mainWindow()->show();
        ASSERT_TRUE(QTest::qWaitFor([this] { return app->mainWindow()->hasLoaded(); }));
        QTest::qWait(50);
    }

    /// Waits for an alert with this title and returns its text (empty, and a failure, if none).
    QString waitForAlert(const QString& title, int timeoutMs = 30000) {
        auto find = [&]() -> std::optional<QString> {
            const auto& records = Dialogs::records();
            for (auto it = records.rbegin(); it != records.rend(); ++it) {
                if (it->kind == DialogRecord::Kind::alert && it->title == title) return it->text;
            }
            return std::nullopt;
        };
        bool shown = QTest::qWaitFor([&] { return find().has_value(); }, timeoutMs);
        EXPECT_TRUE(shown) << "no alert " << title.toStdString();
        return find().value_or(QString());
    }

    /// The `occurrence`-th item with this text in `menu`, once the menu has filled itself (the
    /// Export menu repeats its items per format). Null, and a failure naming the item, if missing.
    static QAction* actionNamed(QMenu* menu, const QString& text, int occurrence = 1) {
        if (!menu) return nullptr;
        emit menu->aboutToShow();
        int seen = 0;
        for (QAction* action : menu->actions()) {
            // Items carry mnemonics ("Import &Vantrel Format…"); people read them without.
            if (QString(action->text()).remove('&') == text && ++seen == occurrence) return action;
        }
        ADD_FAILURE() << "no menu item \"" << text.toStdString() << "\" number " << occurrence
                      << " in " << menu->title().toStdString();
        return nullptr;
    }

    /// Triggers that item; a missing one fails the test instead of crashing it.
    static void triggerAction(QMenu* menu, const QString& text, int occurrence = 1) {
        if (QAction* action = actionNamed(menu, text, occurrence)) action->trigger();
    }

    /// The menu bar's menu with this title, mnemonic ignored; null, and a failure, if missing.
    QMenu* menuBarMenu(const QString& title) {
        for (QAction* top : app->mainWindow()->menuBar()->actions()) {
            if (top->menu() && QString(top->text()).remove('&') == title) return top->menu();
        }
        ADD_FAILURE() << "no menu " << title.toStdString();
        return nullptr;
    }

    /// Selects `ride` in the sidebar, as a click on its row would, and returns the detail view
    /// shown for it (null, and a failure, if none).
    ActivityDetailView* showInDetail(const RideRef& ride) {
        app->mainWindow()->revealActivity(ride->rideID);
        auto* detail = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
        EXPECT_NE(detail, nullptr) << "no detail view for the activity";
        return detail;
    }

    /// The records a second connection to the store file sees, as another process would.
    std::vector<RideRef> storedRides() { return RideStore::open(storePath)->allRecords(false); }

  public:
    // The fixture's world, shared with its tests.
    IsolatedEnvironment env;
    std::filesystem::path storePath;
    std::unique_ptr<RideStore> store;
    std::unique_ptr<VantrelApp> app;
};

}  // namespace vantrel::test
