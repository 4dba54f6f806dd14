#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/webmap/LeafletMapView.h"
#include "model/Preferences.h"
#include "support/TestSupport.h"

// The real map page in the real web engine, on an X display (scripts/test starts Xvfb). Tiles
// point at a closed local port: the page must still load, draw and report without them.
namespace vantrel::test {
namespace {

class LeafletMapViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_CACHE_HOME", (env.root() / "cache").c_str(), 1);
        Preferences::shared().setString("tileURL", "http://127.0.0.1:1/{z}/{x}/{y}.png");
    }

    /// Runs a script in the page and waits for its result.
    QVariant evaluate(LeafletMapView& map, const QString& script) {
        QVariant result;
        bool done = false;
        map.webView()->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
        return result;
    }

    IsolatedEnvironment env;
};

TEST_F(LeafletMapViewTest, DrawsARouteAndReportsTheCameraOverTheChannel) {
    LeafletMapView map(MapView::webMapSettings());
    std::vector<std::pair<MapCamera, bool>> reports;
    map.setCameraListener(
        [&](const MapCamera& camera, bool byUser) { reports.emplace_back(camera, byUser); });
    map.widget()->resize(640, 480);
    map.widget()->show();
    // Asked before the page is ready: kept and sent once it is.
    map.showRoute({{46.90, 7.40}, {46.91, 7.41}, {46.92, 7.40}});
    map.setCamera({{46.91, 7.405}, 0.028, 0.015});
    ASSERT_TRUE(QTest::qWaitFor([&] { return map.isReady(); }, 60000))
        << "the map page did not start";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 20000));

    const auto& [camera, byUser] = reports.back();
    EXPECT_FALSE(byUser);  // the app's own fit is never taken for the user's move
    EXPECT_NEAR(camera.center.latitude, 46.91, 0.002);
    EXPECT_NEAR(camera.center.longitude, 7.405, 0.002);
    // The whole requested region is visible, and not much more of one of its sides.
    EXPECT_GE(camera.spanLat, 0.028 * 0.99);
    EXPECT_GE(camera.spanLon, 0.015 * 0.99);
    EXPECT_TRUE(camera.spanLat < 0.028 * 1.05 || camera.spanLon < 0.015 * 1.05);
    EXPECT_EQ(map.camera(), camera);

    EXPECT_EQ(evaluate(map, "vantrelState.routePoints").toInt(), 3);
    EXPECT_EQ(
        evaluate(map, "document.querySelectorAll('.leaflet-overlay-pane canvas').length").toInt(),
        1);
    EXPECT_TRUE(evaluate(map, "document.querySelector('.leaflet-control-attribution').textContent")
                    .toString()
                    .contains("OpenStreetMap"));
    EXPECT_EQ(evaluate(map, "typeof L").toString(), "object");  // Leaflet came from resources

    map.showMarker(CodableCoordinate{46.91, 7.41}, QStringLiteral("150 bpm · 100 m"));
    EXPECT_EQ(
        evaluate(map, "document.querySelector('.vantrel-marker-label').textContent").toString(),
        "150 bpm · 100 m");
}

}  // namespace
}  // namespace vantrel::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        fprintf(stderr, "This test needs an X display (scripts/test starts Xvfb).\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    vantrel::MapView::prepareProcess();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
