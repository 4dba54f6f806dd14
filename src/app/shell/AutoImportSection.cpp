#include "app/shell/AutoImportSection.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/widgets/Dialogs.h"
#include "watch/WatchSettings.h"

namespace vantrel {

AutoImportSection::AutoImportSection(Preferences& preferences, QWidget* parent)
    : QGroupBox(QStringLiteral("Import Automatically"), parent),
      m_preferences(preferences),
      m_folders(new QListWidget),
      m_devices(new QCheckBox(QStringLiteral("Import from watches and bike computers when "
                                             "plugged in"))),
      m_status(new QLabel) {
    auto* layout = new QVBoxLayout(this);
    auto* caption =
        new QLabel(QStringLiteral("New activity files in these folders are imported "
                                  "as they arrive:"));
    caption->setWordWrap(true);
    m_folders->setAccessibleName(QStringLiteral("Watched Folders"));
    m_folders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_folders->setMaximumHeight(m_folders->fontMetrics().height() * 6);
    caption->setBuddy(m_folders);
    m_devices->setAccessibleName(m_devices->text());
    m_devices->setChecked(WatchSettings::load(m_preferences).importFromDevices);
    m_status->setWordWrap(true);
    m_status->setAccessibleName(QStringLiteral("Automatic Import Status"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(caption);
    layout->addWidget(m_folders);
    layout->addWidget(buildFolderButtons());
    layout->addWidget(m_devices);
    layout->addWidget(m_status);
    reloadFolders();
    connect(m_folders, &QListWidget::itemSelectionChanged, this, &AutoImportSection::updateButtons);
    connect(m_devices, &QCheckBox::toggled, this, [this](bool on) {
        m_preferences.setBoolean(kImportFromDevicesKey, on);
        emit settingsChanged();
    });
}

QWidget* AutoImportSection::buildFolderButtons() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* add = new QPushButton(QStringLiteral("Add…"));
    add->setAccessibleName(QStringLiteral("Add Watched Folder"));
    m_remove = new QPushButton(QStringLiteral("Remove"));
    m_remove->setAccessibleName(QStringLiteral("Remove Watched Folder"));
    connect(add, &QPushButton::clicked, this, &AutoImportSection::addFolder);
    connect(m_remove, &QPushButton::clicked, this, &AutoImportSection::removeSelectedFolders);
    layout->addWidget(add);
    layout->addWidget(m_remove);
    layout->addStretch();
    return row;
}

void AutoImportSection::addFolder() {
    auto folder = Dialogs::openFolder(
        this, {QStringLiteral("Choose a folder whose new activity files are imported by "
                              "themselves."),
               QStringLiteral("Watch Folder"),
               {},
               {},
               false});
    if (!folder || folder->isEmpty()) return;
    addWatchedFolder(folder->toStdString(), m_preferences);
    reloadFolders();
    emit settingsChanged();
}

void AutoImportSection::removeSelectedFolders() {
    const auto selected = m_folders->selectedItems();
    if (selected.isEmpty()) return;
    for (const QListWidgetItem* item : selected)
        removeWatchedFolder(item->text().toStdString(), m_preferences);
    reloadFolders();
    emit settingsChanged();
}

void AutoImportSection::setStatus(const QString& text) {
    m_status->setText(text);
}

void AutoImportSection::reloadFolders() {
    m_folders->clear();
    for (const auto& folder : WatchSettings::load(m_preferences).watchedFolders) {
        auto* item = new QListWidgetItem(QString::fromStdString(folder.string()), m_folders);
        item->setToolTip(item->text());
    }
    updateButtons();
}

void AutoImportSection::updateButtons() {
    m_remove->setEnabled(!m_folders->selectedItems().isEmpty());
}

}  // namespace vantrel
