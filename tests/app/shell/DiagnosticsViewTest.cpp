#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "app/shell/DiagnosticsWindow.h"
#include "app/widgets/Dialogs.h"
#include "logging/PersistentLogger.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

TEST(DiagnosticsFormat, SizesUseBinaryKilobytes) {
    EXPECT_EQ(DiagnosticsWindow::formatSize(1023), "1023 Bytes");
    EXPECT_EQ(DiagnosticsWindow::formatSize(1536), "1 KB");
    EXPECT_EQ(DiagnosticsWindow::formatSize(1048576), "1.0 MB");
    EXPECT_EQ(DiagnosticsWindow::formatSize(0), "0 Bytes");
}

TEST(DiagnosticsFormat, FileNamesDropSessionPrefixAndExtension) {
    EXPECT_EQ(DiagnosticsWindow::displayName("/x/session_2025-03-14_071502.log"),
              "2025-03-14 071502");
}

TEST(DiagnosticsFormat, FilterKeepsLinesInAnyCase) {
    QString text = "a ERROR one\nb info\nc Error two\nd error three";
    EXPECT_EQ(DiagnosticsWindow::filtered(text, "error"),
              "a ERROR one\nc Error two\nd error three");
    EXPECT_EQ(DiagnosticsWindow::filtered(text, ""), text);
}

class DiagnosticsViewTest : public ::testing::Test {
  protected:
    void SetUp() override { Dialogs::clearRecords(); }
    void writeLog(LogPlatform platform, const std::string& name, const std::string& text) {
        auto folder = m_logSession.logger().baseFolder() / std::string(rawValue(platform));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / name) << text;
    }
    IsolatedEnvironment m_env;
    // A logger of this test's own: its session file lies in this test's folder.
    ScopedSharedLogger m_logSession;
};

TEST_F(DiagnosticsViewTest, ListsFamiliesFiltersCopiesAndDeletes) {
    PersistentLogger::shared().flush();
    writeLog(LogPlatform::watchOS, "session_2025-01-01_000001.log", "w1");
    writeLog(LogPlatform::watchOS, "session_2025-01-02_000001.log", "w2");
    writeLog(LogPlatform::watchOS, "session_2025-01-03_000001.log", std::string(1536, 'x'));
    DiagnosticsWindow view(m_logSession.logger());
    QStringList labels = view.platformLabels();
    ASSERT_EQ(labels.size(), 4);
    EXPECT_EQ(labels[0], "Phone (0)");
    EXPECT_EQ(labels[1], "Watch (3)");
    EXPECT_EQ(labels[2], "Other Computer (0)");
    EXPECT_TRUE(labels[3].startsWith("Linux ("));
    EXPECT_EQ(view.caption(), "Logs from this computer.");
    EXPECT_TRUE(view.storageText().startsWith("Storage: "));

    view.selectPlatform(LogPlatform::watchOS);
    EXPECT_EQ(view.caption(), "Logs from a watch, in the shared folder.");
    ASSERT_EQ(view.fileRows().size(), 3);
    EXPECT_EQ(view.fileRows().front(), "2025-01-03 000001\n1 KB");

    writeLog(LogPlatform::watchOS, "session_2025-01-02_000001.log",
             "[x] [ERROR] bad\n[y] [INFO] fine\n");
    view.reload();
    EXPECT_EQ(view.selectedFile()->filename(), "session_2025-01-03_000001.log");

    view.selectPlatform(LogPlatform::watchOS);
    view.setFilter("error");
    view.copyShownText();
    Dialogs::pushAnswer(true);
    view.deleteAll();
    PersistentLogger::shared().flush();
    view.reload();
    EXPECT_EQ(view.platformLabels()[1], "Watch (0)");
    view.selectPlatform(LogPlatform::Linux);
    EXPECT_EQ(view.fileRows().size(), 1);
    EXPECT_EQ(Dialogs::lastOf(DialogRecord::Kind::confirm)->title, "Delete all log files?");
}

TEST_F(DiagnosticsViewTest, EveryFamilySegmentShowsItsWholeLabel) {
    PersistentLogger::shared().flush();
    for (int day = 10; day < 28; ++day)
        writeLog(LogPlatform::macOS, "session_2025-01-" + std::to_string(day) + "_000001.log", "m");
    DiagnosticsWindow view(m_logSession.logger());
    view.resize(400, 400);  // narrower than the sidebar wants: the splitter must give way
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    int segments = 0;
    for (auto* button : view.findChildren<QPushButton*>()) {
        if (!button->isCheckable()) continue;
        ++segments;
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    EXPECT_EQ(segments, 4);
}

TEST_F(DiagnosticsViewTest, FilteredTextIsWhatCopyTakes) {
    PersistentLogger::shared().flush();
    writeLog(LogPlatform::iOS, "session_2025-02-01_000001.log", "[x] [ERROR] bad\n[y] [INFO] fine");
    DiagnosticsWindow view(m_logSession.logger());
    view.selectPlatform(LogPlatform::iOS);
    view.setFilter("ERROR");
    EXPECT_EQ(view.shownText(), "[x] [ERROR] bad");
    view.copyShownText();
    EXPECT_EQ(QApplication::clipboard()->text(), "[x] [ERROR] bad");
}

TEST_F(DiagnosticsViewTest, CancelledDeleteKeepsFiles) {
    writeLog(LogPlatform::iOS, "session_2025-02-01_000001.log", "keep");
    DiagnosticsWindow view(m_logSession.logger());
    view.deleteAll();
    PersistentLogger::shared().flush();
    view.selectPlatform(LogPlatform::iOS);
    EXPECT_EQ(view.fileRows().size(), 1);
}

}  // namespace
}  // namespace vantrel::test
