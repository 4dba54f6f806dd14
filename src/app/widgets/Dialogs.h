#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <optional>
#include <vector>

class QWidget;

namespace vantrel {

/// What a file, folder or save chooser offers.
struct ChooserRequest {
    QString message;
    QString prompt;
    QString nameFilter;     ///< e.g. "GPX files (*.gpx)"; empty allows every file
    QString suggestedName;  ///< save choosers only
    bool multiple = false;
};

/// One dialog that was shown (or answered by a test hook), kept for tests to inspect.
struct DialogRecord {
    enum class Kind { openFiles, openFolder, saveFile, alert, confirm, yearPicker } kind;
    QString title;
    QString text;
    QString detail;  ///< chooser prompt/suggested name, confirmation button, checkbox title
    /// The symbol an alert shows: information, or a warning for what went wrong.
    bool warning = false;
};

/// The one way the app shows choosers, alerts and confirmations. In test mode nothing is shown:
/// each dialog takes the next queued answer (an empty queue answers "Cancel"), and alerts are
/// dismissed at once; every dialog is recorded either way.
class Dialogs {
  public:
    static std::optional<QStringList> openFiles(QWidget* parent, const ChooserRequest& request);
    static std::optional<QString> openFolder(QWidget* parent, const ChooserRequest& request);
    static std::optional<QString> saveFile(QWidget* parent, const ChooserRequest& request);
    /// A modal information alert with a single "OK" button.
    static void alert(QWidget* parent, const QString& title, const QString& text);
    /// The same alert with the warning symbol, for a failure ("Import Error").
    static void warning(QWidget* parent, const QString& title, const QString& text);
    /// A modal question; true when the user chose `acceptText`. `destructive` styles that button.
    static bool confirm(QWidget* parent, const QString& title, const QString& text,
                        const QString& acceptText, bool destructive);
    /// A question with a checkbox: absent on "Cancel", else whether the box was ticked.
    static std::optional<bool> confirmWithCheckbox(QWidget* parent, const QString& title,
                                                   const QString& text, const QString& checkbox,
                                                   const QString& acceptText);
    /// The "Export Year" picker over (year, count) entries; absent on "Cancel".
    static std::optional<int> pickYear(QWidget* parent,
                                       const std::vector<std::pair<int, qint64>>& years);

    // Test hooks.
    static void setTestMode(bool enabled);
    static bool testMode();
    /// Queues the answer of the next chooser or question: a QStringList for openFiles, a QString
    /// for folder/save choosers, a bool for confirm, an int for the year picker (a null QVariant
    /// cancels; for confirmWithCheckbox, a bool is the checkbox state of an "Import").
    static void pushAnswer(const QVariant& answer);
    static const std::vector<DialogRecord>& records();
    static void clearRecords();
    /// The most recent record of a kind; absent when none.
    static std::optional<DialogRecord> lastOf(DialogRecord::Kind kind);
};

}  // namespace vantrel
