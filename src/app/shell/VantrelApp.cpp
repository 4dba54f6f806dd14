#include "app/shell/VantrelApp.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <clocale>
#include <iostream>

#include "Version.h"
#include "app/flows/AutoImport.h"
#include "app/flows/DropTarget.h"
#include "app/flows/ImportFlows.h"
#include "app/map/MapView.h"
#include "app/shell/AutoImportSection.h"
#include "app/shell/CommandLine.h"
#include "app/shell/DiagnosticsWindow.h"
#include "app/shell/MainMenuBar.h"
#include "app/shell/MainWindow.h"
#include "app/shell/SettingsWindow.h"
#include "app/shell/SingleInstance.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/widgets/Icons.h"
#include "logging/PersistentLogger.h"
#include "logging/RenamedTwinsReport.h"
#include "model/Paths.h"
#include "model/Preferences.h"
#include "model/StoreLocation.h"

namespace vantrel {

VantrelApp::VantrelApp(std::unique_ptr<RideStore> store)
    : m_store(std::move(store)),
      // The application object is where the process-wide preferences and logger are reached;
      // everything below it is handed them.
      m_context{Preferences::shared(), PersistentLogger::shared()},
      m_main(std::make_unique<MainWindow>(*m_store, m_context)),
      m_settings(std::make_unique<SettingsWindow>(*m_store, m_context, m_main.get())),
      m_autoImport(new AutoImport(*m_store, m_context, this)) {
    // The application object adopts the user's locale for the whole process; printf-style
    // formatting would then write "1,2 km" under a German locale. Figures always use a point.
    std::setlocale(LC_NUMERIC, "C");
    connect(m_main.get(), &MainWindow::settingsRequested, this, &VantrelApp::showSettings);
    connect(m_settings.get(), &SettingsWindow::unitSystemChanged, m_main.get(),
            &MainWindow::setUnitSystem);
    connect(m_settings.get(), &SettingsWindow::storeChanged, m_main.get(),
            &MainWindow::reloadYearSummaries);
    connect(m_settings.get(), &SettingsWindow::openDiagnosticsRequested, this,
            [this] { openDiagnostics(); });
    connect(m_main->importFlows(), &ImportFlows::filesImported, this,
            [main = m_main.get()](const QList<qint64>& objectIDs, const QList<int>& years) {
                main->reloadYearSummaries();
                main->sidebar()->revealRides(objectIDs, years);
            });
    connect(m_main->sidebar(), &HistorySidebar::activitiesDeleted, m_main.get(),
            &MainWindow::reloadYearSummaries);
    connectAutoImport();
    MainMenuBar::install(*this);
    auto* drop = new DropTarget(m_main.get());
    connect(drop, &DropTarget::pathsDropped, m_main->importFlows(), &ImportFlows::importPaths);
}

VantrelApp::~VantrelApp() {
    m_autoImport->stop();
    delete m_diagnostics.data();
}

void VantrelApp::connectAutoImport() {
    AutoImportSection* section = m_settings->autoImportSection();
    connect(section, &AutoImportSection::settingsChanged, m_autoImport, &AutoImport::restart);
    connect(m_autoImport, &AutoImport::statusChanged, section, &AutoImportSection::setStatus);
    // What arrived shows at once; the selection stays with what the user is looking at.
    connect(m_autoImport, &AutoImport::activitiesArrived, m_main.get(),
            &MainWindow::refreshFromStore);
    connect(m_autoImport, &AutoImport::revealRequested, this,
            [this](const QList<qint64>& objectIDs, const QList<int>& years) {
                openFiles({});
                m_main->sidebar()->revealRides(objectIDs, years);
            });
}

void VantrelApp::startAutoImport() {
    m_autoImport->restart();
}

DiagnosticsWindow* VantrelApp::openDiagnostics() {
    if (!m_diagnostics) {
        m_diagnostics = new DiagnosticsWindow(m_context.logger);
        m_diagnostics->setObjectName(QStringLiteral("diagnostics"));
        m_diagnostics->setAttribute(Qt::WA_DeleteOnClose);
        m_diagnostics->resize(900, 600);
    }
    m_diagnostics->show();
    m_diagnostics->raise();
    m_diagnostics->activateWindow();
    return m_diagnostics;
}

void VantrelApp::showSettings() {
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

void VantrelApp::openFiles(const QStringList& files) {
    m_main->setWindowState(m_main->windowState() & ~Qt::WindowMinimized);
    m_main->show();
    m_main->raise();
    m_main->activateWindow();
    if (files.isEmpty()) return;
    if (m_main->hasLoaded()) return m_main->importFlows()->importPaths(files);
    // The store work of the first appearance comes first; the import then adds to it.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        connect(m_main.get(), &MainWindow::firstAppearanceDone, this, [this, files, connection] {
            disconnect(*connection);
            m_main->importFlows()->importPaths(files);
        });
}

std::filesystem::path VantrelApp::storeLocation() {
    if (!qEnvironmentVariableIsEmpty("VANTREL_STORE")) return defaultStorePath();
    auto url = Preferences::shared().string(kStoreURLKey).value_or("");
    return url.empty() ? defaultStorePath() : std::filesystem::path(url);
}

int VantrelApp::run(int argc, char** argv) {
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    if (std::optional<int> status = CommandLine::answerBeforeStart(raw, std::cout)) return *status;
    MapView::prepareProcess();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QLatin1String(kVersion));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    QApplication::setWindowIcon(Icons::applicationIcon());
    if (std::optional<QString> option = CommandLine::unknownOption(QApplication::arguments())) {
        std::cerr << "vantrel: unknown option " << option->toStdString()
                  << "\nTry 'vantrel --help' for what it takes; '--' before a file name starting "
                     "with '-'.\n";
        return 2;
    }
    QStringList files = CommandLine::files(QApplication::arguments());
    std::filesystem::path location = storeLocation();
    QString instanceName = SingleInstance::serverName(location);
    if (SingleInstance::handOver(instanceName, files)) return 0;
    std::unique_ptr<RideStore> store;
    try {
        store = RideStore::open(location);
    } catch (const std::exception& error) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Vantrel"),
                        QStringLiteral("The activity store %1 cannot be opened.\n\n%2")
                            .arg(QString::fromStdString(displayLocation(location.string())),
                                 QString::fromStdString(error.what())));
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 1;
    }
    reportRenamedTwins(*store, PersistentLogger::shared(), std::cerr);
    VantrelApp app(std::move(store));
    SingleInstance instance(instanceName);
    instance.listen();
    connect(&instance, &SingleInstance::filesReceived, &app, &VantrelApp::openFiles);
    app.mainWindow()->show();
    app.openFiles(files);
    QObject::connect(app.mainWindow(), &MainWindow::firstAppearanceDone, &app,
                     &VantrelApp::startAutoImport, Qt::SingleShotConnection);
    return application.exec();
}

}  // namespace vantrel
