#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <fstream>

#include "app/AppFixture.h"
#include "app/flows/AutoImport.h"
#include "app/shell/AutoImportSection.h"
#include "app/shell/SettingsWindow.h"
#include "app/sidebar/HistorySidebar.h"
#include "watch/WatchSettings.h"

namespace vantrel::test {
namespace {

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

int listedActivities(const MainWindow& window) {
    std::int64_t total = 0;
    for (const auto& summary : window.yearSummaries()) total += summary.count;
    return static_cast<int>(total);
}

// Files copied in whole, as a sync tool moves a finished file into place.
void moveIn(const std::vector<std::string>& corpusNames, const std::filesystem::path& folder,
            const std::filesystem::path& staging) {
    std::filesystem::create_directories(staging);
    for (const auto& name : corpusNames) {
        std::filesystem::copy_file(corpusFile(name), staging / name);
        std::filesystem::rename(staging / name, folder / name);
    }
}

/// A notification service on a test session bus, as a desktop runs one: it answers Notify with
/// a new number and keeps what it was asked to show.
class NotificationServer : public QDBusVirtualObject {
  public:
    struct Shown {
        uint id;
        QString summary;
        QString body;
        QStringList actions;
    };

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify" || message.arguments().size() != 8) return false;
        const QList<QVariant> args = message.arguments();
        shown.push_back({static_cast<uint>(shown.size() + 1), args[3].toString(),
                         args[4].toString(), args[5].toStringList()});
        connection.send(message.createReply(QVariant::fromValue(shown.back().id)));
        return true;
    }

    std::vector<Shown> shown;
};

class AutoImportTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        std::filesystem::create_directories(env.root() / "runtime");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((env.root() / "runtime").string()));
        // No notification reaches the desktop of whoever runs the tests.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "");
        std::filesystem::create_directories(watched);
        // The tests' own folders only: no device that happens to be plugged in.
        Preferences::shared().setBoolean(kImportFromDevicesKey, false);
    }
    void TearDown() override {
        app.reset();
        qunsetenv("XDG_RUNTIME_DIR");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        if (bus.state() != QProcess::NotRunning) {
            bus.kill();
            bus.waitForFinished();
        }
    }

    AutoImportSection* section() { return app->settingsWindow()->autoImportSection(); }

    /// Starts a session bus of its own; empty when dbus-daemon cannot run here.
    QString startSessionBus() {
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!bus.waitForStarted() || !bus.waitForReadyRead(10000)) return {};
        return QString::fromUtf8(bus.readLine()).trimmed();
    }

  public:
    std::filesystem::path watched = env.root() / "Phone";
    QProcess bus;
};

TEST_F(AutoImportTest, AFolderWatchedFromTheSettingsFillsTheSidebar) {
    startApp();
    app->showSettings();
    EXPECT_FALSE(section()->devicesCheckBox()->isChecked());
    EXPECT_FALSE(section()->removeButton()->isEnabled());

    Dialogs::pushAnswer(pathText(watched));
    auto* add = section()->findChild<QPushButton*>();
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->accessibleName(), "Add Watched Folder");
    QTest::mouseClick(add, Qt::LeftButton);
    ASSERT_EQ(section()->folderList()->count(), 1);
    EXPECT_EQ(section()->folderList()->item(0)->text(), pathText(watched));
    EXPECT_EQ(WatchSettings::load(Preferences::shared()).watchedFolders,
              std::vector<std::filesystem::path>{watched});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return section()->statusLabel()->text() == "Watching 1 folder."; }, 10000))
        << section()->statusLabel()->text().toStdString();

    moveIn({"fitparse__garmin-edge-500-activity.fit", "togeojson__garmin-connect-run.gpx"}, watched,
           env.root() / "staging");
    ASSERT_TRUE(QTest::qWaitFor([&] { return listedActivities(*app->mainWindow()) == 2; }, 20000));
    EXPECT_EQ(storedRides().size(), 2u);
    // Nothing is selected behind the user's back.
    EXPECT_TRUE(app->mainWindow()->sidebar()->selectedRides().size() <= 1);

    section()->folderList()->item(0)->setSelected(true);
    QTest::mouseClick(section()->removeButton(), Qt::LeftButton);
    EXPECT_EQ(section()->folderList()->count(), 0);
    EXPECT_TRUE(WatchSettings::load(Preferences::shared()).watchedFolders.empty());
    EXPECT_EQ(section()->statusLabel()->text(), "Off.");
    EXPECT_FALSE(app->autoImport()->isWatching());
}

// Without a notification service the activities come in all the same; with one, a notification
// names them and its action selects them.
TEST_F(AutoImportTest, NewActivitiesAreAnnouncedAndTheNotificationSelectsThem) {
    QString address = startSessionBus();
    if (address.isEmpty()) GTEST_SKIP() << "dbus-daemon cannot start a session bus here";
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    addWatchedFolder(watched, Preferences::shared());
    startApp();
    app->startAutoImport();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->autoImport()->status() == "Watching 1 folder."; },
                                10000));
    moveIn({"togeojson__garmin-connect-run.gpx"}, watched, env.root() / "staging");
    ASSERT_TRUE(QTest::qWaitFor([&] { return listedActivities(*app->mainWindow()) == 1; }, 20000));

    QDBusConnection service = QDBusConnection::connectToBus(address, "notification-server");
    ASSERT_TRUE(service.isConnected());
    NotificationServer server;
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/Notifications", &server));
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));

    // A folder synced in whole: what it holds arrives at once and is announced at once.
    std::filesystem::path synced = env.root() / "staging" / "Synced";
    std::filesystem::create_directories(synced);
    for (const char* name :
         {"fitparse__garmin-edge-500-activity.fit", "gpsbabel__garmin-forerunner-10.fit",
          "fitparse__wahoo-elemnt-2019-02-17.fit"})
        std::filesystem::copy_file(corpusFile(name), synced / name);
    std::ofstream(synced / "broken.fit") << "not an activity";
    std::filesystem::rename(synced, watched / "Synced");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.shown.size() >= 1; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listedActivities(*app->mainWindow()) == 4; }, 5000));
    QTest::qWait(500);
    ASSERT_EQ(server.shown.size(), 1u);
    const auto& note = server.shown.front();
    EXPECT_EQ(note.summary, "3 new activities from Phone");
    EXPECT_EQ(note.actions, QStringList({"default", "Show"}));
    EXPECT_TRUE(note.body.startsWith("Could not import broken.fit: ")) << note.body.toStdString();

    QDBusMessage clicked = QDBusMessage::createSignal(
        "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
    clicked << note.id << QString("default");
    ASSERT_TRUE(service.send(clicked));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return app->mainWindow()->sidebar()->selectedRides().size() == 3; }, 10000));
    for (const RideRef& ride : app->mainWindow()->sidebar()->selectedRides())
        EXPECT_EQ(ride->importSource, "Folder (FIT)");
    QDBusConnection::disconnectFromBus("notification-server");
}

TEST(AutoImportTexts, TheSummaryCountsActivities) {
    EXPECT_EQ(AutoImport::summaryText(1, "GARMIN"), "1 new activity from GARMIN");
    EXPECT_EQ(AutoImport::summaryText(3, "GARMIN"), "3 new activities from GARMIN");
}

}  // namespace
}  // namespace vantrel::test
