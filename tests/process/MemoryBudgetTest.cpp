#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "CliProcess.h"
#include "import/ZipTestArchive.h"
#include "support/TestSupport.h"

// Peak memory of the real tool, read from the kernel once it has ended. These are bounds on
// what the process holds, not timings.
namespace vantrel::test {
namespace {

constexpr long kMiB = 1024;  // in KiB, as the kernel counts

class MemoryBudgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Under AddressSanitizer freed blocks would otherwise stay resident in its quarantine
        // and count as held.
        std::string options = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
        setenv("ASAN_OPTIONS", (options + ":quarantine_size_mb=0").c_str(), 1);
    }

    IsolatedEnvironment m_environment;
    std::filesystem::path m_folder = m_environment.root();
    std::filesystem::path m_store = m_folder / "store.sqlite";
};

TEST_F(MemoryBudgetTest, EightWorkersHoldNoMoreArchiveMembersThanTheBudget) {
    // Eight members of 96 MiB of zeros: eight workers each holding one would need 768 MiB.
    {
        ZipTestArchive zip(m_folder / "large.zip");
        std::string zeros(96u << 20, '\0');
        for (int i = 0; i < 8; ++i) zip.add("large/" + std::to_string(i) + ".fit", zeros);
    }
    CliProcess cli({"--store", m_store.string(), "import-zip", "--threads", "8",
                    (m_folder / "large.zip").string()},
                   m_folder, "zip");
    EXPECT_EQ(cli.wait(), 1) << cli.output();
    // The default budget of 256 MiB, and room for the program itself.
    EXPECT_LT(cli.peakKiB(), 256 * kMiB + 64 * kMiB);
}

TEST_F(MemoryBudgetTest, AnActivityFileOver100MBIsRefusedBeforeItIsRead) {
    // The kernel's peak counts the forked copy of this test process before the tool starts, so
    // the bound is set above the same tool refusing an empty file.
    std::filesystem::path empty = m_folder / "empty.fit";
    std::ofstream(empty).close();
    CliProcess baseline({"--store", m_store.string(), "import", empty.string()}, m_folder, "empty");
    EXPECT_EQ(baseline.wait(), 1) << baseline.output();

    std::filesystem::path big = m_folder / "big.fit";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, 101'000'000);  // sparse: costs no disk
    CliProcess cli({"--store", m_store.string(), "import", big.string()}, m_folder, "fit");
    EXPECT_EQ(cli.wait(), 1) << cli.output();
    EXPECT_NE(cli.output().find("big.fit: The file is larger than 100 MB."), std::string::npos)
        << cli.output();
    EXPECT_LT(cli.peakKiB(), baseline.peakKiB() + 32 * kMiB);
}

}  // namespace
}  // namespace vantrel::test
