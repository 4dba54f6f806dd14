#include <QApplication>
#include <QChart>
#include <QGroupBox>
#include <QLabel>
#include <QLineSeries>
#include <QValueAxis>

#include "app/AppFixture.h"
#include "app/detail/RideChartView.h"

namespace vantrel::test {
namespace {

/// The palette a dark desktop scheme gives Qt applications: light text on dark grounds and
/// the deep blue highlight many of them use.
QPalette darkPalette() {
    QPalette palette;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        palette.setColor(group, QPalette::WindowText, QColor(0xdd, 0xdd, 0xdd));
        palette.setColor(group, QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        palette.setColor(group, QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
        palette.setColor(group, QPalette::Text, QColor(0xdd, 0xdd, 0xdd));
        palette.setColor(group, QPalette::Button, QColor(0x35, 0x35, 0x35));
        palette.setColor(group, QPalette::ButtonText, QColor(0xdd, 0xdd, 0xdd));
        palette.setColor(group, QPalette::Highlight, QColor(0x1d, 0x3a, 0x6e));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::PlaceholderText, QColor(0x8c, 0x8c, 0x8c));
        palette.setColor(group, QPalette::Mid, QColor(0x3a, 0x3a, 0x3a));
    }
    return palette;
}

/// The colour of the most opaque pixel of a picture (the symbol's ink).
QColor inkOf(const QPixmap& picture) {
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    QColor ink;
    int best = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > best) {
                best = pixel.alpha();
                ink = pixel;
            }
        }
    }
    return ink;
}

double lightnessGap(const QColor& a, const QColor& b) {
    return std::abs(a.lightnessF() - b.lightnessF());
}

class DarkPaletteTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_saved = QApplication::palette();
        QApplication::setPalette(darkPalette());
    }
    void TearDown() override {
        app.reset();
        QApplication::setPalette(m_saved);
    }

  private:
    QPalette m_saved;
};

TEST_F(DarkPaletteTest, ChartAndSymbolsFollowADarkPalette) {
    RideRef ride = addRide(2024, 7, 4);
    std::vector<RoutePoint> route;
    for (int i = 0; i <= 30; ++i)
        route.push_back({Uuid::random(), {46.9 + i * 1e-4, 7.4}, 400.0 + i, ride->date + i * 60});
    ride->setRoutePoints(route);
    startApp();
    ActivityDetailView* detail = showInDetail(ride);
    ASSERT_NE(detail, nullptr);
    QPalette palette = QApplication::palette();

    QChart* chart = detail->chart()->chart();
    QColor ground = chart->backgroundBrush().color();
    EXPECT_EQ(ground, palette.color(QPalette::Base));
    // The elevation line is drawn in the text colour: it must stand out from the ground.
    QColor elevation;
    for (auto* series : chart->series()) {
        auto* line = qobject_cast<QLineSeries*>(series);
        // Heart rate and its average rule (the same red, half transparent) are not it.
        if (line && line->count() > 1 && line->pen().color().rgb() != QColor(220, 45, 45).rgb())
            elevation = line->pen().color();
    }
    ASSERT_TRUE(elevation.isValid());
    EXPECT_GT(lightnessGap(elevation, ground), 0.5);
    for (auto* axis : chart->axes(Qt::Horizontal))
        EXPECT_GT(lightnessGap(axis->labelsBrush().color(), ground), 0.5);

    // Row symbols in the highlight colour would be dark blue on dark grey.
    int symbols = 0;
    for (auto* section : detail->findChildren<QGroupBox*>()) {
        for (auto* label : section->findChildren<QLabel*>()) {
            QPixmap picture = label->pixmap();
            if (picture.isNull()) continue;
            EXPECT_GT(lightnessGap(inkOf(picture), palette.color(QPalette::Window)), 0.25);
            ++symbols;
        }
    }
    EXPECT_GT(symbols, 5);
}

}  // namespace
}  // namespace vantrel::test
