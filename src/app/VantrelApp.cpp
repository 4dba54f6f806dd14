#include "app/VantrelApp.h"

#include <QApplication>
#include <QMessageBox>

#include "app/DiagnosticsWindow.h"
#include "app/Icons.h"
#include "app/MainWindow.h"
#include "app/MapView.h"
#include "app/SettingsWindow.h"
#include "model/Paths.h"

namespace vantrel {

VantrelApp::VantrelApp(std::unique_ptr<RideStore> store)
    : m_store(std::move(store)),
      m_main(std::make_unique<MainWindow>(*m_store)),
      m_settings(std::make_unique<SettingsWindow>(*m_store)) {
    connect(m_main.get(), &MainWindow::settingsRequested, this, &VantrelApp::showSettings);
    connect(m_settings.get(), &SettingsWindow::unitSystemChanged, m_main.get(),
            &MainWindow::setUnitSystem);
    connect(m_settings.get(), &SettingsWindow::storeChanged, m_main.get(),
            &MainWindow::reloadYearSummaries);
    connect(m_settings.get(), &SettingsWindow::openDiagnosticsRequested, this,
            [this] { openDiagnostics(); });
}

VantrelApp::~VantrelApp() {
    delete m_diagnostics.data();
}

DiagnosticsWindow* VantrelApp::openDiagnostics() {
    if (!m_diagnostics) {
        m_diagnostics = new DiagnosticsWindow;
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

int VantrelApp::run(int argc, char** argv) {
    MapView::prepareProcess();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setDesktopFileName(QStringLiteral("vantrel"));
    QApplication::setWindowIcon(Icons::applicationIcon());
    std::unique_ptr<RideStore> store;
    try {
        store = RideStore::open(defaultStorePath());
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Vantrel"),
                              QStringLiteral("The activity store %1 cannot be opened.\n\n%2")
                                  .arg(QString::fromStdString(defaultStorePath().string()),
                                       QString::fromStdString(error.what())));
        return 1;
    }
    VantrelApp app(std::move(store));
    app.mainWindow()->show();
    return application.exec();
}

}  // namespace vantrel
