#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <cmath>

#include "Version.h"
#include "logging/PersistentLogger.h"
#include "model/Date.h"
#include "model/Preferences.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;
using namespace vantrel;

namespace {

class PersistentLoggerTest : public ::testing::Test {
  protected:
    test::IsolatedEnvironment m_env;

    fs::path family(const char* name) {
        return LogSettings::fromPreferences(Preferences::shared()).folder / name;
    }

    void touch(const fs::path& file, const std::string& text = "x", int ageDays = 0) {
        test::writeFileBytes(file, bytesOf(text));
        if (ageDays == 0) return;
        struct timeval times[2];
        gettimeofday(&times[0], nullptr);
        times[0].tv_sec -= static_cast<time_t>(ageDays) * 86400;
        times[1] = times[0];
        utimes(file.c_str(), times);
    }

    static std::string banner() {
        return std::string("=== Vantrel Log Session Started ===\n    Platform: Linux | Version: ") +
               kVersion + " | Build: " + kBuild + "\n";
    }
};

TEST_F(PersistentLoggerTest, SessionFileStartsWithBannerAndHoldsFormattedLines) {
    auto logger = PersistentLogger::createForTesting();
    logger->log(LogLevel::info, "Import", "Imported 3 rides");
    logger->flush();
    auto file = logger->currentLogFile();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->parent_path(), family("Linux"));
    EXPECT_EQ(file->filename().string().rfind("session_", 0), 0u);
    std::string text = test::readFileText(*file);
    ASSERT_EQ(text.rfind(banner(), 0), 0u) << text;
    std::string line = text.substr(banner().size());
    // [yyyy-MM-dd HH:mm:ss.SSS] is 25 characters.
    ASSERT_GE(line.size(), 26u);
    EXPECT_EQ(line[0], '[');
    EXPECT_EQ(line[24], ']');
    EXPECT_EQ(line.substr(25), " [Linux] [INFO] [Import] Imported 3 rides\n");
}

TEST_F(PersistentLoggerTest, LevelComesFromTheSettingsGivenNotFromThePreferences) {
    PersistentLogger logger({LogLevel::warn, m_env.root() / "given"});
    // The stored level no longer matters once the logger has its settings.
    Preferences::shared().setString(kLogLevelKey, "DEBUG");
    logger.log(LogLevel::info, "Geocode", "dropped");
    logger.log(LogLevel::warn, "Geocode", "kept warn");
    logger.log(LogLevel::error, "Geocode", "kept error");
    logger.setSettings({LogLevel::debug, logger.baseFolder()});
    logger.log(LogLevel::debug, "Geocode", "kept debug");
    logger.setSettings({LogLevel::error, logger.baseFolder()});
    logger.log(LogLevel::warn, "Geocode", "dropped warn");
    logger.flush();
    ASSERT_TRUE(logger.currentLogFile());
    EXPECT_EQ(logger.currentLogFile()->parent_path(), m_env.root() / "given" / "Linux");
    std::string text = test::readFileText(*logger.currentLogFile());
    EXPECT_EQ(text.find("dropped"), std::string::npos) << text;
    EXPECT_NE(text.find("[WARN] [Geocode] kept warn"), std::string::npos);
    EXPECT_NE(text.find("[ERROR] [Geocode] kept error"), std::string::npos);
    EXPECT_NE(text.find("[DEBUG] [Geocode] kept debug"), std::string::npos);
}

TEST_F(PersistentLoggerTest, SettingsFromPreferencesReadLevelAndSyncFolder) {
    Preferences preferences(m_env.root() / "own.json");
    EXPECT_EQ(LogSettings::fromPreferences(preferences).level, LogLevel::info);
    for (auto [raw, level] : {std::pair{"DEBUG", LogLevel::debug},
                              {"WARN", LogLevel::warn},
                              {"ERROR", LogLevel::error},
                              {"VERBOSE", LogLevel::info}}) {
        preferences.setString(kLogLevelKey, raw);
        EXPECT_EQ(LogSettings::fromPreferences(preferences).level, level) << raw;
    }
    EXPECT_EQ(LogSettings::fromPreferences(preferences).folder.filename(), "Logs");
    preferences.setString(kSyncFolderKey, (m_env.root() / "cloud").string());
    EXPECT_EQ(LogSettings::fromPreferences(preferences).folder, m_env.root() / "cloud" / "Logs");
}

TEST_F(PersistentLoggerTest, ListingFollowsAChangedFolderAndTheNextSessionStartsThere) {
    PersistentLogger logger({LogLevel::info, m_env.root() / "first"});
    fs::path firstFile = *logger.currentLogFile();
    touch(m_env.root() / "second" / "iOS" / "session_2025-03-14_080000.log");
    logger.setSettings({LogLevel::info, m_env.root() / "second"});
    ASSERT_EQ(logger.logFiles(LogPlatform::iOS).size(), 1u);
    EXPECT_TRUE(logger.logFiles(LogPlatform::Linux).empty());
    logger.deleteAllLogs();
    logger.flush();
    EXPECT_EQ(logger.currentLogFile()->parent_path(), m_env.root() / "second" / "Linux");
    EXPECT_TRUE(fs::exists(firstFile));  // the first folder is no longer the logger's
}

TEST_F(PersistentLoggerTest, ListingKeepsOnlyLogFilesNewestFirstAcrossFamilies) {
    auto logger = PersistentLogger::createForTesting();
    touch(family("macOS") / "session_2025-03-14_071502.log");  // another computer's
    touch(family("iOS") / "session_2025-03-14_080000.log");
    touch(family("iOS") / "notes.txt");
    touch(family("iOS") / "old.LOG");
    touch(family("iOS") / ".hidden.log");
    auto ios = logger->logFiles(LogPlatform::iOS);
    ASSERT_EQ(ios.size(), 1u);
    EXPECT_TRUE(logger->logFiles(LogPlatform::watchOS).empty());

    auto all = logger->allLogFiles();
    ASSERT_EQ(all.size(), 3u);                    // the two above and the current session
    EXPECT_EQ(all[0].first, LogPlatform::Linux);  // today's session is the newest
    EXPECT_EQ(all[1].first, LogPlatform::iOS);
    EXPECT_EQ(all[2].second.filename(), "session_2025-03-14_071502.log");
    EXPECT_EQ(all[2].first, LogPlatform::macOS);

    std::uint64_t expected = 0;
    for (const auto& [platform, file] : all) expected += fs::file_size(file);
    EXPECT_EQ(logger->totalLogSize(), expected);
}

TEST_F(PersistentLoggerTest, StartPrunesFilesOlderThanSevenDaysInEveryFamily) {
    touch(family("watchOS") / "session_2025-01-01_000000.log", "old", 8);
    touch(family("Linux") / "session_2025-01-02_000000.log", "old", 8);
    touch(family("macOS") / "session_2025-01-02_000000.log", "old", 8);
    touch(family("iOS") / "session_2025-01-03_000000.log", "recent", 6);
    touch(family("iOS") / "notes.txt", "not a log", 30);
    auto logger = PersistentLogger::createForTesting();
    logger->flush();
    EXPECT_FALSE(fs::exists(family("watchOS") / "session_2025-01-01_000000.log"));
    EXPECT_FALSE(fs::exists(family("Linux") / "session_2025-01-02_000000.log"));
    EXPECT_FALSE(fs::exists(family("macOS") / "session_2025-01-02_000000.log"));
    EXPECT_TRUE(fs::exists(family("iOS") / "session_2025-01-03_000000.log"));
    EXPECT_TRUE(fs::exists(family("iOS") / "notes.txt"));
    EXPECT_TRUE(fs::exists(*logger->currentLogFile()));
}

TEST_F(PersistentLoggerTest, DeleteAllLeavesOnlyAFreshSession) {
    auto logger = PersistentLogger::createForTesting();
    logger->log(LogLevel::error, "Export", "something");
    touch(family("iOS") / "session_2025-03-14_080000.log");
    logger->deleteAllLogs();
    logger->flush();
    auto all = logger->allLogFiles();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].first, LogPlatform::Linux);
    EXPECT_EQ(test::readFileText(all[0].second), banner());
}

TEST_F(PersistentLoggerTest, SessionsStartedInTheSameSecondKeepTheirOwnFiles) {
    setClockForTesting([] { return 700000000.0; });
    auto first = PersistentLogger::createForTesting();
    auto second = PersistentLogger::createForTesting();
    first->log(LogLevel::info, "Import", "from the first");
    second->log(LogLevel::info, "Import", "from the second");
    first->flush();
    second->flush();
    setClockForTesting({});
    ASSERT_NE(*first->currentLogFile(), *second->currentLogFile());
    EXPECT_NE(test::readFileText(*first->currentLogFile()).find("from the first"),
              std::string::npos);
    EXPECT_NE(test::readFileText(*second->currentLogFile()).find("from the second"),
              std::string::npos);
}

TEST_F(PersistentLoggerTest, ASymlinkNamedAsTheSessionFileIsNotWrittenThrough) {
    setClockForTesting([] { return 700000000.0; });
    fs::path expected = *PersistentLogger::createForTesting()->currentLogFile();
    fs::remove(expected);
    fs::path target = m_env.root() / "unrelated.txt";
    touch(target, "left alone");
    fs::create_symlink(target, expected);
    auto logger = PersistentLogger::createForTesting();
    logger->log(LogLevel::info, "Import", "after the symlink");
    logger->flush();
    setClockForTesting({});
    EXPECT_EQ(test::readFileText(target), "left alone");
    ASSERT_TRUE(logger->currentLogFile());
    EXPECT_NE(*logger->currentLogFile(), expected);
    EXPECT_NE(test::readFileText(*logger->currentLogFile()).find("after the symlink"),
              std::string::npos);
}

TEST_F(PersistentLoggerTest, SyncFolderPreferenceMovesTheBase) {
    Preferences::shared().setString(kSyncFolderKey, (m_env.root() / "cloud").string());
    auto logger = PersistentLogger::createForTesting();
    EXPECT_EQ(logger->baseFolder(), m_env.root() / "cloud" / "Logs");
    EXPECT_EQ(logger->currentLogFile()->parent_path(), m_env.root() / "cloud" / "Logs" / "Linux");
}

// A file name or place name is interpolated into messages; it must not be able to forge a
// line that looks like the logger's own.
TEST_F(PersistentLoggerTest, ControlCharactersInLoggedValuesAreEscaped) {
    auto logger = PersistentLogger::createForTesting();
    logger->log(
        LogLevel::info, "Imp\nort",
        "Imported evil.gpx\n[2025-01-01 00:00:00.000] [Linux] [ERROR] [Import] forged\r\t\x1b"
        "\x7f \u2028 \u0085 caf\u00e9 \\ end");
    logger->flush();
    std::string text = test::readFileText(*logger->currentLogFile());
    std::string line = text.substr(banner().size());
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    EXPECT_EQ(line.substr(25),
              " [Linux] [INFO] [Imp\\nort] Imported evil.gpx\\n[2025-01-01 "
              "00:00:00.000] [Linux] [ERROR] [Import] forged\\r\\t\\x1B\\x7F "
              "\\u2028 \\u0085 caf\u00e9 \\ end\n");
    EXPECT_EQ(escapedLogValue(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(escapedLogValue("\xc2"), "\xc2");  // a cut sequence is not an escape
}

TEST_F(PersistentLoggerTest, FolderReplacedByAFileIsReportedOnceAndLoggingGoesOn) {
    auto logger = PersistentLogger::createForTesting();
    fs::path folder = family("Linux");
    testing::internal::CaptureStderr();
    fs::remove_all(folder);
    touch(folder, "not a folder");
    logger->log(LogLevel::info, "Import", "into the open file");
    logger->deleteAllLogs();  // a new session cannot be created now
    logger->log(LogLevel::info, "Import", "nowhere to go");
    logger->deleteAllLogs();
    logger->flush();
    EXPECT_FALSE(logger->currentLogFile());
    EXPECT_TRUE(logger->logFiles(LogPlatform::Linux).empty());
    std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(reported.rfind("vantrel: the log cannot be written: cannot create a session file", 0),
              0u)
        << reported;
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 1) << reported;

    fs::remove(folder);
    logger->deleteAllLogs();
    logger->log(LogLevel::info, "Import", "back again");
    logger->flush();
    ASSERT_TRUE(logger->currentLogFile());
    EXPECT_NE(test::readFileText(*logger->currentLogFile()).find("back again"), std::string::npos);
}

TEST_F(PersistentLoggerTest, BaseUnderAFileLeavesOnlyEmptyListings) {
    touch(m_env.root() / "plain", "a file");
    Preferences::shared().setString(kSyncFolderKey, (m_env.root() / "plain" / "sync").string());
    testing::internal::CaptureStderr();
    auto logger = PersistentLogger::createForTesting();
    logger->log(LogLevel::error, "Export", "lost");
    logger->deleteAllLogs();
    logger->flush();
    std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 1) << reported;
    EXPECT_FALSE(logger->currentLogFile());
    EXPECT_TRUE(logger->allLogFiles().empty());
    EXPECT_EQ(logger->totalLogSize(), 0u);
}

TEST_F(PersistentLoggerTest, FailingQueuedWorkIsReportedOnceAndTheQueueGoesOn) {
    auto logger = PersistentLogger::createForTesting();
    testing::internal::CaptureStderr();
    logger->enqueueForTesting(
        [] { throw fs::filesystem_error("walk", std::make_error_code(std::errc::io_error)); });
    logger->enqueueForTesting([] { throw 42; });
    logger->log(LogLevel::info, "Import", "still written");
    logger->flush();
    std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_EQ(reported.rfind("vantrel: the log cannot be written: filesystem error: walk", 0), 0u)
        << reported;
    EXPECT_EQ(std::count(reported.begin(), reported.end(), '\n'), 1) << reported;
    EXPECT_NE(test::readFileText(*logger->currentLogFile()).find("still written"),
              std::string::npos);
}

TEST_F(PersistentLoggerTest, ClockOutsideAnyCalendarStillGivesAStamp) {
    for (Date odd : {std::nan(""), 1e15, -1e20}) {
        setClockForTesting([odd] { return odd; });
        auto logger = PersistentLogger::createForTesting();
        logger->log(LogLevel::info, "Import", "odd clock");
        logger->flush();
        setClockForTesting({});
        ASSERT_TRUE(logger->currentLogFile());
        EXPECT_NE(test::readFileText(*logger->currentLogFile())
                      .find("] [Linux] [INFO] [Import] odd clock\n"),
                  std::string::npos);
    }
}

TEST_F(PersistentLoggerTest, ScopedSharedLoggersNestAndPutBackWhatTheyReplaced) {
    PersistentLogger& outer = PersistentLogger::shared();
    std::optional<fs::path> innerFile;
    {
        ScopedSharedLogger first;
        EXPECT_EQ(&PersistentLogger::shared(), &first.logger());
        EXPECT_NE(&first.logger(), &outer);
        {
            ScopedSharedLogger second;
            EXPECT_EQ(&PersistentLogger::shared(), &second.logger());
            EXPECT_NE(second.logger().currentLogFile(), first.logger().currentLogFile());
            PersistentLogger::shared().log(LogLevel::info, "Import", "inner line");
            innerFile = second.logger().currentLogFile();
        }
        EXPECT_EQ(&PersistentLogger::shared(), &first.logger());
    }
    EXPECT_EQ(&PersistentLogger::shared(), &outer);
    // The guard's lines are written by the time it has ended, and only to its own session.
    ASSERT_TRUE(innerFile);
    EXPECT_NE(test::readFileText(*innerFile).find("[INFO] [Import] inner line\n"),
              std::string::npos);
    outer.flush();
    if (auto outerFile = outer.currentLogFile(); outerFile && fs::exists(*outerFile)) {
        EXPECT_EQ(test::readFileText(*outerFile).find("inner line"), std::string::npos);
    }
}

}  // namespace
