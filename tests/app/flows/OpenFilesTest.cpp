#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDataStream>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include "app/AppFixture.h"
#include "app/flows/ImportFlows.h"
#include "app/shell/SingleInstance.h"
#include "app/sidebar/HistoryModel.h"
#include "app/sidebar/HistorySidebar.h"

namespace vantrel::test {
namespace {

QString pathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

class OpenFilesTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        std::filesystem::create_directories(env.root() / "runtime");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((env.root() / "runtime").string()));
    }
    void TearDown() override { qunsetenv("XDG_RUNTIME_DIR"); }

    std::vector<RideRef> selected() { return app->mainWindow()->sidebar()->selectedRides(); }
};

TEST_F(OpenFilesTest, OpenedFilesImportByKindAndTheNewRecordsAreSelected) {
    addRide(2019, 3, 1);
    startApp();
    TempDir folder;
    std::filesystem::create_directories(folder / "nested");
    std::filesystem::copy(corpusFile("gpsbabel__fr110-14-laps.tcx"), folder / "nested");
    writeFileBytes(folder / "nested" / "notes.txt", bytesOf("ignored inside a folder"));
    app->openFiles({pathText(corpusFile("fitparse__garmin-edge-500-activity.fit.gz")),
                    pathText(folder.path()),
                    pathText(testDataFile("export/two_rides_full_and_minimal.json"))});
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 4 activities. Skipped 0 duplicates.");
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::alert)->title, "Import Complete");
    EXPECT_EQ(storedRides().size(), 5u);
    // The archive's first record was deleted on the device; it is stored but never listed.
    std::vector<RideRef> chosen = selected();
    ASSERT_EQ(chosen.size(), 3u);
    for (const RideRef& ride : chosen) EXPECT_NE(localYear(ride->date), 2019);
    EXPECT_FALSE(app->mainWindow()->importFlows()->isImporting());
}

TEST_F(OpenFilesTest, FilesNoImportReadsAreRefusedWithTheImportersText) {
    startApp();
    auto text = env.root() / "notes.txt";
    writeFileBytes(text, bytesOf("hello"));
    app->openFiles({pathText(text)});
    EXPECT_EQ(waitForAlert("Import Error"),
              "notes.txt: Unsupported file type: .txt. Use GPX, TCX, or FIT files.");
    EXPECT_TRUE(storedRides().empty());
}

TEST_F(OpenFilesTest, AFileOpenedAgainIsSkippedAsADuplicate) {
    startApp();
    QString fit = pathText(corpusFile("fitparse__garmin-edge-500-activity.fit"));
    app->openFiles({fit});
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 1 activity. Skipped 0 duplicates.");
    Dialogs::clearRecords();
    // The same activity, compressed, dropped or chosen again: one record, as in statistics.
    app->openFiles({pathText(corpusFile("fitparse__garmin-edge-500-activity.fit.gz")), fit});
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 0 activities. Skipped 2 duplicates.");
    EXPECT_EQ(storedRides().size(), 1u);
}

TEST_F(OpenFilesTest, FilesThatCouldNotBeImportedAreNamedInTheAlert) {
    startApp();
    TempDir folder;
    for (const char* name :
         {"gpsbabel__fr110-14-laps.tcx", "georust__ridewithgps-wahoo.gpx",
          "fitparse__garmin-edge-500-activity.fit", "fitparse__wahoo-elemnt-2019-02-17.fit"}) {
        std::filesystem::copy(corpusFile(name), folder.path());
    }
    writeFileBytes(folder / "broken.gpx", bytesOf("<gpx"));
    app->openFiles({pathText(folder.path())});
    QString text = waitForAlert("Import Complete");
    EXPECT_TRUE(
        text.startsWith("Imported 4 activities. Skipped 0 duplicates.\n"
                        "1 file could not be imported:\n"
                        "broken.gpx: Failed to parse file: "))
        << text.toStdString();
    EXPECT_EQ(text.count(QLatin1Char('\n')), 2);
}

TEST_F(OpenFilesTest, SecondStartHandsItsFileToTheRunningWindowAndExits) {
    startApp();
    SingleInstance instance(SingleInstance::serverName(storePath));
    ASSERT_TRUE(instance.listen());
    QObject::connect(&instance, &SingleInstance::filesReceived, app.get(), &VantrelApp::openFiles);

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VANTREL_STORE", pathText(storePath));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    // A relative argument, as a shell gives it: the running window must get the full path.
    second.setWorkingDirectory(pathText(corpusDir()));
    second.start(VANTREL_APP_BINARY, {"fitparse__garmin-edge-500-activity.fit"});
    // The running window answers on this thread's event loop, so wait without blocking it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(waitForAlert("Import Complete"), "Imported 1 activity. Skipped 0 duplicates.");
    ASSERT_EQ(storedRides().size(), 1u);
    ASSERT_EQ(selected().size(), 1u);
    EXPECT_EQ(selected().front()->importSource, "FIT");
}

TEST_F(OpenFilesTest, ASocketLeftByACrashIsTakenOverAndNobodyTakesFilesFromIt) {
    QString name = SingleInstance::serverName(storePath);
    ASSERT_TRUE(name.startsWith(QString::fromStdString((env.root() / "runtime").string())));
    // A bound socket whose process is gone: the file stays, nobody answers.
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", name.toUtf8().constData());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_FALSE(SingleInstance::handOver(name, {"/tmp/a.fit"}, 1000));

    SingleInstance first(name);
    ASSERT_TRUE(first.listen());
    SingleInstance second(name);
    EXPECT_FALSE(second.listen()) << "a live instance must not be replaced";
}

/// A client that connects and sends `bytes`, then leaves the connection open.
std::unique_ptr<QLocalSocket> rawClient(const QString& name, const QByteArray& bytes) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(name);
    EXPECT_TRUE(socket->waitForConnected(5000));
    socket->write(bytes);
    socket->flush();
    return socket;
}

QByteArray header(quint32 size) {
    QByteArray bytes;
    QDataStream(&bytes, QIODevice::WriteOnly) << size;
    return bytes;
}

/// Runs `work` on a thread of its own, as another process would, while the test's event loop
/// keeps serving the instance.
template <typename Work>
void runWhileServing(Work work, int timeoutMs) {
    std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return thread->isFinished(); }, timeoutMs));
    thread->wait();
}

bool handOverWhileServing(const QString& name, const QStringList& files, int timeoutMs) {
    bool delivered = false;
    runWhileServing([&] { delivered = SingleInstance::handOver(name, files, timeoutMs); },
                    timeoutMs + 10000);
    return delivered;
}

TEST_F(OpenFilesTest, StalledOversizedAndSurplusClientsCannotHoldTheInstance) {
    QString name = SingleInstance::serverName(storePath);
    SingleInstance instance(name, nullptr, 1500);
    ASSERT_TRUE(instance.listen());
    QList<QStringList> received;
    QObject::connect(&instance, &SingleInstance::filesReceived,
                     [&](const QStringList& files) { received << files; });

    // A message that says it is larger than allowed is cut off at once.
    auto oversized = rawClient(name, header(SingleInstance::kMaxMessageBytes + 1) + "x");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return oversized->state() == QLocalSocket::UnconnectedState; }, 1000));

    // Clients that never finish their message take every connection, until they time out.
    std::vector<std::unique_ptr<QLocalSocket>> stalled;
    stalled.reserve(SingleInstance::kMaxConnections);
    for (int i = 0; i < SingleInstance::kMaxConnections; ++i)
        stalled.push_back(rawClient(name, header(100) + "ab"));
    QTest::qWait(100);
    EXPECT_FALSE(handOverWhileServing(name, {"/tmp/early.fit"}, 300));
    EXPECT_TRUE(handOverWhileServing(name, {"/tmp/later.fit"}, 10000));
    for (const auto& socket : stalled) EXPECT_EQ(socket->state(), QLocalSocket::UnconnectedState);
    EXPECT_EQ(received, QList<QStringList>{QStringList{"/tmp/later.fit"}});

    // The largest message still gets through whole.
    QStringList many;
    qsizetype bytes = 0;  // each path and its ending zero byte
    for (int i = 0; bytes < SingleInstance::kMaxMessageBytes - 2000; ++i) {
        many << QString("/tmp/%1/").arg(i) + QString(1000, 'a');
        bytes += many.back().size() + 1;
    }
    many << "/" + QString(SingleInstance::kMaxMessageBytes - bytes - 2, 'b');
    EXPECT_TRUE(handOverWhileServing(name, many, 10000));
    EXPECT_EQ(received.back(), many);
    many << "/tmp/one-too-many.fit";
    EXPECT_FALSE(handOverWhileServing(name, many, 1000));
}

TEST_F(OpenFilesTest, FilesHandedOverWhileAnImportIsUnderWayAreReportedInOneAlert) {
    startApp();
    QString name = SingleInstance::serverName(storePath);
    SingleInstance instance(name);
    ASSERT_TRUE(instance.listen());
    QObject::connect(&instance, &SingleInstance::filesReceived, app.get(), &VantrelApp::openFiles);
    // Real alerts this time: while one is open, its event loop keeps serving the instance, as it
    // does for a user who has not yet pressed OK.
    Dialogs::setTestMode(false);
    int delivered = 0;
    auto flood = [&] {
        for (int i = 1; i <= 300; ++i) {
            QString file = pathText(env.root() / ("missing-" + std::to_string(i) + ".fit"));
            delivered += SingleInstance::handOver(name, {file}) ? 1 : 0;
        }
    };
    // The first result stays on screen until every file is handed over; the files arrive one
    // after another, the later ones while the import of those before them runs.
    QStringList alerts;
    QPointer<QMessageBox> first;
    std::unique_ptr<QThread> sender;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (!sender) {
            first = box;
            sender.reset(QThread::create(flood));
            sender->start();
        }
        if (box == first && !sender->isFinished()) return;
        alerts << box->informativeText();
        box->accept();
    });
    closer.start(20);
    app->openFiles({pathText(env.root() / "missing-0.fit")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return alerts.size() >= 2; }, 120000));
    if (sender) sender->wait();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app->mainWindow()->importFlows()->isImporting(); }));
    QTest::qWait(500);
    Dialogs::setTestMode(true);
    EXPECT_EQ(delivered, 300);
    ASSERT_EQ(alerts.size(), 2) << alerts.join(" | ").toStdString();
    EXPECT_TRUE(alerts[0].contains("missing-0.fit")) << alerts[0].toStdString();
    EXPECT_TRUE(alerts[1].contains("The file does not exist.")) << alerts[1].toStdString();
}

}  // namespace
}  // namespace vantrel::test
