#include <gtest/gtest.h>

#include <QApplication>

#include "FakeMapView.h"
#include "app/widgets/Dialogs.h"
#include "support/TestSupport.h"

// The widgets need one QApplication for the whole run; dialogs answer from the test hooks.
int main(int argc, char** argv) {
    vantrel::test::useTestTimeZone();  // before Qt reads the system zone
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication application(argc, argv);
    vantrel::Dialogs::setTestMode(true);
    // The views under test get a map that needs no web engine; one suite of its own runs the real
    // map.
    vantrel::MapView::setFactory(
        [](vantrel::Preferences&) { return std::make_unique<vantrel::test::FakeMapView>(); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
