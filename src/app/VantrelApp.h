#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "app/MacDiagnosticsView.h"
#include "model/RideStore.h"

namespace vantrel {

class MacMainView;
class MacSettingsView;

/// The running application: the store and its three windows (main, settings, and the single
/// diagnostics window with the identifier "diagnostics").
class VantrelApp : public QObject {
    Q_OBJECT
  public:
    explicit VantrelApp(std::unique_ptr<RideStore> store);
    ~VantrelApp() override;

    /// Opens the default store and runs the event loop; a store that cannot be opened is
    /// reported in a dialog naming the file, and the application ends with status 1.
    static int run(int argc, char** argv);

    RideStore& store() { return *m_store; }
    MacMainView* mainWindow() const { return m_main.get(); }
    MacSettingsView* settingsWindow() const { return m_settings.get(); }
    /// Opens (or raises) the one diagnostics window; opened at most once at a time.
    MacDiagnosticsView* openWindow(const QString& identifier);
    MacDiagnosticsView* diagnosticsWindow() const { return m_diagnostics; }
    void showSettings();

  private:
    std::unique_ptr<RideStore> m_store;
    std::unique_ptr<MacMainView> m_main;
    std::unique_ptr<MacSettingsView> m_settings;
    QPointer<MacDiagnosticsView> m_diagnostics;
};

}  // namespace vantrel
