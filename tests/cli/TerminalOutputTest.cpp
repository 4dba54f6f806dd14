#include <gtest/gtest.h>

#include <algorithm>

#include "cli/CliRunner.h"
#include "import/ZipTestArchive.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

namespace fs = std::filesystem;

// Texts that would retitle the terminal, clear it, move the cursor or start a line that looks
// like the tool's own, as an archive, a look-up service or a file name could carry them.
constexpr const char* kArchive = R"({"appName":"Vantrel","exportDate":"2024-05-01T06:30:00Z",
"rides":[{"activeTime":0,"averageHeartRate":0,"calories":0,"date":"2024-05-01T05:30:00Z",
"distance":1000,"duration":600,"elevationGain":0,"maxHeartRate":0,
"rideID":"6B29FC40-CA47-1067-B31D-00DD010662DB",
"activityType":"\u001b]0;owned\u0007running",
"city":"Bern\u001b[2J\u009b31m\u2028vantrel-cli: forged city",
"notes":"fine\r\nvantrel-cli: forged note\u001b[1;1H\u0085\u007f",
"importSource":"\u2029Strava\u001bP\u001b\\"}],"version":1})";

/// Fails for every byte that a terminal would act on rather than show; tabs and line ends are
/// the output's own structure and are counted by the callers.
void expectNothingForTheTerminal(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        auto next = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
        };
        bool c0 = (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F;
        bool c1 = byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F;
        bool separator = byte == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9);
        EXPECT_FALSE(c0 || c1 || separator) << "at byte " << i << " of:\n" << text;
    }
}

std::size_t linesStartingWith(const std::string& text, const std::string& prefix) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
        if (text.compare(at, prefix.size(), prefix) == 0) ++count;
        if (text.find('\n', at) == std::string::npos) break;
    }
    return count;
}

class TerminalOutputTest : public ::testing::Test {
  protected:
    fs::path file(const std::string& name) const { return m_env.root() / name; }
    Result run(std::vector<std::string> args) {
        return runOnStore(m_env.root() / "store.sqlite", std::move(args));
    }

    test::IsolatedEnvironment m_env;
};

TEST_F(TerminalOutputTest, ArchiveTextsReachTheTerminalEscaped) {
    test::writeFileBytes(file("hostile.json"), bytesOf(kArchive));
    ASSERT_EQ(run({"import-archive", file("hostile.json").string()}).status, 0);

    Result list = run({"list"});
    EXPECT_EQ(list.status, 0);
    expectNothingForTheTerminal(list.out);
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1);
    EXPECT_NE(list.out.find("\\x1B]0;owned\\x07running\t"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("Bern\\x1B[2J\\u009B31m\\u2028vantrel-cli: forged city\n"),
              std::string::npos)
        << list.out;

    Result show = run({"show", "6B29FC40-CA47-1067-B31D-00DD010662DB"});
    EXPECT_EQ(show.status, 0);
    expectNothingForTheTerminal(show.out);
    EXPECT_EQ(linesStartingWith(show.out, "vantrel-cli:"), 0u);
    EXPECT_NE(show.out.find("notes: fine\\r\\nvantrel-cli: forged note\\x1B[1;1H\\u0085\\x7F\n"),
              std::string::npos)
        << show.out;
    EXPECT_NE(show.out.find("importSource: \\u2029Strava\\x1BP\\x1B\\\n"), std::string::npos)
        << show.out;

    // Scripts reading JSON get the texts exactly as stored.
    Result json = run({"list", "--json"});
    EXPECT_NE(json.out.find(R"("city":"Bern\u001b[2J)"), std::string::npos) << json.out;
}

TEST_F(TerminalOutputTest, FileNamesInErrorsCannotForgeLines) {
    std::string name = "ride\x1b]0;owned\x07\nvantrel-cli: all good\r.gpx";
    test::writeFileBytes(file(name), bytesOf("<gpx>"));
    test::writeFileBytes(file("bad\x1b[31m.json"), bytesOf("{"));
    test::ZipTestArchive(file("z\x9b"
                              "2J.zip"))
        .add("a.gpx", std::string("<gpx>"));

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"import", file(name).string()},
             {"inspect", file(name).string()},
             {"import-archive", file("bad\x1b[31m.json").string()},
             {"import-zip",
              file("z\x9b"
                   "2J.zip")
                  .string(),
              file("missing\x1b.zip").string()},
             {"show", "\x1b[2J"},
             {"list", "--year", "\x1b[2J"},
             {"no-such-command\x1b[2J"}}) {
        Result result = run(args);
        EXPECT_NE(result.status, 0) << args.front();
        expectNothingForTheTerminal(result.out);
        expectNothingForTheTerminal(result.err);
        EXPECT_EQ(linesStartingWith(result.err, "vantrel-cli: all good"), 0u) << result.err;
    }
}

}  // namespace
}  // namespace vantrel::cli
