#include <QAccessible>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QToolButton>

#include "app/AppFixture.h"
#include "app/shell/SettingsWindow.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/statistics/StatisticsView.h"

// What a screen reader is told, read through the same accessibility interfaces that the
// platform's bridge reads.
namespace vantrel::test {
namespace {

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QAccessibleInterface* element) {
    return element ? element->text(QAccessible::Name) : QString();
}

/// Every "label: value" pair below `root`: elements that another element labels. A group box
/// labels everything inside it with its title; those links name the section, not a value.
QStringList labelledValues(QAccessibleInterface* root) {
    QStringList pairs;
    for (int i = 0; root && i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        for (const auto& [label, relation] : child->relations(QAccessible::Label)) {
            if (label->role() != QAccessible::Grouping)
                pairs << nameOf(label) + QStringLiteral(": ") + nameOf(child);
        }
        pairs << labelledValues(child);
    }
    return pairs;
}

QStringList childNames(QAccessibleInterface* element) {
    QStringList names;
    for (int i = 0; element && i < element->childCount(); ++i) names << nameOf(element->child(i));
    return names;
}

class AccessibilityTest : public AppFixture {
  protected:
    RideRef addTownRide() {
        RideRef ride = addRide(2024, 7, 4);
        ride->city = "Lucerne";
        return ride;
    }
};

TEST_F(AccessibilityTest, EverySummaryRowIsReadAsItsLabelAndItsValue) {
    RideRef ride = addTownRide();
    startApp();
    ActivityDetailView* detail = showInDetail(ride);
    ASSERT_NE(detail, nullptr);
    QGroupBox* summary = nullptr;
    for (auto* section : detail->findChildren<QGroupBox*>()) {
        if (section->title() == "Summary") summary = section;
    }
    ASSERT_NE(summary, nullptr);
    QStringList expected;
    for (const char* label : {"Activity", "Date", "Start Time", "End Time", "Running Time",
                              "Distance", "Elevation Gain", "Avg Speed", "Avg Pace", "Location"})
        expected << QString::fromUtf8(label) + ": " + detail->valueOf(QString::fromUtf8(label));
    EXPECT_EQ(labelledValues(accessible(summary)), expected);
    EXPECT_TRUE(expected.contains("Distance: 6.2 mi"));
    EXPECT_TRUE(expected.contains("Location: Lucerne"));
    // Every section's rows are read the same way.
    EXPECT_TRUE(labelledValues(accessible(detail)).contains("Calories: 600 cal"));
}

TEST_F(AccessibilityTest, MenusOfButtonsAreReachableWithTheirItems) {
    RideRef ride = addTownRide();
    startApp();
    ActivityDetailView* detail = showInDetail(ride);
    ASSERT_NE(detail, nullptr);
    QAccessibleInterface* more = accessible(detail->moreActionsButton());
    EXPECT_EQ(nameOf(more), "More Actions");
    ASSERT_EQ(more->childCount(), 1);
    QAccessibleInterface* menu = more->child(0);
    EXPECT_EQ(menu->role(), QAccessible::PopupMenu);
    EXPECT_EQ(childNames(menu), (QStringList{"Trim Activity", "Hint"}));
    ASSERT_NE(more->actionInterface(), nullptr);
    EXPECT_TRUE(more->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::showMenuAction()));

    // The toolbar's menus too.
    QAccessibleInterface* import = accessible(app->mainWindow()->toolbarButtons().front());
    EXPECT_EQ(nameOf(import), "Import");
    ASSERT_EQ(import->childCount(), 1);
    EXPECT_TRUE(childNames(import->child(0)).contains("Import from Strava…"));
}

TEST_F(AccessibilityTest, ControlsAreNamedAndWindowsHaveTheirRoles) {
    addRide(2023, 5, 1);
    RideRef ride = addTownRide();
    startApp();
    ActivityDetailView* detail = showInDetail(ride);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(nameOf(accessible(detail->column())), "Activity details");
    QLineEdit* filter = app->mainWindow()->sidebar()->filterField();
    for (auto* button : filter->findChildren<QToolButton*>())
        EXPECT_EQ(nameOf(accessible(button)), "Clear filter");

    // Every control a keyboard can reach says what it is.
    for (QWidget* widget : app->mainWindow()->findChildren<QWidget*>()) {
        if (!widget->isVisible() || !(widget->focusPolicy() & Qt::TabFocus)) continue;
        EXPECT_FALSE(nameOf(accessible(widget)).isEmpty())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }

    app->showSettings();
    EXPECT_EQ(accessible(app->settingsWindow())->role(), QAccessible::Dialog);
    EXPECT_EQ(accessible(app->openDiagnostics())->role(), QAccessible::Window);

    // The statistics' totals are figures with their names, not one unnamed line.
    app->mainWindow()->showStatistics();
    StatisticsView* statistics = app->mainWindow()->statisticsView();
    ASSERT_NE(statistics, nullptr);
    QStringList totals = labelledValues(accessible(statistics->totalsBox()));
    EXPECT_EQ(totals.size(), 4);
    EXPECT_TRUE(totals.contains("Activities: 2")) << totals.join(" | ").toStdString();
    EXPECT_TRUE(totals.contains("Distance: 12.4 mi")) << totals.join(" | ").toStdString();
}

}  // namespace
}  // namespace vantrel::test
