#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "WatcherRun.h"
#include "import/ZipTestArchive.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"
#include "watch/SeenFiles.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using Kind = WatchedFile::Kind;

class FolderWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", (env.root() / "runtime").c_str(), 1);
        std::filesystem::create_directories(env.root() / "runtime");
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    WatchOptions options() const {
        WatchOptions watch(PersistentLogger::shared());
        watch.folders = {folder};
        watch.quietPeriod = 300ms;
        watch.logger = &logSession.logger();
        return watch;
    }

    static void writeText(const std::filesystem::path& file, const std::string& text) {
        std::ofstream out(file, std::ios::binary);
        out << text;
    }

  public:
    // The fixture's world, shared with its tests.
    IsolatedEnvironment env;
    ScopedSharedLogger logSession;
    std::filesystem::path store = env.root() / "store.sqlite";
    std::filesystem::path folder = env.root() / "Synced rides";
};

// A sync tool that keeps the file open and pauses longer than the quiet period between pieces,
// and one that opens it again for each piece: neither may be read before the whole is there.
TEST_F(FolderWatchTest, AFileWrittenInPiecesIsImportedOnceAndWhole) {
    WatcherRun watcher(store, options());
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.hasStarted(); }));

    std::string held = gpxActivity(1'700'000'000, 60);
    int fd = ::open((folder / "held open.gpx").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    std::size_t third = held.size() / 3;
    for (std::size_t offset = 0; offset < held.size(); offset += third) {
        std::size_t length = std::min(third, held.size() - offset);
        ASSERT_EQ(::write(fd, held.data() + offset, length), static_cast<ssize_t>(length));
        std::this_thread::sleep_for(700ms);
    }
    ::close(fd);

    std::string appended = gpxActivity(1'700'100'000, 45);
    std::size_t cut = appended.size() / 3;
    for (std::size_t offset = 0; offset < appended.size(); offset += cut) {
        std::ofstream out(folder / "appended.gpx", std::ios::binary | std::ios::app);
        out << appended.substr(offset, cut);
        out.close();
        std::this_thread::sleep_for(100ms);
    }

    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.files.size() >= 2; }))
        << sessionLogText(logSession.logger());
    std::this_thread::sleep_for(900ms);
    watcher.stop();
    EXPECT_EQ(watcher.count(Kind::imported), 2);
    EXPECT_EQ(watcher.count(Kind::failed), 0) << sessionLogText(logSession.logger());
    auto rides = storedActivities(store);
    ASSERT_EQ(rides.size(), 2u);
    double durations = rides[0]->duration + rides[1]->duration;
    EXPECT_DOUBLE_EQ(durations, 590.0 + 440.0);
    EXPECT_EQ(rides[0]->importSource, "Folder (GPX)");
}

TEST_F(FolderWatchTest, ABrokenFileIsReportedOnceUntilItChanges) {
    WatcherRun watcher(store, options());
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.hasStarted(); }));
    writeText(folder / "broken.fit", "not a FIT file at all");
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.batches.size() == 1; }));
    ASSERT_EQ(watcher.count(Kind::failed), 1);
    EXPECT_EQ(watcher.batches[0].failures.at(0).first, "broken.fit");

    // Left alone it is not read again, and a file beside it goes its own way.
    writeText(folder / "ride.gpx", gpxActivity(1'700'000'000));
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.count(Kind::imported) == 1; }));
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(watcher.count(Kind::failed), 1);

    // Written again, it is tried again.
    writeText(folder / "broken.fit", "still not a FIT file");
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.count(Kind::failed) == 2; }));
    watcher.stop();

    std::string log = sessionLogText(logSession.logger());
    std::string failure = "[ERROR] [Import] Import failed for " + (folder / "broken.fit").string();
    std::size_t first = log.find(failure);
    ASSERT_NE(first, std::string::npos) << log;
    std::size_t second = log.find(failure, first + 1);
    EXPECT_NE(second, std::string::npos);
    EXPECT_EQ(log.find(failure, second + 1), std::string::npos) << log;
}

// What arrived while nothing watched is read at the start; what was read before is not read
// again, even where its bytes now differ but its size and time do not.
TEST_F(FolderWatchTest, ARestartReadsOnlyWhatIsNew) {
    writeText(folder / "first.gpx", gpxActivity(1'700'000'000));
    {
        WatcherRun watcher(store, options());
        ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.files.size() == 1; }));
    }
    std::filesystem::create_directories(folder / "2024" / "June");
    writeText(folder / "2024" / "June" / "second.gpx", gpxActivity(1'700'200'000));
    struct stat before {};
    ASSERT_EQ(::stat((folder / "first.gpx").c_str(), &before), 0);
    std::string garbage(static_cast<std::size_t>(before.st_size), 'x');
    writeText(folder / "first.gpx", garbage);
    timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (folder / "first.gpx").c_str(), times, 0), 0);

    WatcherRun again(store, options());
    ASSERT_TRUE(again.waitFor([](const auto& run) { return run.files.size() == 1; }));
    std::this_thread::sleep_for(800ms);
    again.stop();
    ASSERT_EQ(again.files.size(), 1u);
    EXPECT_EQ(again.files[0].file.filename(), "second.gpx");
    EXPECT_EQ(again.files[0].kind, Kind::imported);
    EXPECT_EQ(storedActivities(store).size(), 2u);
}

TEST_F(FolderWatchTest, NewFoldersCopiesAndArchivesAreFollowed) {
    WatcherRun watcher(store, options());
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.hasStarted(); }));
    // A folder made and filled after the watch began, as a sync tool lays out a new month.
    std::filesystem::create_directories(folder / "2025" / "03");
    writeText(folder / "2025" / "03" / "ride.gpx", gpxActivity(1'740'000'000));
    // The same activity under another name, moved in whole: already stored.
    writeText(env.root() / "copy.gpx", gpxActivity(1'740'000'000));
    std::filesystem::rename(env.root() / "copy.gpx", folder / "copy.gpx");
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.files.size() == 2; }));
    // An archive of two, one of them stored already.
    ZipTestArchive(env.root() / "export.zip")
        .add("a/ride.gpx", gpxActivity(1'740'000'000))
        .add("a/run.gpx", gpxActivity(1'740'500'000))
        .close();
    std::filesystem::rename(env.root() / "export.zip", folder / "export.zip");
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.files.size() == 3; }));
    // A triathlon arrives as its three legs, like any imported one.
    std::filesystem::copy_file(corpusFile("sportslib__fr935-triathlon-4623204522.fit"),
                               env.root() / "tri.fit");
    std::filesystem::rename(env.root() / "tri.fit", folder / "tri.fit");
    ASSERT_TRUE(watcher.waitFor([](const auto& run) {
        return !run.batches.empty() && run.batches.back().objectIDs.size() == 3;
    }));
    watcher.stop();

    EXPECT_EQ(watcher.count(Kind::imported), 3);
    EXPECT_EQ(watcher.count(Kind::skipped), 1);
    EXPECT_EQ(storedActivities(store).size(), 5u);
    EXPECT_EQ(watcher.files[2].activities, 1);
    EXPECT_EQ(watcher.files[3].activities, 3);
}

// Hundreds of files at once, a two-gigabyte file named .fit and links that lead in circles:
// each file is read once, the large one refused without being read, and nothing hangs.
TEST_F(FolderWatchTest, BurstsHugeFilesAndLinkLoopsAreHandled) {
    std::filesystem::create_directory_symlink("..", folder / "up");
    std::filesystem::create_symlink("loop.gpx", folder / "loop.gpx");
    { std::ofstream huge(folder / "huge.fit", std::ios::binary); }
    std::filesystem::resize_file(folder / "huge.fit", 2ull * 1024 * 1024 * 1024);
    WatcherRun watcher(store, options());
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.hasStarted(); }));
    constexpr int kBurst = 300;
    std::filesystem::create_directories(env.root() / "staging");
    for (int i = 0; i < kBurst; ++i) {
        auto name = "burst-" + std::to_string(i) + ".gpx";
        writeText(env.root() / "staging" / name, gpxActivity(1'600'000'000 + 86'400L * i, 5));
        std::filesystem::rename(env.root() / "staging" / name, folder / name);
    }
    ASSERT_TRUE(
        watcher.waitFor([](const auto& run) { return run.files.size() == kBurst + 1; }, 120s))
        << watcher.files.size();
    std::this_thread::sleep_for(800ms);
    watcher.stop();
    EXPECT_EQ(watcher.count(Kind::imported), kBurst);
    EXPECT_EQ(watcher.count(Kind::failed), 1);
    ASSERT_EQ(watcher.problems.size(), 1u);
    EXPECT_EQ(watcher.problems[0], "Not imported: " + (folder / "loop.gpx").string() +
                                       " is a symbolic link that leads nowhere or in a circle");
    EXPECT_EQ(storedActivities(store).size(), static_cast<std::size_t>(kBurst));
    for (const auto& file : watcher.files) {
        if (file.file.filename() != "huge.fit") continue;
        EXPECT_EQ(file.description,
                  "The file is too large for an activity file (2048 MB; the limit is 512 MB).");
    }
}

TEST_F(FolderWatchTest, OneWatcherPerStoreTheOtherWaitsForIt) {
    auto first = std::make_unique<WatcherRun>(store, options());
    ASSERT_TRUE(first->waitFor([](const auto& run) { return run.hasStarted(); }));
    WatchOptions second = options();
    second.holderName = "vantrel-cli watch";
    WatcherRun waiting(store, second);
    ASSERT_TRUE(waiting.waitFor([](const auto& run) { return !run.waits.empty(); }));
    EXPECT_EQ(waiting.waits[0], "Vantrel (process " + std::to_string(::getpid()) + ")");
    EXPECT_FALSE(waiting.hasStarted());

    writeText(folder / "ride.gpx", gpxActivity(1'700'000'000));
    ASSERT_TRUE(first->waitFor([](const auto& run) { return run.files.size() == 1; }));
    first.reset();
    ASSERT_TRUE(waiting.waitFor([](const auto& run) { return run.hasStarted(); }));
    writeText(folder / "later.gpx", gpxActivity(1'700'300'000));
    ASSERT_TRUE(waiting.waitFor([](const auto& run) { return run.files.size() == 1; }));
    waiting.stop();
    EXPECT_EQ(waiting.files[0].file.filename(), "later.gpx");
}

TEST(SeenFilesTest, TheMemoryReadsBackWhatWasWrittenWhateverTheNames) {
    TempDir dir;
    auto file = seenFilesPath(dir.path(), "/home/anna/store.sqlite", "folder:/home/anna/Rides");
    EXPECT_NE(file, seenFilesPath(dir.path(), "/other/store.sqlite", "folder:/home/anna/Rides"));
    std::string odd = "tab\there/new\nline\\back.fit";
    {
        SeenFiles seen(file, "folder:/home/anna/Rides");
        seen.remember("a.gpx", {{10, 1}, SeenOutcome::imported});
        seen.remember(odd, {{20, 2}, SeenOutcome::failed});
        seen.remember("a.gpx", {{11, 3}, SeenOutcome::skipped});
    }
    SeenFiles again(file, "folder:/home/anna/Rides");
    EXPECT_EQ(again.size(), 2u);
    EXPECT_TRUE(again.isSeen("a.gpx", {11, 3}));
    EXPECT_FALSE(again.isSeen("a.gpx", {10, 1}));
    ASSERT_NE(again.find(odd), nullptr);
    EXPECT_EQ(again.find(odd)->outcome, SeenOutcome::failed);

    // A crash in the middle of a line loses that line only; foreign lines are passed over.
    auto entries = parseSeenFiles(
        "i\t1\t2\tgood\nq\t1\t2\tbad\ni\tx\t2\tbad\ni\t1\t2\tbad\\\n"
        "i\t5\t6\tunfinished");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.at("good"), (SeenFile{{1, 2}, SeenOutcome::imported}));
}

}  // namespace
}  // namespace vantrel::test
