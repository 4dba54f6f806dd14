#pragma once

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace vantrel {

class Preferences;

/// The settings' "Import Automatically" section: the watched folders (Add…/Remove) and whether
/// watches and bike computers are read when plugged in, kept in the preferences the
/// command-line watcher reads too, with a line saying what the window's watcher is doing.
class AutoImportSection : public QGroupBox {
    Q_OBJECT
  public:
    explicit AutoImportSection(Preferences& preferences, QWidget* parent = nullptr);

    QListWidget* folderList() const { return m_folders; }
    QCheckBox* devicesCheckBox() const { return m_devices; }
    QPushButton* removeButton() const { return m_remove; }
    QLabel* statusLabel() const { return m_status; }

    /// Asks for a folder and watches it.
    void addFolder();
    /// Stops watching the selected folders.
    void removeSelectedFolders();
    /// Shows what the watcher does ("Watching 2 folders and devices plugged in.").
    void setStatus(const QString& text);

  signals:
    /// The folders or the devices switch changed; the watcher starts over with them.
    void settingsChanged();

  private:
    QWidget* buildFolderButtons();
    void reloadFolders();
    void updateButtons();

    Preferences& m_preferences;
    QListWidget* m_folders;
    QCheckBox* m_devices;
    QPushButton* m_remove = nullptr;
    QLabel* m_status;
};

}  // namespace vantrel
