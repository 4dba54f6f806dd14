#include "app/widgets/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel {

namespace {

struct TestHooks {
    bool enabled = false;
    std::deque<QVariant> answers;
    std::vector<DialogRecord> records;
};

TestHooks& hooks() {
    static TestHooks state;
    return state;
}

void record(DialogRecord::Kind kind, const QString& title, const QString& text,
            const QString& detail = {}) {
    hooks().records.push_back({kind, title, text, detail});
}

QVariant takeAnswer() {
    auto& queue = hooks().answers;
    if (queue.empty()) return {};
    QVariant answer = queue.front();
    queue.pop_front();
    return answer;
}

QFileDialog* makeChooser(QWidget* parent, const ChooserRequest& request) {
    auto* dialog = new QFileDialog(parent, request.message);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!request.nameFilter.isEmpty()) dialog->setNameFilter(request.nameFilter);
    if (!request.prompt.isEmpty()) dialog->setLabelText(QFileDialog::Accept, request.prompt);
    return dialog;
}

// Alerts name files, places and errors from outside: none of it may be read as markup (a file
// name could otherwise lay out the alert, or link somewhere). The informative text has no format
// setting of its own; its label is reached by the name the message box gives it.
void showPlainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
        informative->setOpenExternalLinks(false);
    }
}

// Narrow message boxes cut their title and wrap short texts word by word; every alert gets
// room for a title and a sentence on one line.
constexpr int kAlertMinimumWidth = 420;

void widen(QMessageBox& box) {
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(
            new QSpacerItem(kAlertMinimumWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
}

/// Puts `accessory` under the text and above the buttons; QMessageBox has no slot for it.
void addAccessory(QMessageBox& box, QWidget* accessory) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (!grid || !buttons) return;
    int index = grid->indexOf(buttons);
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    grid->removeWidget(buttons);
    grid->addWidget(accessory, row, 1, 1, grid->columnCount() - 1);
    grid->addWidget(buttons, row + 1, column, rowSpan, columnSpan);
}

std::optional<QStringList> runChooser(QFileDialog* dialog) {
    std::optional<QStringList> result;
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        result = dialog->selectedFiles();
    }
    delete dialog;
    return result;
}

std::optional<QString> firstOf(const std::optional<QStringList>& files) {
    if (!files) return std::nullopt;
    return files->first();
}

}  // namespace

std::optional<QStringList> Dialogs::openFiles(QWidget* parent, const ChooserRequest& request) {
    record(DialogRecord::Kind::openFiles, request.message, request.nameFilter, request.prompt);
    if (testMode()) {
        QVariant answer = takeAnswer();
        if (!answer.isValid()) return std::nullopt;
        return answer.toStringList();
    }
    QFileDialog* dialog = makeChooser(parent, request);
    dialog->setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    return runChooser(dialog);
}

std::optional<QString> Dialogs::openFolder(QWidget* parent, const ChooserRequest& request) {
    record(DialogRecord::Kind::openFolder, request.message, {}, request.prompt);
    if (testMode()) {
        QVariant answer = takeAnswer();
        if (!answer.isValid()) return std::nullopt;
        return answer.toString();
    }
    QFileDialog* dialog = makeChooser(parent, request);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return firstOf(runChooser(dialog));
}

std::optional<QString> Dialogs::saveFile(QWidget* parent, const ChooserRequest& request) {
    record(DialogRecord::Kind::saveFile, request.message, request.nameFilter,
           request.suggestedName);
    if (testMode()) {
        QVariant answer = takeAnswer();
        if (!answer.isValid()) return std::nullopt;
        return answer.toString();
    }
    QFileDialog* dialog = makeChooser(parent, request);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->selectFile(request.suggestedName);
    return firstOf(runChooser(dialog));
}

namespace {

void showAlert(QWidget* parent, const QString& title, const QString& text, bool warning) {
    hooks().records.push_back({DialogRecord::Kind::alert, title, text, {}, warning});
    if (Dialogs::testMode()) return;
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information, title, title,
                    QMessageBox::Ok, parent);
    box.setInformativeText(text);
    showPlainText(box);
    widen(box);
    box.exec();
}

}  // namespace

void Dialogs::alert(QWidget* parent, const QString& title, const QString& text) {
    showAlert(parent, title, text, false);
}

void Dialogs::warning(QWidget* parent, const QString& title, const QString& text) {
    showAlert(parent, title, text, true);
}

bool Dialogs::confirm(QWidget* parent, const QString& title, const QString& text,
                      const QString& acceptText, bool destructive) {
    record(DialogRecord::Kind::confirm, title, text, acceptText);
    if (testMode()) return takeAnswer().toBool();
    QMessageBox box(destructive ? QMessageBox::Warning : QMessageBox::Question, title, title,
                    QMessageBox::NoButton, parent);
    box.setInformativeText(text);
    QPushButton* accept = box.addButton(
        acceptText, destructive ? QMessageBox::DestructiveRole : QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(destructive ? cancel : accept);
    showPlainText(box);
    widen(box);
    box.exec();
    return box.clickedButton() == accept;
}

std::optional<bool> Dialogs::confirmWithCheckbox(QWidget* parent, const QString& title,
                                                 const QString& text, const QString& checkbox,
                                                 const QString& acceptText) {
    record(DialogRecord::Kind::confirm, title, text, checkbox);
    if (testMode()) {
        QVariant answer = takeAnswer();
        if (!answer.isValid()) return std::nullopt;
        return answer.toBool();
    }
    QMessageBox box(QMessageBox::Question, title, title, QMessageBox::NoButton, parent);
    box.setInformativeText(text);
    auto* checkBox = new QCheckBox(checkbox);
    box.setCheckBox(checkBox);
    QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(accept);
    showPlainText(box);
    widen(box);
    box.exec();
    if (box.clickedButton() != accept) return std::nullopt;
    return checkBox->isChecked();
}

std::optional<int> Dialogs::pickYear(QWidget* parent,
                                     const std::vector<std::pair<int, qint64>>& years) {
    QStringList titles;
    for (const auto& [year, count] : years)
        titles << QStringLiteral("%1 (%2 %3)")
                      .arg(year)
                      .arg(count)
                      .arg(count == 1 ? QStringLiteral("ride") : QStringLiteral("rides"));
    record(DialogRecord::Kind::yearPicker, QStringLiteral("Export Year"),
           QStringLiteral("Select which year to export:"), titles.join(u'\n'));
    if (testMode()) {
        QVariant answer = takeAnswer();
        if (!answer.isValid()) return std::nullopt;
        return answer.toInt();
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Export Year"),
                    QStringLiteral("Export Year"), QMessageBox::NoButton, parent);
    box.setInformativeText(QStringLiteral("Select which year to export:"));
    auto* picker = new QComboBox(&box);
    picker->setFixedSize(200, 28);
    for (int i = 0; i < static_cast<int>(years.size()); ++i)
        picker->addItem(titles[i], years[i].first);
    QPushButton* accept = box.addButton(QStringLiteral("Export"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(accept);
    addAccessory(box, picker);
    showPlainText(box);
    widen(box);
    box.exec();
    if (box.clickedButton() != accept || picker->currentIndex() < 0) return std::nullopt;
    return picker->currentData().toInt();
}

void Dialogs::setTestMode(bool enabled) {
    hooks().enabled = enabled;
}
bool Dialogs::testMode() {
    return hooks().enabled;
}
void Dialogs::pushAnswer(const QVariant& answer) {
    hooks().answers.push_back(answer);
}
const std::vector<DialogRecord>& Dialogs::records() {
    return hooks().records;
}
void Dialogs::clearRecords() {
    hooks().records.clear();
    hooks().answers.clear();
}

std::optional<DialogRecord> Dialogs::lastOf(DialogRecord::Kind kind) {
    const auto& all = hooks().records;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (it->kind == kind) return *it;
    }
    return std::nullopt;
}

}  // namespace vantrel
