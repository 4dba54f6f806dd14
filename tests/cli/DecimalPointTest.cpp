#include <gtest/gtest.h>

#include <clocale>

#include "cli/CliRunner.h"
#include "support/TestSupport.h"

namespace vantrel::cli {
namespace {

// A host that adopted the user's German number locale must still get figures with a point.
TEST(CliDecimalPointTest, FiguresUseAPointUnderAGermanLocale) {
    test::IsolatedEnvironment environment;
    std::filesystem::path storeFile = environment.root() / "store.sqlite";
    {
        auto store = RideStore::open(storeFile);
        auto ride = std::make_shared<PersistedRide>();
        ride->date = dateFromUnix(1720094400);
        ride->duration = 3723;
        ride->distance = 12345.5;
        store->insert(ride);
        store->save();
    }
    std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "the locale de_DE.UTF-8 is missing (scripts/setup installs locales-all)";
    Result list = runOnStore(storeFile, {"list"});
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_NE(list.out.find("\t7.7 mi\t"), std::string::npos) << list.out;
}

}  // namespace
}  // namespace vantrel::cli
