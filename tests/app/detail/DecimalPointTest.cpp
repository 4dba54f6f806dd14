#include <clocale>
#include <cstdio>
#include <ctime>

#include "app/AppFixture.h"
#include "app/detail/ActivityDetailView.h"
#include "model/Preferences.h"

namespace vantrel::test {
namespace {

/// Runs with the process locale set to German, whose decimal separator is a comma.
class DecimalPointTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_previous = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
            << "the locale de_DE.UTF-8 is missing (scripts/setup installs locales-all)";
    }
    void TearDown() override {
        app.reset();
        std::setlocale(LC_ALL, m_previous.c_str());
    }

  private:
    std::string m_previous;
};

TEST_F(DecimalPointTest, AppFiguresUseAPointWhateverTheLocale) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    RideRef ride = addRide(local.tm_year + 1900, 1, 1, 1234);
    ride->averageCadence = 85.5;
    Preferences::shared().setString(kUnitSystemKey, "metric");
    startApp();
    auto* view = qobject_cast<ActivityDetailView*>(app->mainWindow()->currentDetail());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->valueOf("Distance"), "1.2 km");
    EXPECT_EQ(view->valueOf("Avg Speed"), "1.2 km/h");
    // Whatever else the app prints with the C library follows the same rule.
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 1.5);
    EXPECT_STREQ(printed, "1.5");
}

}  // namespace
}  // namespace vantrel::test
