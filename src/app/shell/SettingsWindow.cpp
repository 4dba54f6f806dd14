#include "app/shell/SettingsWindow.h"

#include <QComboBox>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <iostream>

#include "app/shell/AutoImportSection.h"
#include "app/shell/WeatherSettings.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/DisplayFormat.h"
#include "app/widgets/Icons.h"
#include "logging/PersistentLogger.h"
#include "logging/RenamedTwinsReport.h"
#include "model/Preferences.h"
#include "model/RideStore.h"
#include "model/StoreLocation.h"

namespace vantrel {

namespace {

QGroupBox* section(const QString& title, QWidget* content) {
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

}  // namespace

SettingsWindow::SettingsWindow(RideStore& store, AppContext context, QWidget* parent)
    : QDialog(parent),
      m_store(store),
      m_context(context),
      m_unitSystem(new QComboBox),
      m_logLevel(new QComboBox) {
    setWindowTitle(QStringLiteral("Settings"));
    m_unitSystem->setAccessibleName(QStringLiteral("Unit System"));
    m_logLevel->setAccessibleName(QStringLiteral("Log Level"));
    setWindowIcon(Icons::applicationIcon());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(section(QStringLiteral("Unit System"), buildUnitSystem()));
    layout->addWidget(section(QStringLiteral("Log Level"), buildLogLevel()));
    layout->addWidget(section(QStringLiteral("Store"), buildStoreLocation()));
    layout->addWidget(m_autoImport = new AutoImportSection(m_context.preferences));
    layout->addWidget(new WeatherSettings(m_context.preferences));
    layout->addWidget(buildDiagnostics());
    layout->addWidget(section(QStringLiteral("Data Management"), buildDataManagement()));
    layout->addStretch();
    setMinimumWidth(420);
}

QWidget* SettingsWindow::buildUnitSystem() {
    for (UnitSystem system : {UnitSystem::imperial, UnitSystem::metric}) {
        m_unitSystem->addItem(
            QString::fromUtf8(settingsLabel(system).data(),
                              static_cast<int>(settingsLabel(system).size())),
            QString::fromUtf8(rawValue(system).data(), static_cast<int>(rawValue(system).size())));
    }
    m_unitSystem->setCurrentIndex(
        currentUnitSystem(m_context.preferences) == UnitSystem::metric ? 1 : 0);
    connect(m_unitSystem, &QComboBox::currentIndexChanged, this, [this] {
        std::string raw = m_unitSystem->currentData().toString().toStdString();
        m_context.preferences.setString(kUnitSystemKey, raw);
        emit unitSystemChanged(unitSystemFromRawValue(raw));
    });
    return m_unitSystem;
}

QWidget* SettingsWindow::buildLogLevel() {
    const std::pair<const char*, const char*> levels[] = {
        {"Debug", "DEBUG"}, {"Info", "INFO"}, {"Warning", "WARN"}, {"Error", "ERROR"}};
    for (const auto& [title, raw] : levels)
        m_logLevel->addItem(QLatin1String(title), QLatin1String(raw));
    QString stored =
        QString::fromStdString(m_context.preferences.string(kLogLevelKey).value_or("INFO"));
    int index = m_logLevel->findData(stored);
    m_logLevel->setCurrentIndex(index >= 0 ? index : 1);
    connect(m_logLevel, &QComboBox::currentIndexChanged, this, [this] {
        std::string raw = m_logLevel->currentData().toString().toStdString();
        m_context.preferences.setString(kLogLevelKey, raw);
        // The logger holds its level rather than reading the preferences on every line.
        LogSettings settings = m_context.logger.settings();
        settings.level = logLevelFromRawValue(raw);
        m_context.logger.setSettings(std::move(settings));
    });
    return m_logLevel;
}

QWidget* SettingsWindow::buildDiagnostics() {
    auto* button = new QPushButton(QStringLiteral("Open Diagnostics Window"));
    connect(button, &QPushButton::clicked, this, &SettingsWindow::openDiagnosticsRequested);
    return button;
}

QWidget* SettingsWindow::buildDataManagement() {
    auto* button = new QPushButton(QStringLiteral("Delete All Activities…"));
    connect(button, &QPushButton::clicked, this, &SettingsWindow::deleteAllActivities);
    return button;
}

QWidget* SettingsWindow::buildStoreLocation() {
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    m_storeURL = new QLineEdit(
        QString::fromStdString(m_context.preferences.string(kStoreURLKey).value_or("")));
    m_storeURL->setPlaceholderText(QStringLiteral("postgresql://user@server/database"));
    m_storeURL->setAccessibleName(QStringLiteral("Store URL"));
    m_storeURL->setToolTip(QStringLiteral(
        "Empty for the store file on this computer. Used from the next start; the password "
        "belongs in ~/.pgpass."));
    connect(m_storeURL, &QLineEdit::editingFinished, this, [this] {
        m_context.preferences.setString(kStoreURLKey, m_storeURL->text().trimmed().toStdString());
    });
    auto* test = new QPushButton(QStringLiteral("Test Connection"));
    test->setAccessibleName(QStringLiteral("Test Connection"));
    connect(test, &QPushButton::clicked, this, &SettingsWindow::testConnection);
    m_connectionStatus = new QLabel;
    m_connectionStatus->setWordWrap(true);
    m_connectionStatus->setTextFormat(Qt::PlainText);  // the server's own error text
    m_connectionStatus->setAccessibleName(QStringLiteral("Connection Status"));
    layout->addWidget(m_storeURL);
    layout->addWidget(test);
    layout->addWidget(m_connectionStatus);
    return content;
}

void SettingsWindow::testConnection() {
    std::string url = m_storeURL->text().trimmed().toStdString();
    if (!isServerLocation(url)) {
        m_connectionStatus->setText(
            QStringLiteral("Enter a URL starting with postgresql:// to test a server."));
        return;
    }
    m_connectionStatus->setText(QStringLiteral("Connecting…"));
    // Reaching a server may take seconds: the window stays responsive meanwhile.
    auto* watcher = new QFutureWatcher<QString>(this);
    QPointer<QLabel> status = m_connectionStatus;
    connect(watcher, &QFutureWatcher<QString>::finished, this, [watcher, status] {
        if (status) status->setText(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([url, &logger = m_context.logger] {
        try {
            auto opened = RideStore::open(url);
            reportRenamedTwins(*opened, logger, std::cerr);
            RideQuery all;
            all.withDetails = false;
            return QStringLiteral("Connected to %1: %2.")
                .arg(QString::fromStdString(opened->describe()),
                     DisplayFormat::activityCount(opened->count(all)));
        } catch (const std::exception& error) {
            return QString::fromStdString(error.what());
        }
    }));
}

void SettingsWindow::deleteAllActivities() {
    RideQuery live;
    live.liveOnly = true;
    std::int64_t count = 0;
    try {
        count = m_store.count(live);
    } catch (const std::exception&) {
    }
    QString text = QStringLiteral(
                       "This will permanently delete all %1. This cannot be undone.\n\nUse "
                       "this before importing a Vantrel Format archive to avoid duplicates.")
                       .arg(DisplayFormat::activityCount(count));
    if (!Dialogs::confirm(this, QStringLiteral("Delete All Activities?"), text,
                          QStringLiteral("Delete All"), true)) {
        return;
    }
    try {
        // Only the identifiers are collected: a long history's records would not fit in memory,
        // and removing them one by one made each the pending list's work.
        std::vector<std::int64_t> objectIDs;
        RideQuery all;
        all.withDetails = false;
        m_store.visit(all, [&](const PersistedRide& ride) { objectIDs.push_back(ride.objectID); });
        m_store.deleteSaved(objectIDs);
    } catch (const std::exception& error) {
        // One transaction: nothing was deleted, and the user is told why.
        Dialogs::alert(this, QStringLiteral("Delete Failed"), QString::fromUtf8(error.what()));
    }
    emit storeChanged();
}

}  // namespace vantrel
