#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "WatcherRun.h"
#include "support/SessionLogText.h"
#include "support/TestSupport.h"

extern char** environ;

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using Kind = WatchedFile::Kind;

// Exit status of a system tool, its output discarded.
int runTool(std::vector<std::string> args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return 127;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

/// Unmounts `at`; a volume the system is still probing (udev, a desktop indexer) is busy for a
/// moment under load, so a busy answer is asked again for a few seconds.
int unmountTool(const std::filesystem::path& at, bool lazy = false) {
    int status = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
        status = lazy ? runTool({"umount", "-l", at.string()}) : runTool({"umount", at.string()});
        if (status == 0) break;
        std::this_thread::sleep_for(100ms);
    }
    return status;
}

bool kernelHasVfat() {
    std::ifstream list("/proc/filesystems");
    std::stringstream text;
    text << list.rdbuf();
    return text.str().find("\tvfat\n") != std::string::npos;
}

// A disk image as a watch presents itself over USB: GARMIN/Activity at its root, labelled
// GARMIN. FAT as on the devices when the kernel reads it, else ext2 (test kernels may lack FAT).
class WatchImage {
  public:
    WatchImage(const std::filesystem::path& folder) : m_image(folder / "watch.img") {
        m_staging = folder / "staging";
        std::filesystem::create_directories(m_staging);
    }
    ~WatchImage() { unmount(); }

    /// Why a volume cannot be made and mounted here; empty when it can.
    std::string make() {
        bool fat = kernelHasVfat();
        { std::ofstream image(m_image, std::ios::binary); }
        std::filesystem::resize_file(m_image, 32ull * 1024 * 1024);
        int made = fat ? runTool({"mkfs.fat", "-n", "GARMIN", m_image.string()})
                       : runTool({"mkfs.ext2", "-q", "-F", "-L", "GARMIN", m_image.string()});
        if (made != 0) return std::string(fat ? "mkfs.fat" : "mkfs.ext2") + " is missing";
        if (runTool({"mount", "-o", "loop", m_image.string(), m_staging.string()}) != 0)
            return "mounting a loop image is not allowed here (it needs root and loop devices)";
        std::filesystem::create_directories(m_staging / "GARMIN" / "Activity");
        if (unmountTool(m_staging) != 0) return "the fresh volume could not be unmounted";
        return {};
    }

    /// Copies corpus files into GARMIN/Activity (the volume mounted aside meanwhile).
    void addActivities(const std::vector<std::string>& corpusNames) {
        ASSERT_EQ(runTool({"mount", "-o", "loop", m_image.string(), m_staging.string()}), 0);
        for (const auto& name : corpusNames)
            std::filesystem::copy_file(corpusFile(name), m_staging / "GARMIN" / "Activity" / name);
        ASSERT_EQ(unmountTool(m_staging), 0);
    }

    /// A link in GARMIN/Activity to a file outside the volume; false where the file system
    /// has no links (FAT).
    bool addLinkOut(const std::string& name, const std::filesystem::path& target) {
        EXPECT_EQ(runTool({"mount", "-o", "loop", m_image.string(), m_staging.string()}), 0);
        std::error_code error;
        std::filesystem::create_symlink(target, m_staging / "GARMIN" / "Activity" / name, error);
        EXPECT_EQ(unmountTool(m_staging), 0);
        return !error;
    }

    void mount(const std::filesystem::path& at, bool readOnly = false) {
        std::filesystem::create_directories(at);
        ASSERT_EQ(
            runTool({"mount", "-o", readOnly ? "loop,ro" : "loop", m_image.string(), at.string()}),
            0);
        m_mounted = at;
    }
    /// A lazy unmount takes the volume away at once, as pulling the cable does.
    void unmount(bool lazy = false) {
        if (m_mounted.empty()) return;
        EXPECT_EQ(unmountTool(m_mounted, lazy), 0);
        m_mounted.clear();
    }

  private:
    std::filesystem::path m_image;
    std::filesystem::path m_staging;
    std::filesystem::path m_mounted;
};

const std::vector<std::string> kActivities = {"fitparse__garmin-edge-500-activity.fit",
                                              "gpsbabel__garmin-forerunner-10.fit",
                                              "fitparse__wahoo-elemnt-2019-02-17.fit"};

class DeviceWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", env.root().c_str(), 1);
        std::string why = image.make();
        if (!why.empty()) GTEST_SKIP() << "no loop-mounted volume: " << why;
    }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    WatchOptions options() {
        WatchOptions watch(PersistentLogger::shared());
        watch.devices = true;
        watch.logger = &logSession.logger();
        // Only this test's own mounts: others may mount volumes on the same machine meanwhile.
        auto media = std::filesystem::canonical(env.root()) / "media";
        watch.acceptVolume = [media](const MountedVolume& volume) {
            return volume.target.rfind(media.string() + "/", 0) == 0;
        };
        return watch;
    }

    bool waitForLog(const std::string& text) {
        for (int i = 0; i < 100; ++i) {
            if (sessionLogText(logSession.logger()).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

  public:
    // The fixture's world, shared with its tests.
    IsolatedEnvironment env;
    ScopedSharedLogger logSession;
    std::filesystem::path store = env.root() / "store.sqlite";
    WatchImage image{env.root()};
    std::filesystem::path mountPoint = env.root() / "media" / "GARMIN";
};

// Also: a link on the volume to a file elsewhere is not followed.
TEST_F(DeviceWatchTest, AWatchPluggedInIsReadAndPluggedInAgainOnlyForWhatIsNew) {
    image.addActivities({kActivities[0], kActivities[1]});
    image.addLinkOut("elsewhere.fit", corpusFile(kActivities[2]));
    WatcherRun watcher(store, options());
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.hasStarted(); }));
    image.mount(mountPoint);
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.batches.size() == 1; }))
        << sessionLogText(logSession.logger());
    EXPECT_EQ(watcher.count(Kind::imported), 2);
    ASSERT_EQ(watcher.batches.size(), 1u);
    EXPECT_EQ(watcher.batches[0].placeName, "GARMIN");
    EXPECT_TRUE(watcher.batches[0].fromDevice);
    EXPECT_EQ(watcher.batches[0].objectIDs.size(), 2u);

    image.unmount();
    ASSERT_TRUE(waitForLog("[Import] GARMIN was removed"));
    image.addActivities({kActivities[2]});
    image.mount(mountPoint, true);
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.files.size() == 3; }));
    std::this_thread::sleep_for(500ms);
    watcher.stop();
    EXPECT_EQ(watcher.files.size(), 3u);
    EXPECT_EQ(watcher.files[2].file.filename(), kActivities[2]);
    auto rides = storedActivities(store);
    ASSERT_EQ(rides.size(), 3u);
    for (const auto& ride : rides) EXPECT_EQ(ride->importSource, "GARMIN (FIT)");
}

TEST_F(DeviceWatchTest, AWatchPulledOutWhileReadEndsTheReadingQuietly) {
    image.addActivities(kActivities);
    bool pulled = false;
    WatcherRun watcher(store, options(), [&](const WatchedFile&) {
        if (!std::exchange(pulled, true)) image.unmount(true);
    });
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.hasStarted(); }));
    image.mount(mountPoint);
    ASSERT_TRUE(waitForLog("[Import] GARMIN was removed while it was read"))
        << sessionLogText(logSession.logger());
    EXPECT_EQ(watcher.files.size(), 1u);
    EXPECT_EQ(storedActivities(store).size(), 1u);

    image.mount(mountPoint);
    ASSERT_TRUE(watcher.waitFor([](const auto& run) { return run.files.size() == 3; }));
    watcher.stop();
    EXPECT_EQ(watcher.count(Kind::imported), 3);
    EXPECT_TRUE(watcher.problems.empty());
    EXPECT_EQ(storedActivities(store).size(), 3u);
}

}  // namespace
}  // namespace vantrel::test
