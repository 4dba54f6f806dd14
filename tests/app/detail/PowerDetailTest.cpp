#include <QGroupBox>
#include <QLineSeries>

#include "app/AppFixture.h"
#include "app/detail/ActivityDetailView.h"
#include "app/detail/PowerCurveSection.h"
#include "app/detail/RideChartView.h"
#include "app/widgets/PowerCurveChart.h"
#include "import/ActivityImporter.h"
#include "logging/PersistentLogger.h"

namespace vantrel::test {
namespace {

class PowerDetailTest : public AppFixture {
  protected:
    std::unique_ptr<ActivityDetailView> openImported(const char* corpusName) {
        auto ride = std::make_shared<PersistedRide>(
            importActivityFile(readFileBytes(corpusFile(corpusName)), corpusName, std::nullopt));
        store->insert(ride);
        store->save();
        return std::make_unique<ActivityDetailView>(
            *store, AppContext{Preferences::shared(), PersistentLogger::shared()}, ride,
            UnitSystem::metric, nullptr);
    }
};

TEST_F(PowerDetailTest, ARideWithPowerShowsItsRowsChartAndCurve) {
    // A ride with a power meter and a heart-rate strap.
    auto view = openImported("goldencheetah__hammerhead-karoo.fit");
    EXPECT_EQ(view->chart()->title(), "Power & Heart Rate");
    EXPECT_EQ(view->valueOf("Avg Power"), "171 W");  // 171.02 as the FIT SDK reads the file
    EXPECT_EQ(view->valueOf("Max Power"), "450 W");
    EXPECT_EQ(view->valueOf("Avg Cadence"), "76 rpm");
    QString normalized = view->valueOf("Normalized Power");
    ASSERT_TRUE(normalized.endsWith(" W")) << normalized.toStdString();
    EXPECT_GT(normalized.chopped(2).toInt(), 171);

    QStringList titles = view->sectionTitles();
    int health = static_cast<int>(titles.indexOf("Health"));
    ASSERT_GE(health, 0);
    EXPECT_EQ(titles.value(health + 1), "Power Curve");
    EXPECT_FALSE(view->valueOf("Best 5 s").isEmpty());
    EXPECT_FALSE(view->valueOf("Best 20 min").isEmpty());

    auto* section = view->findChild<PowerCurveSection*>();
    ASSERT_TRUE(section);
    EXPECT_EQ(section->chart()->accessibleName(), "Power curve");
    const auto& curve = section->chart()->curve();
    ASSERT_FALSE(curve.empty());
    EXPECT_EQ(curve.front().seconds, 1);
    auto* line = section->chart()->findChild<QLineSeries*>();
    EXPECT_TRUE(!line || line->count() == static_cast<int>(curve.size()));
}

TEST_F(PowerDetailTest, WithoutPowerThereAreNoPowerRowsOrCurve) {
    auto view = openImported("fitparse__garmin-edge-500-activity.fit");
    EXPECT_EQ(view->valueOf("Avg Power"), "");
    EXPECT_EQ(view->valueOf("Normalized Power"), "");
    EXPECT_EQ(view->valueOf("Avg Cadence"), "89 rpm");
    EXPECT_FALSE(view->sectionTitles().contains("Power Curve"));
    EXPECT_NE(view->chart()->title(), "Power & Heart Rate");
}

}  // namespace
}  // namespace vantrel::test
