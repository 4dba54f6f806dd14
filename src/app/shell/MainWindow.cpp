#include "app/shell/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "Version.h"
#include "app/detail/ActivityDetailView.h"
#include "app/flows/ExportFlows.h"
#include "app/flows/ImportFlows.h"
#include "app/flows/LocatingFlows.h"
#include "app/flows/WeatherFlows.h"
#include "app/map/MapView.h"
#include "app/shell/HelpTexts.h"
#include "app/sidebar/HistorySidebar.h"
#include "app/sidebar/LocatingStatusView.h"
#include "app/statistics/HeatmapPanel.h"
#include "app/statistics/RecordsPanel.h"
#include "app/statistics/StatisticsView.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/Icons.h"
#include "app/widgets/MenuButton.h"
#include "app/widgets/PlaceholderView.h"
#include "app/widgets/ProgressRow.h"
#include "app/widgets/WindowPlacement.h"
#include "model/Date.h"
#include "model/Preferences.h"

namespace vantrel {

namespace {

// Reading the data version costs a PRAGMA on a file and an atomic load on a server (whose
// notices a listening thread counts), so a quarter second keeps another computer's change
// well under a second away.
constexpr int kRemoteChangePollMs = 250;
constexpr int kAfterImportDelayMs = 300;
constexpr const char* kGeometryKey = "mainWindowGeometry";

QString appVersion() {
    return QStringLiteral("%1 (%2)").arg(QLatin1String(kVersion), QLatin1String(kBuild));
}

}  // namespace

MainWindow::MainWindow(RideStore& store, AppContext context, QWidget* parent)
    : QMainWindow(parent),
      m_store(store),
      m_context(context),
      m_unitSystem(currentUnitSystem(context.preferences)),
      m_sidebar(new HistorySidebar(store, appVersion())),
      m_import(new ImportFlows(store, context, this)),
      m_export(new ExportFlows(store, context, this)),
      m_locating(new LocatingFlows(store, context, this)),
      m_weather(new WeatherFlows(store, context, this)),
      m_detailStack(new QStackedWidget),
      m_prompt(new PlaceholderView(
          "bicycle", QStringLiteral("Select an Activity"),
          QStringLiteral("Choose an activity from the sidebar to view details."))),
      m_multiple(new PlaceholderView("checkmark.circle", {},
                                     QStringLiteral("Click Export to save these activities."))),
      m_exportProgress(new ProgressRow),
      m_importProgress(new ProgressRow),
      m_importMenu(new QMenu(this)),
      m_geocodeMenu(new QMenu(this)),
      m_exportMenu(new QMenu(this)),
      m_remoteChangeTimer(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Vantrel"));
    setWindowIcon(Icons::applicationIcon());
    auto* split = new QSplitter;
    split->addWidget(m_sidebar);
    split->addWidget(buildDetailColumn());
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);
    split->setSizes({300, 900});
    setCentralWidget(split);
    buildToolbar();
    m_sidebar->setUnitSystem(m_unitSystem);

    connect(m_sidebar, &HistorySidebar::selectionChanged, this, &MainWindow::showSelection);
    connect(m_sidebar, &HistorySidebar::statisticsRequested, this, &MainWindow::showStatistics);
    connect(m_sidebar, &HistorySidebar::importRequested, m_import, &ImportFlows::importFiles);
    connect(m_sidebar->locatingStatus(), &LocatingStatusView::abortRequested, m_locating,
            &LocatingFlows::abortGeocoding);
    connect(m_import, &ImportFlows::stateChanged, this, &MainWindow::updateProgressRows);
    connect(m_export, &ExportFlows::stateChanged, this, &MainWindow::updateProgressRows);
    connect(m_import, &ImportFlows::importFinished, this, &MainWindow::runAfterImport);
    connect(m_locating, &LocatingFlows::stateChanged, this, [this] {
        m_sidebar->locatingStatus()->setState(
            m_locating->isGeocoding(), m_locating->geocodeProgress(), m_locating->geocodeCurrent(),
            m_locating->geocodeTotal());
    });
    // A locating run writes through its own connection; its names must show at once.
    connect(m_locating, &LocatingFlows::locatingFinished, this, &MainWindow::refreshFromStore);
    connectWeather();
    connect(m_remoteChangeTimer, &QTimer::timeout, this, &MainWindow::checkForRemoteChanges);
    updateProgressRows();
    buildUndoTrim();
    orderTabStops();
    resize(1200, 780);
    if (auto geometry = m_context.preferences.string(kGeometryKey)) {
        restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(*geometry)));
    }
    // A window remembered on a larger screen, or at another scale factor, must not open with
    // its title bar or its edges out of reach.
    WindowPlacement::fitToScreen(*this);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The frame (title bar, borders) has its size only once the window exists; it must fit
    // on the screen too.
    if (!event->spontaneous()) WindowPlacement::fitToScreen(*this);
}

void MainWindow::orderTabStops() {
    // The way the eye reads the window: the toolbar, then the sidebar from the top (Statistics,
    // the filter, the list), then the detail column.
    QList<QWidget*> chain(m_toolbarButtons.begin(), m_toolbarButtons.end());
    chain << m_sidebar->statisticsEntry() << m_sidebar->filterField() << m_sidebar->tree();
    for (qsizetype i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void MainWindow::buildUndoTrim() {
    m_undoTrim = new QAction(QStringLiteral("&Undo Trim"), this);
    m_undoTrim->setShortcut(QKeySequence::Undo);
    m_undoTrim->setEnabled(false);
    connect(m_undoTrim, &QAction::triggered, this, [this] {
        if (m_detail) m_detail->undoTrim();
    });
}

void MainWindow::updateUndoTrim() {
    m_undoTrim->setEnabled(m_detail && m_detail->canUndoTrim());
}

MainWindow::~MainWindow() {
    if (m_detail) m_detail->releaseMap();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_context.preferences.setString(kGeometryKey, saveGeometry().toBase64().toStdString());
    QMainWindow::closeEvent(event);
}

QWidget* MainWindow::buildDetailColumn() {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    m_detailStack->addWidget(m_prompt);
    m_detailStack->addWidget(m_multiple);
    layout->addWidget(m_detailStack, 1);
    layout->addWidget(m_exportProgress);
    layout->addWidget(m_importProgress);
    return column;
}

void MainWindow::connectWeather() {
    LocatingStatusView* status = m_sidebar->weatherStatus();
    connect(status, &LocatingStatusView::abortRequested, m_weather, &WeatherFlows::abort);
    connect(m_weather, &WeatherFlows::stateChanged, this, [this, status] {
        status->setState(m_weather->isRunning(), m_weather->progressText(), m_weather->current(),
                         m_weather->total());
    });
    // A weather run writes through its own connection; its snapshots must show at once.
    connect(m_weather, &WeatherFlows::weatherChanged, this, &MainWindow::refreshFromStore);
    connect(m_import, &ImportFlows::activitiesAdded, m_weather, &WeatherFlows::fetchAfterImport);
}

void MainWindow::buildToolbar() {
    QToolBar* toolbar = addToolBar(QStringLiteral("Commands"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Mnemonics that the menu bar's titles (File, Edit, View, Help) leave free.
    m_toolbarButtons << addMenuButton(
        QStringLiteral("&Import"), "square.and.arrow.down",
        QStringLiteral("Import activities from files or Vantrel Format"), m_importMenu);
    m_toolbarButtons << addMenuButton(
        QStringLiteral("&Geocode"), "mappin.and.ellipse",
        QStringLiteral("Identify the location (park or city) and fetch the weather of activities"),
        m_geocodeMenu);
    m_toolbarButtons << addMenuButton(QStringLiteral("E&xport"), "square.and.arrow.up",
                                      QStringLiteral("Export activities in GPX or Vantrel Format"),
                                      m_exportMenu);
    for (QToolButton* button : m_toolbarButtons) toolbar->addWidget(button);
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    // A button of its own: the ones a toolbar makes for actions take no keyboard focus. Its
    // shortcut (Ctrl+,) belongs to the menu bar's Preferences item.
    auto* settings = new QToolButton;
    settings->setText(QStringLiteral("Se&ttings…"));
    settings->setAccessibleName(QStringLiteral("Settings"));
    settings->setToolButtonStyle(Qt::ToolButtonTextOnly);
    settings->setAutoRaise(true);
    connect(settings, &QToolButton::clicked, this, &MainWindow::settingsRequested);
    toolbar->addWidget(settings);
    m_toolbarButtons << settings;
    // The menus depend on the selection and the running flows, so they are rebuilt when opened.
    connect(m_importMenu, &QMenu::aboutToShow, this, &MainWindow::fillImportMenu);
    connect(m_geocodeMenu, &QMenu::aboutToShow, this, &MainWindow::fillGeocodeMenu);
    connect(m_exportMenu, &QMenu::aboutToShow, this, &MainWindow::fillExportMenu);
    fillImportMenu();
    fillGeocodeMenu();
    fillExportMenu();
}

QToolButton* MainWindow::addMenuButton(const QString& title, const char* symbol,
                                       const QString& help, QMenu* menu) {
    auto* button = new MenuButton(QString(title).remove(QLatin1Char('&')), menu);
    // The menu belongs to its button, where screen readers look for it.
    menu->setParent(button, menu->windowFlags());
    button->setText(title);
    button->setIcon(Icons::icon(symbol, palette().color(QPalette::ButtonText), 16));
    button->setToolTip(help);
    button->setAccessibleDescription(help);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    menu->setTitle(title);
    return button;
}

void MainWindow::fillImportMenu() {
    m_importMenu->clear();
    m_importMenu->addAction(QStringLiteral("Import from &Strava…"), m_import,
                            &ImportFlows::importFromStrava);
    m_importMenu->addAction(QStringLiteral("Import from &Garmin…"), m_import,
                            &ImportFlows::importFromGarmin);
    m_importMenu->addAction(QStringLiteral("Import from &ZIP…"), m_import,
                            &ImportFlows::importFromZip);
    m_importMenu->addSeparator();
    QAction* archive = m_importMenu->addAction(QStringLiteral("Import &Vantrel Format…"), m_import,
                                               &ImportFlows::importArchive);
    archive->setEnabled(!m_import->isImporting());
    m_importMenu->addSeparator();
    m_importMenu->addAction(QStringLiteral("&How to Export from Strava"), this, [this] {
        Dialogs::alert(this, QStringLiteral("How to Export from Strava"),
                       HelpTexts::stravaExport());
    });
    m_importMenu->addAction(QStringLiteral("How to &Export from Garmin"), this, [this] {
        Dialogs::alert(this, QStringLiteral("How to Export from Garmin"),
                       HelpTexts::garminExport());
    });
}

void MainWindow::fillGeocodeMenu() {
    m_geocodeMenu->clear();
    bool idle = !m_locating->isGeocoding();
    m_geocodeMenu
        ->addAction(QStringLiteral("Geocode &Missing"), this,
                    [this] { m_locating->startGeocoding(false); })
        ->setEnabled(idle);
    m_geocodeMenu
        ->addAction(QStringLiteral("&Re-geocode All"), this,
                    [this] { m_locating->startGeocoding(true); })
        ->setEnabled(idle);
    std::vector<RideRef> selected = selectedRides();
    if (selected.size() == 1) {
        m_geocodeMenu->addSeparator();
        m_geocodeMenu
            ->addAction(QStringLiteral("Re-geocode &Selected"), this,
                        [this, ride = selected.front()] { m_locating->geocodeSelected(ride); })
            ->setEnabled(idle);
    }
    m_weather->addMenuGroup(m_geocodeMenu, selected);
    m_geocodeMenu->addSeparator();
    m_geocodeMenu->addAction(QStringLiteral("&What is Geocode Missing?"), this, [this] {
        Dialogs::alert(this, QStringLiteral("Geocode Missing"), HelpTexts::geocodeMissing());
    });
}

void MainWindow::fillExportMenu() {
    m_exportMenu->clear();
    addExportSection(QStringLiteral("GPX Format"), false);
    addExportSection(QStringLiteral("Vantrel Format"), true);
    m_exportMenu->addAction(QStringLiteral("&What is Vantrel Format?"), this, [this] {
        Dialogs::alert(this, QStringLiteral("Vantrel Format"), HelpTexts::vantrelFormat());
    });
}

void MainWindow::addExportSection(const QString& title, bool archive) {
    m_exportMenu->addSection(title);
    std::vector<RideRef> selected = selectedRides();
    QAction* exportSelected = m_exportMenu->addAction(
        QStringLiteral("Export &Selected (%1)").arg(selected.size()), this, [this, archive] {
            std::vector<RideRef> rides = selectedRides();
            if (archive) return m_export->exportArchiveSelected(rides);
            ExportScope scope{ExportScope::Kind::selected, {}, 0, static_cast<int>(rides.size())};
            for (const RideRef& ride : rides) scope.objectIDs.insert(ride->objectID);
            m_export->exportGPX(scope);
        });
    exportSelected->setEnabled(!selected.empty());
    m_exportMenu->addAction(QStringLiteral("Export &Year…"), this, [this, archive] {
        std::optional<int> year = chooseYear(archive);
        if (!year) return;
        if (archive) return m_export->exportArchiveYear(*year, countOfYear(*year));
        m_export->exportGPX({ExportScope::Kind::year, {}, *year, countOfYear(*year)});
    });
    m_exportMenu->addAction(QStringLiteral("Export &All…"), this, [this, archive] {
        if (totalActivityCount() == 0) return;
        if (archive) return m_export->exportArchiveAll(m_allYearSummaries);
        m_export->exportGPX({ExportScope::Kind::all, {}, 0, totalActivityCount()});
    });
}

std::optional<int> MainWindow::chooseYear(bool alwaysAsk) {
    if (m_allYearSummaries.empty()) return std::nullopt;
    if (m_allYearSummaries.size() == 1 && !alwaysAsk) return m_allYearSummaries.front().year;
    std::vector<std::pair<int, qint64>> years;
    for (const auto& summary : m_allYearSummaries) years.emplace_back(summary.year, summary.count);
    return Dialogs::pickYear(this, years);
}

int MainWindow::countOfYear(int year) const {
    for (const auto& summary : m_allYearSummaries) {
        if (summary.year == year) return static_cast<int>(summary.count);
    }
    return 0;
}

int MainWindow::totalActivityCount() const {
    std::int64_t total = 0;
    for (const auto& summary : m_allYearSummaries) total += summary.count;
    return static_cast<int>(total);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (m_firstAppearanceScheduled) return;
    m_firstAppearanceScheduled = true;
    // The window has drawn once; the store work of the first appearance comes after.
    QTimer::singleShot(0, this, &MainWindow::runFirstAppearance);
}

void MainWindow::runFirstAppearance() {
    m_hasLoaded = true;
    runCompressionMigrationIfNeeded(m_store, m_context.preferences);
    m_dataVersion = m_store.dataVersion();
    reloadYearSummaries();
    int currentYear = localYear(now());
    m_sidebar->expandYear(currentYear);
    if (m_sidebar->selectedRides().empty()) m_sidebar->selectNewestOfYear(currentYear);
    m_remoteChangeTimer->start(kRemoteChangePollMs);
    emit firstAppearanceDone();
}

void MainWindow::reloadYearSummaries() {
    try {
        m_allYearSummaries = m_store.yearSummaries();
    } catch (const std::exception&) {
        m_allYearSummaries.clear();
    }
    m_sidebar->setSummaries(m_allYearSummaries);
    if (m_statistics && m_detailStack->currentWidget() == m_statistics) {
        // Records and the heatmap check their caches against the store's routes when asked.
        m_statistics->reload();
        m_records->reload();
        m_heatmap->refresh();
    }
}

void MainWindow::runAfterImport() {
    m_sidebar->collapseAll();
    m_sidebar->clearSelection();
    reloadYearSummaries();
    QTimer::singleShot(kAfterImportDelayMs, this, [this] {
        int currentYear = localYear(now());
        m_sidebar->expandYear(currentYear);
        if (m_sidebar->selectedRides().empty()) m_sidebar->selectNewestOfYear(currentYear);
    });
}

void MainWindow::checkForRemoteChanges() {
    UnitSystem system = currentUnitSystem(m_context.preferences);
    if (system != m_unitSystem) setUnitSystem(system);
    // The sidebar's deletion commits on a connection of its own: re-reading every held record
    // then, before its end forgets the deleted ones, read thousands of gone rows one by one.
    if (m_sidebar->isDeleting() || m_store.dataVersion() == m_dataVersion) return;
    refreshFromStore();
}

void MainWindow::refreshFromStore() {
    // Records another connection changed must be read afresh, not from what this one holds.
    m_store.autosave();
    m_dataVersion = m_store.dataVersion();
    m_store.refreshAll();
    reloadYearSummaries();
    if (m_detail) m_detail->reload();
}

void MainWindow::setUnitSystem(UnitSystem system) {
    m_unitSystem = system;
    m_sidebar->setUnitSystem(system);
    if (m_detail) m_detail->setUnitSystem(system);
    if (m_statistics) m_statistics->setUnitSystem(system);
    if (m_records) m_records->setUnitSystem(system);
}

std::vector<RideRef> MainWindow::selectedRides() const {
    return m_sidebar->selectedRides();
}

void MainWindow::showStatistics() {
    m_sidebar->clearSelection();
    // The totals are summed from what is saved.
    m_store.autosave();
    if (!m_statistics) {
        m_statistics = new StatisticsView(m_store, m_unitSystem);
        m_records = new RecordsPanel(m_store.path(), m_unitSystem, m_context.logger);
        connect(m_records, &RecordsPanel::activityRequested, this, &MainWindow::openRecord);
        m_statistics->setTab(QStringLiteral("Records"), m_records);
        m_heatmap = new HeatmapPanel(m_store.path(), m_context.preferences);
        m_statistics->setTab(QStringLiteral("Heatmap"), m_heatmap);
        m_detailStack->addWidget(m_statistics);
    } else {
        m_statistics->reload();
    }
    m_detailStack->setCurrentWidget(m_statistics);
}

void MainWindow::revealActivity(const Uuid& rideID) {
    RideRef ride;
    try {
        ride = m_store.fetchByRideID(rideID);
    } catch (const StoreError&) {
        return;
    }
    if (!ride) return;
    m_sidebar->revealRides({static_cast<qint64>(ride->objectID)}, {localYear(ride->date)});
}

void MainWindow::showSelection() {
    std::vector<RideRef> selected = selectedRides();
    // Every reload of the list selects the shown activity again. Building its detail anew
    // would take the keyboard focus and the scroll position from under the user; the detail
    // reloads its own values when the record changes.
    if (m_detail && selected.size() == 1 && selected.front() == m_detail->ride()) {
        m_detailStack->setCurrentWidget(m_detail);
        updateUndoTrim();
        return;
    }
    if (m_detail) {
        m_detail->releaseMap();
        m_detailStack->removeWidget(m_detail);
        m_detail->deleteLater();
        m_detail = nullptr;
    }
    if (selected.size() > 1) {
        m_multiple->setTitle(QStringLiteral("%1 Activities Selected").arg(selected.size()));
        m_detailStack->setCurrentWidget(m_multiple);
    } else if (selected.size() == 1) {
        if (!m_map) m_map = MapView::create(m_context.preferences);
        m_detail =
            new ActivityDetailView(m_store, m_context, selected.front(), m_unitSystem, m_map.get());
        connect(m_detail, &ActivityDetailView::rideEdited, this, &MainWindow::reloadYearSummaries);
        connect(m_detail, &ActivityDetailView::rideEdited, this, &MainWindow::updateUndoTrim);
        m_detailStack->addWidget(m_detail);
        m_detailStack->setCurrentWidget(m_detail);
    } else if (m_detailStack->currentWidget() != m_statistics) {
        // With nothing selected the statistics stay where they are shown.
        m_detailStack->setCurrentWidget(m_prompt);
    }
    updateUndoTrim();
}

void MainWindow::openRecord(const Uuid& rideID, RecordKind kind) {
    revealActivity(rideID);
    if (m_detail && m_detail->ride()->rideID == rideID) m_detail->markRecord(kind);
}

QWidget* MainWindow::currentDetail() const {
    return m_detailStack->currentWidget();
}

void MainWindow::updateProgressRows() {
    m_exportProgress->setVisible(m_export->isExporting());
    m_exportProgress->setProgress(QStringLiteral("Exporting %1 of %2…")
                                      .arg(m_export->exportCurrent())
                                      .arg(m_export->exportTotal()),
                                  m_export->exportProgress());
    m_importProgress->setVisible(m_import->isImporting());
    m_importProgress->setProgress(QStringLiteral("Importing %1 of %2…")
                                      .arg(m_import->importCurrent())
                                      .arg(m_import->importTotal()),
                                  m_import->importProgress());
}

}  // namespace vantrel
