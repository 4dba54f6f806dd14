// Legs that make no sense keep the file together, with a reason; nothing is dropped for them.
#include <gtest/gtest.h>

#include "import/MultisportSplitter.h"

namespace vantrel {
namespace {

constexpr Date kStart = 700'000'000;

ImportedSession session(ActivityType kind, double start, double length, bool transition = false) {
    return {kStart + start, length, std::nullopt, kind, transition};
}

// One point every 10 s over the first `seconds`, every fifth one without a position.
ImportedActivity recording(double seconds, std::vector<ImportedSession> sessions) {
    ImportedActivity activity;
    for (double t = 0; t <= seconds; t += 10) {
        ImportedTrackpoint point{47.0 + t * 1e-5, 8.0,         std::nullopt, kStart + t, 130,
                                 t * 5,           std::nullopt};
        auto& list = static_cast<int>(t) % 50 == 0 ? activity.unplacedPoints : activity.trackpoints;
        list.push_back(point);
    }
    for (const auto& s : sessions)
        activity.lapSummaries.push_back({*s.elapsedSeconds, 1000, 10, 130, 150, s.startTime});
    activity.sessions = std::move(sessions);
    activity.activityType = activity.sessions.back().activityType;
    return activity;
}

std::size_t pointCount(const ImportedActivity& activity) {
    return activity.trackpoints.size() + activity.unplacedPoints.size();
}

TEST(MultisportSplitter, LegsTakeTheirOwnPointsLapsAndKindAndTransitionsAreLeftOut) {
    auto split =
        MultisportSplitter::split(recording(3000, {session(ActivityType::swimming, 0, 1000),
                                                   session(ActivityType::other, 1000, 200, true),
                                                   session(ActivityType::cycling, 1200, 1800)}));
    EXPECT_FALSE(split.warning);
    ASSERT_EQ(split.legs.size(), 2u);
    const auto& swim = split.legs[0];
    const auto& ride = split.legs[1];
    EXPECT_EQ(swim.activityType, ActivityType::swimming);
    EXPECT_EQ(ride.activityType, ActivityType::cycling);
    EXPECT_EQ(pointCount(swim), 101u);  // 0 … 1000 s
    EXPECT_EQ(pointCount(ride), 181u);  // 1200 … 3000 s
    EXPECT_EQ(swim.unplacedPoints.size(), 21u);
    ASSERT_EQ(swim.lapSummaries.size(), 1u);
    EXPECT_EQ(swim.lapSummaries[0].startTime, kStart);
    ASSERT_EQ(ride.lapSummaries.size(), 1u);
    EXPECT_EQ(ride.sessions.size(), 1u);
}

TEST(MultisportSplitter, OneSessionOrOneSportStaysOneActivityWithoutWarning) {
    for (const auto& sessions : {std::vector{session(ActivityType::running, 0, 600)},
                                 std::vector{session(ActivityType::swimming, 0, 300),
                                             session(ActivityType::other, 300, 10, true),
                                             session(ActivityType::swimming, 310, 290)}}) {
        auto whole = recording(600, sessions);
        auto split = MultisportSplitter::split(whole);
        EXPECT_FALSE(split.warning);
        ASSERT_EQ(split.legs.size(), 1u);
        EXPECT_EQ(pointCount(split.legs[0]), pointCount(whole));
        EXPECT_EQ(split.legs[0].lapSummaries, whole.lapSummaries);
    }
}

struct BadLegs {
    const char* what;
    std::vector<ImportedSession> sessions;
    const char* reason;
};

class SenselessLegs : public ::testing::TestWithParam<BadLegs> {};

TEST_P(SenselessLegs, AreMergedBackWithAWarningAndNothingDropped) {
    auto whole = recording(3000, GetParam().sessions);
    auto split = MultisportSplitter::split(whole);
    ASSERT_EQ(split.legs.size(), 1u);
    ASSERT_TRUE(split.warning);
    EXPECT_EQ(*split.warning, GetParam().reason);
    EXPECT_EQ(pointCount(split.legs[0]), pointCount(whole));
    EXPECT_EQ(split.legs[0].lapSummaries.size(), whole.lapSummaries.size());
    EXPECT_EQ(split.legs[0].activityType, whole.activityType);
}

std::vector<ImportedSession> fiftySessions() {
    std::vector<ImportedSession> sessions;
    sessions.reserve(50);
    for (int i = 0; i < 50; ++i) {
        sessions.push_back(
            session(i % 2 ? ActivityType::running : ActivityType::swimming, i * 60.0, 60));
    }
    return sessions;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SenselessLegs,
    ::testing::Values(
        BadLegs{
            "overlapping",
            {session(ActivityType::swimming, 0, 1500), session(ActivityType::cycling, 1000, 1000)},
            "sessions overlap or run backwards"},
        BadLegs{"backwards",
                {session(ActivityType::cycling, 2000, 500), session(ActivityType::running, 0, 500)},
                "sessions overlap or run backwards"},
        BadLegs{
            "outside the records",
            {session(ActivityType::swimming, 0, 1000), session(ActivityType::running, 9000, 600)},
            "a session lies outside the file's records"},
        BadLegs{"without a length",
                {session(ActivityType::swimming, 0, 1000), session(ActivityType::running, 1000, 0)},
                "a session has no start or no length"},
        BadLegs{"fifty sessions", fiftySessions(), "more than 20 sessions of different sports"}),
    [](const auto& testInfo) {
        std::string name;
        for (const char* c = testInfo.param.what; *c; ++c) name += std::isalnum(*c) ? *c : '_';
        return name;
    });

}  // namespace
}  // namespace vantrel
