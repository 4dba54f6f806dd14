#include <QPushButton>

#include "app/AppFixture.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/widgets/PlaceholderView.h"

namespace vantrel::test {
namespace {

using Kind = DialogRecord::Kind;
using EmptyStateTest = AppFixture;

TEST_F(EmptyStateTest, TellsHowActivitiesArriveAndOffersTheImport) {
    startApp();
    PlaceholderView* empty = app->mainWindow()->sidebar()->emptyState();
    EXPECT_EQ(empty->title(), "No Activities Yet");
    EXPECT_EQ(empty->text(),
              "Import GPX, TCX or FIT files, ZIP archives or an account export to get started.");
    auto* import = empty->findChild<QPushButton*>();
    ASSERT_NE(import, nullptr);
    EXPECT_EQ(import->text(), "Import Files…");
    EXPECT_EQ(import->accessibleName(), "Import Files…");

    std::filesystem::path gpx = env.root() / "laps.tcx";
    std::filesystem::copy_file(corpusFile("gpsbabel__fr110-14-laps.tcx"), gpx);
    Dialogs::pushAnswer(QStringList{QString::fromStdString(gpx.string())});
    import->click();
    auto chooser = Dialogs::lastOf(Kind::openFiles);
    ASSERT_TRUE(chooser);
    EXPECT_TRUE(chooser->text.contains("*.tcx") && chooser->text.contains("*.fit"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !empty->isVisible(); }, 20000));
    EXPECT_EQ(app->mainWindow()->sidebar()->footerCountText(), "1 activity");
}

}  // namespace
}  // namespace vantrel::test
