#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/Date.h"

namespace vantrel {
namespace {

constexpr Date kMay1st = 736237815;  // 2024-05-01T06:30:15Z

TEST(ParseISO8601, AcceptsOnlyItsOwnForm) {
    EXPECT_EQ(parseISO8601("2024-05-01T06:30:15Z", false), kMay1st);
    EXPECT_EQ(parseISO8601("2024-05-01T08:30:15+02:00", false), kMay1st);
    EXPECT_EQ(parseISO8601("2024-05-01T04:00:15-0230", false), kMay1st);
    EXPECT_FALSE(parseISO8601("2024-05-01T06:30:15.250Z", false));
    EXPECT_DOUBLE_EQ(*parseISO8601("2024-05-01T06:30:15.250Z", true), kMay1st + 0.25);
    EXPECT_DOUBLE_EQ(*parseISO8601("2024-05-01T06:30:15.5+00:00", true), kMay1st + 0.5);
    EXPECT_FALSE(parseISO8601("2024-05-01T06:30:15Z", true));
    EXPECT_FALSE(parseISO8601("2024-05-01T06:30:15.Z", true));
}

TEST(ParseISO8601, RejectsEverythingElse) {
    for (const char* text :
         {"2024-05-01 06:30:15Z", "2024-05-01T06:30:15", "2024-05-01", " 2024-05-01T06:30:15Z",
          "2024-05-01T06:30:15Z ", "2024-13-01T06:30:15Z", "2023-02-29T06:30:15Z",
          "2024-05-01T24:00:00Z", "2024-05-01T06:60:15Z", "2024-05-01T06:30:60Z",
          "2024-05-01t06:30:15z", "2024-05-01T06:30:15+2:00", "2024-05-01T06:30:15+24:00", "",
          "24-05-01T06:30:15Z", "2024/05/01T06:30:15Z"}) {
        EXPECT_FALSE(parseISO8601Either(text)) << text;
    }
    EXPECT_TRUE(parseISO8601Either("2024-02-29T00:00:00Z"));
}

TEST(ParseISO8601, ReadsDatesFarFromTheReferenceEpoch) {
    EXPECT_EQ(parseISO8601Either("2001-01-01T00:00:00Z"), 0);
    EXPECT_EQ(parseISO8601Either("1970-01-01T00:00:00Z"), -kUnixToReferenceOffset);
    EXPECT_EQ(parseISO8601Either("1989-12-31T00:00:00Z"), 631065600 - kUnixToReferenceOffset);
}

TEST(FormatISO8601, WritesUtcWithAndWithoutMilliseconds) {
    EXPECT_EQ(formatISO8601(kMay1st + 0.999), "2024-05-01T06:30:15Z");
    EXPECT_EQ(formatISO8601Milliseconds(kMay1st + 0.25), "2024-05-01T06:30:15.250Z");
    EXPECT_EQ(formatISO8601Milliseconds(kMay1st), "2024-05-01T06:30:15.000Z");
    EXPECT_EQ(formatISO8601(-kUnixToReferenceOffset - 0.5), "1969-12-31T23:59:59Z");
    EXPECT_EQ(formatISO8601Milliseconds(-0.25), "2000-12-31T23:59:59.750Z");
    for (Date date : {0.0, 1e9, -1e9, 736237815.125}) {
        EXPECT_EQ(parseISO8601Either(formatISO8601Milliseconds(date)), date);
    }
}

TEST(FormatISO8601, OnlyInstantsWithAFourDigitYearAreWritten) {
    constexpr Date kFirst = -63113904000;  // 0001-01-01T00:00:00Z
    constexpr Date kEnd = 252423993600;    // 10000-01-01T00:00:00Z
    EXPECT_EQ(formatISO8601(kFirst), "0001-01-01T00:00:00Z");
    EXPECT_EQ(formatISO8601(kEnd - 0.5), "9999-12-31T23:59:59Z");
    EXPECT_EQ(formatISO8601Milliseconds(kEnd - 0.001), "9999-12-31T23:59:59.999Z");
    EXPECT_EQ(formatISO8601Milliseconds(kFirst), "0001-01-01T00:00:00.000Z");
    for (Date date :
         {kFirst - 0.5, kEnd, 1e15, -1e20, 1e300, std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_FALSE(isFormattableISO8601(date)) << date;
        EXPECT_EQ(formatISO8601(date), "") << date;
        EXPECT_EQ(formatISO8601Milliseconds(date), "") << date;
    }
    EXPECT_EQ(formatISO8601Milliseconds(kEnd - 0.0001), "");  // rounds up into year 10000
    // Reading is the mirror image: what cannot be written is not read either.
    EXPECT_EQ(parseISO8601Either("0001-01-01T00:00:00Z"), kFirst);
    EXPECT_FALSE(parseISO8601Either("0000-06-01T00:00:00Z"));
    EXPECT_FALSE(parseISO8601Either("0001-01-01T00:30:00+01:00"));
    EXPECT_FALSE(parseISO8601Either("9999-12-31T23:30:00-01:00"));
}

}  // namespace
}  // namespace vantrel
