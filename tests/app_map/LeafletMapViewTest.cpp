#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDesktopServices>
#include <QImage>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>

#include "app/map/webmap/LeafletMapView.h"
#include "model/Preferences.h"
#include "services/LocalHttpServer.h"
#include "support/TestSupport.h"

// The real map page in the real web engine, on an X display (scripts/test starts Xvfb). Tiles
// point at a closed local port: the page must still load, draw and report without them.
namespace vantrel::test {
namespace {

/// Stands in for the user's browser: records the links the map hands over.
class BrowserStandIn : public QObject {
    Q_OBJECT
  public:
    BrowserStandIn() {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    }
    ~BrowserStandIn() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    QList<QUrl> opened;

  public slots:
    void open(const QUrl& url) { opened << url; }
};

std::string tinyPng() {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().toStdString();
}

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

    /// Shows the map and waits until its page has started.
    void start(LeafletMapView& map) {
        map.widget()->resize(640, 480);
        map.widget()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(map.widget()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return map.isReady(); }, 60000))
            << "the map page did not start";
    }

    IsolatedEnvironment env;
};

TEST_F(LeafletMapViewTest, DrawsARouteAndReportsTheCameraOverTheChannel) {
    LeafletMapView map(MapView::webMapSettings(Preferences::shared()));
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

TEST_F(LeafletMapViewTest, PaintsAHeatmapWhereTheLinesOverlapMost) {
    LeafletMapView map(MapView::webMapSettings(Preferences::shared()));
    int painted = -1;
    map.setHeatmapPaintedListener([&](int lines) { painted = lines; });
    map.widget()->resize(640, 480);
    map.widget()->show();
    // Ten lines along one street, one of them also up a side street.
    HeatmapLines lines;
    for (int i = 0; i < 10; ++i) lines.add({{46.90, 7.40}, {46.90, 7.42}});
    lines.add({{46.90, 7.41}, {46.92, 7.41}});
    map.showHeatmap(lines);
    ASSERT_TRUE(QTest::qWaitFor([&] { return painted >= 0; }, 60000)) << "no heatmap painted";
    EXPECT_EQ(painted, 11);
    EXPECT_EQ(evaluate(map, "vantrelState.heatmapLines").toInt(), 11);
    ASSERT_TRUE(map.camera());
    EXPECT_NEAR(map.camera()->center.latitude, 46.91, 0.005);

    // The colour of the busy street is further along the ramp (more green) than the side street.
    QString greenAt = QStringLiteral(
        "(() => { const p = map.latLngToContainerPoint([%1, %2]);"
        " for (const c of document.querySelectorAll('.leaflet-heatmap-pane canvas')) {"
        "   const r = c.getBoundingClientRect();"
        "   if (p.x < r.left || p.x >= r.right || p.y < r.top || p.y >= r.bottom) continue;"
        "   const x = (p.x - r.left) * c.width / r.width, y = (p.y - r.top) * c.height / r.height;"
        "   const d = c.getContext('2d').getImageData(Math.floor(x), Math.floor(y), 1, 1).data;"
        "   return d[3] > 0 ? d[1] : -1; } return -2; })()");
    int busy = evaluate(map, greenAt.arg(46.90).arg(7.405)).toInt();
    int quiet = evaluate(map, greenAt.arg(46.915).arg(7.41)).toInt();
    EXPECT_GT(busy, quiet);
    EXPECT_GE(quiet, 0);

    painted = -1;
    map.showHeatmap({});
    ASSERT_TRUE(QTest::qWaitFor([&] { return painted == 0; }, 20000));
    EXPECT_EQ(
        evaluate(map, "document.querySelectorAll('.leaflet-heatmap-pane canvas').length").toInt(),
        0);
}

TEST_F(LeafletMapViewTest, HeatmapPointsReachThePageToAMillionthOfADegree) {
    LeafletMapView map(MapView::webMapSettings(Preferences::shared()));
    start(map);
    int painted = -1;
    map.setHeatmapPaintedListener([&](int lines) { painted = lines; });
    // Short and long steps both ways, the far corners of the map, and a second line that
    // starts afresh rather than from where the first one ended.
    std::vector<CodableCoordinate> first{{46.900001, 7.400001},    {46.900002, 7.399999},
                                         {46.916383, 7.383616},    {-33.868800, 151.209300},
                                         {89.999999, -179.999999}, {-90.0, 180.0}};
    std::vector<CodableCoordinate> second{{51.5, -0.12}, {51.500001, -0.120001}};
    HeatmapLines lines;
    lines.add(first);
    lines.add(second);
    map.showHeatmap(lines);
    ASSERT_TRUE(QTest::qWaitFor([&] { return painted >= 0; }, 60000)) << "no heatmap painted";
    EXPECT_EQ(painted, 2);
    // Back from the page's world units to degrees (latitudes are held within the projection's
    // limits of 85.05 degrees).
    QVariantList back = evaluate(map,
                                 "Array.from(heat._lines.xs, (x, i) => [heat._lines.ys[i], x])"
                                 ".map(([y, x]) => [Math.atan(Math.sinh(Math.PI * (1 - 2 * y))) "
                                 "* 180 / Math.PI, x * 360 - 180])")
                            .toList();
    std::vector<CodableCoordinate> sent = first;
    sent.insert(sent.end(), second.begin(), second.end());
    ASSERT_EQ(back.size(), static_cast<qsizetype>(sent.size()));
    for (std::size_t i = 0; i < sent.size(); ++i) {
        QVariantList point = back[static_cast<qsizetype>(i)].toList();
        EXPECT_NEAR(point[0].toDouble(), std::clamp(sent[i].latitude, -85.05, 85.05), 1e-6) << i;
        EXPECT_NEAR(point[1].toDouble(), sent[i].longitude, 1e-6) << i;
    }
}

TEST_F(LeafletMapViewTest, HeatCountsEachLineOncePerPixelAcrossRoundsOfLineNumbers) {
    LeafletMapView map(MapView::webMapSettings(Preferences::shared()));
    start(map);
    // The counting keeps line numbers in 16 bits, in rounds: 140,000 lines run through more
    // than two rounds, one line goes back over itself, and a count stops at its largest value.
    QVariantList counts =
        evaluate(
            map,
            "(() => {"
            " const n = 140000, xs = new Float64Array(2 * n + 3), ys = new Float64Array(2 * n + 3);"
            " const starts = new Uint32Array(n + 1), boxes = new Float64Array(4 * n + 4);"
            " for (let l = 0; l < n; l++) {"
            "  starts[l] = 2 * l; xs.set([0.10, 0.20], 2 * l); ys.set([0.05, 0.05], 2 * l);"
            "  boxes.set([0.10, 0.05, 0.20, 0.05], 4 * l); }"
            " starts[n] = 2 * n; xs.set([0.30, 0.50, 0.30], 2 * n); ys.set([0.02, 0.02, 0.02], 2 * "
            "n);"
            " boxes.set([0.30, 0.02, 0.50, 0.02], 4 * n);"
            " const cells = countLines({ xs, ys, starts, boxes, points: 2 * n + 3 }, 100, 10, 100, "
            "0, 0);"
            " const at = (x, y) => cells[y * 100 + x] >>> 16;"
            " return [at(15, 5), at(15, 6), at(40, 2), at(40, 3), at(40, 5), at(60, 2)]; })()")
            .toList();
    ASSERT_EQ(counts.size(), 6);
    EXPECT_EQ(counts[0].toInt(), 65535);  // the busy street, as far as a count goes
    EXPECT_EQ(counts[1].toInt(), 65535);  // its second pixel of width
    EXPECT_EQ(counts[2].toInt(), 1);      // there and back again counts once
    EXPECT_EQ(counts[3].toInt(), 1);
    EXPECT_EQ(counts[4].toInt(), 0);  // nothing between the two
    EXPECT_EQ(counts[5].toInt(), 0);  // beyond where the line turned
}

TEST_F(LeafletMapViewTest, AHostileCreditIsShownAsTextAndThePageLoadsNothingElsewhere) {
    test::LocalHttpServer elsewhere([](const auto&) { return test::LocalHttpServer::Response{}; });
    std::string host = elsewhere.url();
    Preferences::shared().setString(
        "tileAttribution", "Tiles <img src=\"" + host + "/img\" onerror=\"window.pwned=1;fetch('" +
                               host + "/fetch')\"><script src=\"" + host +
                               "/script.js\"></script> by <a href=\"" + host +
                               "/credit\" onclick=\"window.pwned=2\">Them</a> and <a "
                               "href=\"https://b.example/\">Us</a>");
    LeafletMapView map(MapView::webMapSettings(Preferences::shared()));
    start(map);

    QString credit = QStringLiteral("document.querySelector('.leaflet-control-attribution')");
    EXPECT_EQ(evaluate(map, credit + ".querySelectorAll('img, script').length").toInt(), 0);
    EXPECT_EQ(evaluate(map, credit + ".querySelectorAll('a').length").toInt(), 1);
    EXPECT_EQ(evaluate(map, credit + ".querySelector('a').getAttribute('onclick')").toString(), "");
    EXPECT_TRUE(evaluate(map, credit + ".textContent").toString().startsWith("Tiles"));
    EXPECT_EQ(evaluate(map, "typeof window.pwned").toString(), "undefined");

    // Should a script ever get in, it still could not send anything anywhere.
    evaluate(map, QStringLiteral("(() => { window.refused = 0;"
                                 " const image = new Image();"
                                 " image.onerror = () => { window.refused += 1; };"
                                 " image.src = '%1/csp-image'; document.body.appendChild(image);"
                                 " fetch('%1/csp-fetch').catch(() => { window.refused += 1; });"
                                 " return 0; })()")
                      .arg(QString::fromStdString(host)));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return evaluate(map, "window.refused").toInt() == 2; }, 20000));
    for (const auto& request : elsewhere.requests()) ADD_FAILURE() << request.target;
}

TEST_F(LeafletMapViewTest, TilesLoadAndTheCreditLinkOpensInTheBrowserNotTheMap) {
    std::string png = tinyPng();
    test::LocalHttpServer tiles([&png](const auto&) {
        return test::LocalHttpServer::Response{200, png, {}, "image/png"};
    });
    Preferences::shared().setString("tileURL", tiles.url() + "/{z}/{x}/{y}.png");
    Preferences::shared().setString(
        "tileAttribution", "&copy; <a href=\"https://credit.example/about\">Credit</a> team");
    BrowserStandIn browser;
    LeafletMapView map(MapView::webMapSettings(Preferences::shared()));
    start(map);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return evaluate(map, "document.querySelectorAll('.leaflet-tile-loaded').length")
                       .toInt() > 0;
        },
        20000))
        << "no tile loaded from " << tiles.url();
    EXPECT_EQ(evaluate(map, "document.querySelector('.leaflet-control-attribution').textContent")
                  .toString(),
              QStringLiteral("© Credit team"));

    QVariantList box = evaluate(map,
                                "(() => { const r = document.querySelector("
                                "'.leaflet-control-attribution a').getBoundingClientRect();"
                                " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                           .toList();
    ASSERT_EQ(box.size(), 2);
    QPoint link(static_cast<int>(box[0].toDouble()), static_cast<int>(box[1].toDouble()));
    QTest::mouseClick(map.webView()->focusProxy(), Qt::LeftButton, {}, link);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !browser.opened.isEmpty(); }, 20000));
    EXPECT_EQ(browser.opened, QList<QUrl>{QUrl(QStringLiteral("https://credit.example/about"))});

    // Neither scripts nor pages may take the map elsewhere or open windows.
    evaluate(map, "window.open('https://other.example/window'); 0");
    evaluate(map, "location.href = 'https://other.example/location'; 0");
    QTest::qWait(500);
    EXPECT_EQ(map.webView()->url(), QUrl(QStringLiteral("qrc:/map/map.html")));
    EXPECT_EQ(evaluate(map, "typeof vantrel").toString(), "object");
    EXPECT_EQ(browser.opened.size(), 1) << browser.opened.last().toString().toStdString();
}

}  // namespace
}  // namespace vantrel::test

#include "LeafletMapViewTest.moc"

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
