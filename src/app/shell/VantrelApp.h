#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "app/shell/DiagnosticsWindow.h"
#include "app/widgets/AppContext.h"
#include "model/RideStore.h"

namespace vantrel {

class AutoImport;
class MainWindow;
class SettingsWindow;

/// The running application: the store and its three windows (main, settings, and the single
/// diagnostics window with the identifier "diagnostics").
class VantrelApp : public QObject {
    Q_OBJECT
  public:
    explicit VantrelApp(std::unique_ptr<RideStore> store);
    ~VantrelApp() override;

    /// Opens the store and runs the event loop; a store that cannot be opened is reported in a
    /// dialog naming the file or server, and the application ends with status 1.
    static int run(int argc, char** argv);
    /// VANTREL_STORE when set, else the "storeURL" preference when set, else the store file.
    static std::filesystem::path storeLocation();

    RideStore& store() { return *m_store; }
    /// The preferences and the logger every window and flow of this application is handed.
    const AppContext& context() const { return m_context; }
    MainWindow* mainWindow() const { return m_main.get(); }
    SettingsWindow* settingsWindow() const { return m_settings.get(); }
    /// Opens (or raises) the one diagnostics window; opened at most once at a time.
    DiagnosticsWindow* openDiagnostics();
    DiagnosticsWindow* diagnosticsWindow() const { return m_diagnostics; }
    void showSettings();
    /// Raises the main window and imports `files` (absolute paths) by kind once the window has
    /// loaded; with no files it only raises the window.
    void openFiles(const QStringList& files);
    /// Starts the watcher of the folders and devices named in the settings.
    void startAutoImport();
    AutoImport* autoImport() const { return m_autoImport; }

  private:
    void connectAutoImport();

    std::unique_ptr<RideStore> m_store;
    AppContext m_context;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<SettingsWindow> m_settings;
    QPointer<DiagnosticsWindow> m_diagnostics;
    AutoImport* m_autoImport;
};

}  // namespace vantrel
