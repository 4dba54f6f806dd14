#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "CliProcess.h"
#include "model/Base64.h"
#include "model/RideStore.h"
#include "model/Uuid.h"
#include "support/TestSupport.h"

namespace vantrel::test {
namespace {

constexpr rlim_t kMegabyte = rlim_t{1024} * 1024;

/// Writes an archive activity by activity, never holding more than one.
class ArchiveWriter {
  public:
    explicit ArchiveWriter(const std::filesystem::path& file) : m_out(file, std::ios::binary) {
        m_out << R"({"appName":"Vantrel","exportDate":"2024-05-01T07:30:00Z","rides":[)";
    }

    /// An activity whose route is `routeBytes` random bytes (written as Base64 in pieces).
    Uuid add(int day, std::size_t routeBytes) {
        Uuid id = Uuid::random();
        m_out << (m_count++ ? "," : "") << R"({"activeTime":600,"averageHeartRate":0,)"
              << R"("calories":0,"date":")" << 2000 + day % 20 << R"(-05-01T07:30:00Z",)"
              << R"("distance":1000,"duration":600,"elevationGain":0,"maxHeartRate":0,)"
              << R"("rideID":")" << id.toString() << R"(","routeData":")";
        constexpr std::size_t kPiece = std::size_t{3} * 1024 * 1024;
        for (std::size_t done = 0; done < routeBytes; done += kPiece) {
            Bytes piece(std::min(kPiece, routeBytes - done));
            for (auto& byte : piece) byte = static_cast<std::uint8_t>(m_random());
            m_out << base64Encode(piece);
        }
        m_out << "\"}";
        return id;
    }

    void finish() {
        m_out << R"(],"version":1})";
        m_out.close();
    }

  private:
    std::ofstream m_out;
    std::mt19937 m_random{7};
    int m_count = 0;
};

class ArchiveMemoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "AddressSanitizer maps terabytes of shadow memory: an address-space "
                        "limit cannot tell what the importer itself needs";
#endif
    }

    /// Imports `archive` with the tool allowed `limit` of address space; its exit status.
    int importWithin(rlim_t limit, std::string& output) {
        CliProcess cli({"--store", storeFile.string(), "import-archive", archive.string()},
                       environment.root(), "import", limit);
        int status = cli.wait();
        output = cli.output();
        return status;
    }

    IsolatedEnvironment environment;
    std::filesystem::path archive = environment.root() / "archive.json";
    std::filesystem::path storeFile = environment.root() / "store.sqlite";
};

// 2,000 activities of 80 KB make a 210 MB file: a reader that held it whole (or anything near
// it) could not work within 128 MB of address space, libraries and all.
TEST_F(ArchiveMemoryTest, ManyActivitiesImportWithinLessMemoryThanTheFile) {
    ArchiveWriter writer(archive);
    for (int i = 0; i < 2000; ++i) writer.add(i, 80'000);
    writer.finish();
    ASSERT_GT(std::filesystem::file_size(archive), 200 * kMegabyte);

    std::string output;
    EXPECT_EQ(importWithin(128 * kMegabyte, output), 0) << output;
    EXPECT_NE(output.find("Imported 2000 activities."), std::string::npos) << output;
    EXPECT_EQ(RideStore::open(storeFile)->allRecords(false).size(), 2000u);
}

// A field of 300 MB is refused by name; the activities around it still come in, and the reader
// never holds the field's 400 MB of text.
TEST_F(ArchiveMemoryTest, AFieldLargerThanTheLimitIsRefusedAndTheRestImports) {
    ArchiveWriter writer(archive);
    Uuid before = writer.add(1, 1000);
    Uuid huge = writer.add(2, 300'000'000);
    Uuid after = writer.add(3, 1000);
    writer.finish();

    std::string output;
    EXPECT_EQ(importWithin(512 * kMegabyte, output), 1) << output;
    EXPECT_NE(output.find("activity " + huge.toString() +
                          " was not imported: its routeData is larger than 256 MB"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Imported 2 activities."), std::string::npos) << output;
    auto stored = RideStore::open(storeFile)->allRecords(false);
    ASSERT_EQ(stored.size(), 2u);
    for (const auto& ride : stored) EXPECT_TRUE(ride->rideID == before || ride->rideID == after);
}

}  // namespace
}  // namespace vantrel::test
