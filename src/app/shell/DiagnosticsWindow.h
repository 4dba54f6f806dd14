#pragma once

#include <QMainWindow>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "logging/PersistentLogger.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QStackedWidget;

namespace vantrel {

class PlaceholderView;

/// The "Diagnostics" window: the session log files of every device family, one file's
/// text with a line filter, the storage they take, and deleting them all, through `logger`
/// (which must outlive the window). A main window of its own, so that it is a window (a frame)
/// to assistive technology too.
class DiagnosticsWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit DiagnosticsWindow(PersistentLogger& logger, QWidget* parent = nullptr);

    /// "1023 Bytes", "1 KB", "1.0 MB" (1 KB = 1024 bytes).
    static QString formatSize(std::uint64_t bytes);
    /// session_2025-03-14_071502.log → "2025-03-14 071502".
    static QString displayName(const std::filesystem::path& file);
    /// The lines containing `filter` (case-insensitive); the whole text for an empty filter.
    static QString filtered(const QString& text, const QString& filter);

    void selectPlatform(LogPlatform platform);
    void reload();
    void deleteAll();
    void copyShownText();
    void setFilter(const QString& text);

    QStringList platformLabels() const;
    QString caption() const;
    QString storageText() const;
    QStringList fileRows() const;
    QString shownText() const;
    std::optional<std::filesystem::path> selectedFile() const { return m_selectedFile; }

  private:
    QWidget* buildSidebar();
    QWidget* buildPlatformChoice();
    QWidget* buildFileView();
    void refreshPlatformLabels();
    void selectFile(const std::optional<std::filesystem::path>& file);
    void showText();

    PersistentLogger& m_logger;
    LogPlatform m_selectedPlatform = LogPlatform::Linux;
    std::vector<std::filesystem::path> m_logFiles;
    std::optional<std::filesystem::path> m_selectedFile;
    QString m_logContent;
    QButtonGroup* m_platforms;
    QLabel* m_caption;
    QLabel* m_storage;
    QListWidget* m_fileList;
    QStackedWidget* m_fileStack;
    PlaceholderView* m_noFile;
    QLineEdit* m_search;
    QPlainTextEdit* m_text;
};

}  // namespace vantrel
