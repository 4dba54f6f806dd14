#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/CacheFile.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

TEST(CacheFileTest, NewFoldersArePrivateAndOnlyAnOwnUnsharedFolderIsUsed) {
    TempDir root;
    fs::path folder = root / "a" / "b";
    ASSERT_TRUE(CacheFile::prepareFolder(folder));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    fs::permissions(folder, fs::perms::all);  // anyone could put a symlink here
    EXPECT_FALSE(CacheFile::isSafeFolder(folder));
    EXPECT_FALSE(CacheFile::usablePath(folder / "cache.sqlite"));
    fs::permissions(folder, fs::perms::owner_all);

    fs::create_directory_symlink(folder, root / "linked");
    EXPECT_TRUE(CacheFile::isSafeFolder(folder));
    EXPECT_FALSE(CacheFile::prepareFolder(root / "linked"));
    // A symlink higher up (a cache folder on another disk) is the user's own choice.
    EXPECT_TRUE(CacheFile::prepareFolder(root / "linked" / "c"));
}

TEST(CacheFileTest, AFolderOfAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
    TempDir root;
    fs::path folder = root / "foreign";
    fs::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(CacheFile::prepareFolder(folder));
    EXPECT_FALSE(CacheFile::usablePath(folder / "cache.sqlite"));
}

TEST(CacheFileTest, ALinkAtTheFileOrACompanionSendsTheCacheBesideIt) {
    TempDir temp;
    fs::path root = temp / "cache";
    ASSERT_TRUE(CacheFile::prepareFolder(root));
    fs::path wanted = root / "cache.sqlite";
    fs::path beside = root / "cache.rebuilt.sqlite";
    EXPECT_TRUE(CacheFile::usablePath(wanted) == wanted);

    writeFileBytes(root / "target", Bytes{1});
    fs::create_symlink(root / "target", wanted.string() + "-wal");
    EXPECT_TRUE(CacheFile::usablePath(wanted) == beside);
    fs::create_symlink(root / "missing", beside);  // dangling, but still a symlink
    EXPECT_FALSE(CacheFile::usablePath(wanted));

    fs::remove(beside);
    fs::create_hard_link(root / "target", beside);
    EXPECT_FALSE(CacheFile::isSafeFile(beside)) << "a second name of another file";
    EXPECT_FALSE(CacheFile::usablePath(wanted));
}

}  // namespace
}  // namespace vantrel::test
