#include <QApplication>
#include <QGroupBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include "app/AppFixture.h"
#include "app/sidebar/RideHistoryRow.h"
#include "app/widgets/ElidedLabel.h"

namespace vantrel::test {
namespace {

const QString kLongPlace = QStringLiteral(
    "Naturschutzgebiet Unterer Greifensee am Ufer zwischen Maur, Fällanden und Schwerzenbach");
const QString kLongSource = QStringLiteral(
    "activity_export_2024-07-04_morning-ride-with-the-club-around-the-lake-and-back-over-the-"
    "hills.fit");

using LongTextTest = AppFixture;

TEST_F(LongTextTest, LongValuesNeitherWidenTheColumnNorHideTheOtherValues) {
    RideRef ride = addRide(2024, 7, 4);
    ride->city = kLongPlace.toStdString();
    ride->importSource = kLongSource.toStdString();
    startApp();
    ActivityDetailView* detail = showInDetail(ride);
    ASSERT_NE(detail, nullptr);
    QScrollArea* column = detail->column();
    QTest::qWait(50);  // the layout settles

    EXPECT_FALSE(column->horizontalScrollBar()->isVisible());
    EXPECT_LE(column->widget()->width(), column->viewport()->width());
    QRect visible = column->viewport()->rect();
    auto insideColumn = [&](QWidget* widget) {
        QRect area(widget->mapTo(column->viewport(), QPoint(0, 0)), widget->size());
        return visible.left() <= area.left() && area.right() <= visible.right();
    };
    EXPECT_TRUE(insideColumn(detail->moreActionsButton()));
    for (auto* value : detail->findChildren<ElidedLabel*>()) {
        if (value->isVisible()) {
            EXPECT_TRUE(insideColumn(value)) << value->objectName().toStdString();
        }
    }

    // The place is read whole, wrapped over lines; the file name is shortened in its middle,
    // whole in its tooltip and for screen readers.
    EXPECT_EQ(detail->valueOf("Location"), kLongPlace);
    auto* place = detail->findChild<ElidedLabel*>("Location");
    ASSERT_NE(place, nullptr);
    EXPECT_TRUE(place->wordWrap());
    auto* source = detail->findChild<ElidedLabel*>("Imported from");
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->shownText().contains(QStringLiteral("…")));
    EXPECT_TRUE(source->shownText().startsWith("activity_")) << source->shownText().toStdString();
    EXPECT_TRUE(source->shownText().endsWith(".fit"));
    EXPECT_EQ(source->text(), kLongSource);
    EXPECT_EQ(source->toolTip(), kLongSource);
}

TEST_F(LongTextTest, SidebarRowsShortenTheFigureThatDoesNotFit) {
    PersistedRide ride;
    ride.duration = 3723;
    ride.distance = 10000;
    ride.city = kLongPlace.toStdString();
    ride.averageHeartRate = 140;
    ride.maxHeartRate = 167;
    RideHistoryRow row = RideHistoryRow::make(ride, UnitSystem::metric);
    QFontMetrics metrics(QApplication::font());
    std::vector<QString> texts = RideHistoryRow::fitted(row.firstFigures, metrics, 260);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], row.firstFigures[0].text);
    EXPECT_TRUE(texts[2].startsWith("Natur"));
    EXPECT_TRUE(texts[2].endsWith(QStringLiteral("…")));

    // Where even the heart rates do not fit, the line ends on a shortened figure, never a
    // clipped one ("167 bpr").
    for (int width : {90, 120, 150}) {
        std::vector<QString> shown = RideHistoryRow::fitted(row.secondFigures, metrics, width);
        int used = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            bool whole = shown[i] == row.secondFigures[i].text;
            EXPECT_TRUE(whole || (i + 1 == shown.size() && shown[i].endsWith(QStringLiteral("…"))))
                << shown[i].toStdString() << " at " << width;
            used += metrics.horizontalAdvance(shown[i]);
        }
        EXPECT_LE(used, width);
    }
}

}  // namespace
}  // namespace vantrel::test
