#include "app/shell/DiagnosticsWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/widgets/Dialogs.h"
#include "app/widgets/Icons.h"
#include "app/widgets/PlaceholderView.h"

namespace vantrel {

namespace {

constexpr LogPlatform kPlatformOrder[] = {LogPlatform::iOS, LogPlatform::watchOS,
                                          LogPlatform::macOS, LogPlatform::Linux};
constexpr int kPathRole = Qt::UserRole + 1;

QString platformName(LogPlatform platform) {
    switch (platform) {
        case LogPlatform::iOS:
            return QStringLiteral("Phone");
        case LogPlatform::watchOS:
            return QStringLiteral("Watch");
        case LogPlatform::macOS:
            return QStringLiteral("Other Computer");
        case LogPlatform::Linux:
            return QStringLiteral("Linux");
    }
    return {};
}

QString platformCaption(LogPlatform platform) {
    switch (platform) {
        case LogPlatform::iOS:
            return QStringLiteral("Logs from a phone, in the shared folder.");
        case LogPlatform::watchOS:
            return QStringLiteral("Logs from a watch, in the shared folder.");
        case LogPlatform::macOS:
            return QStringLiteral("Logs from another computer, in the shared folder.");
        case LogPlatform::Linux:
            return QStringLiteral("Logs from this computer.");
    }
    return {};
}

std::uint64_t fileSize(const std::filesystem::path& file) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

}  // namespace

DiagnosticsWindow::DiagnosticsWindow(PersistentLogger& logger, QWidget* parent)
    : QMainWindow(parent),
      m_logger(logger),
      m_platforms(new QButtonGroup(this)),
      m_caption(new QLabel),
      m_storage(new QLabel),
      m_fileList(new QListWidget),
      m_fileStack(new QStackedWidget),
      m_noFile(new PlaceholderView(
          "doc.text", QStringLiteral("Select a Log File"),
          QStringLiteral("Choose a log file from the sidebar to view its contents."))),
      m_search(new QLineEdit),
      m_text(new QPlainTextEdit) {
    setWindowTitle(QStringLiteral("Diagnostics"));
    setWindowIcon(Icons::applicationIcon());
    setMinimumWidth(700);
    auto* split = new QSplitter;
    split->addWidget(buildSidebar());
    split->addWidget(buildFileView());
    split->setStretchFactor(1, 1);
    split->setSizes({300, 600});
    setCentralWidget(split);
    resize(900, 600);
    reload();
}

QWidget* DiagnosticsWindow::buildSidebar() {
    // No fixed minimum width: the layout's own keeps every family's segment whole, whatever
    // its count.
    auto* sidebar = new QWidget;
    auto* layout = new QVBoxLayout(sidebar);
    layout->addWidget(new QLabel(QStringLiteral("Platform")));
    layout->addWidget(buildPlatformChoice());
    m_caption->setWordWrap(true);
    m_caption->setTextFormat(Qt::PlainText);  // device families are folder names
    m_caption->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_caption);
    layout->addWidget(m_storage);
    layout->addWidget(new QLabel(QStringLiteral("Retention: 7 days")));
    m_fileList->setAccessibleName(QStringLiteral("Log files"));
    layout->addWidget(m_fileList, 1);
    connect(m_fileList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < static_cast<int>(m_logFiles.size()))
            selectFile(m_logFiles[static_cast<size_t>(row)]);
    });
    auto* buttons = new QHBoxLayout;
    auto* refresh = new QPushButton(QStringLiteral("Refresh"));
    auto* deleteAll = new QPushButton(QStringLiteral("Delete All"));
    connect(refresh, &QPushButton::clicked, this, &DiagnosticsWindow::reload);
    connect(deleteAll, &QPushButton::clicked, this, &DiagnosticsWindow::deleteAll);
    buttons->addWidget(refresh);
    buttons->addStretch();
    buttons->addWidget(deleteAll);
    layout->addLayout(buttons);
    return sidebar;
}

QWidget* DiagnosticsWindow::buildPlatformChoice() {
    auto* segments = new QWidget;
    auto* row = new QHBoxLayout(segments);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (LogPlatform platform : kPlatformOrder) {
        auto* segment = new QPushButton;
        segment->setCheckable(true);
        segment->setChecked(platform == m_selectedPlatform);
        m_platforms->addButton(segment, static_cast<int>(platform));
        row->addWidget(segment);
    }
    m_platforms->setExclusive(true);
    connect(m_platforms, &QButtonGroup::idClicked, this,
            [this](int id) { selectPlatform(static_cast<LogPlatform>(id)); });
    return segments;
}

QWidget* DiagnosticsWindow::buildFileView() {
    auto* layout = new QVBoxLayout;
    auto* bar = new QHBoxLayout;
    m_search->setPlaceholderText(QStringLiteral("Filter logs..."));
    m_search->setAccessibleName(QStringLiteral("Filter log lines"));
    m_search->setClearButtonEnabled(true);
    for (auto* button : m_search->findChildren<QToolButton*>())
        button->setAccessibleName(QStringLiteral("Clear filter"));
    m_text->setAccessibleName(QStringLiteral("Log text"));
    auto* copy = new QPushButton(Icons::icon("doc.on.doc", palette().color(QPalette::ButtonText)),
                                 QStringLiteral("Copy"));
    connect(copy, &QPushButton::clicked, this, &DiagnosticsWindow::copyShownText);
    connect(m_search, &QLineEdit::textChanged, this, &DiagnosticsWindow::showText);
    bar->addWidget(m_search, 1);
    bar->addWidget(copy);
    layout->addLayout(bar);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(11);
    m_text->setFont(mono);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_text, 1);
    auto* withFile = new QWidget;
    withFile->setLayout(layout);
    m_fileStack->addWidget(m_noFile);
    m_fileStack->addWidget(withFile);
    return m_fileStack;
}

QString DiagnosticsWindow::formatSize(std::uint64_t bytes) {
    if (bytes < 1024) return QStringLiteral("%1 Bytes").arg(bytes);
    if (bytes < 1048576) return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QString::asprintf("%.1f MB", static_cast<double>(bytes) / 1048576.0);
}

QString DiagnosticsWindow::displayName(const std::filesystem::path& file) {
    QString name = QString::fromStdString(file.filename().string());
    if (name.endsWith(QLatin1String(".log"))) name.chop(4);
    return name.remove(QStringLiteral("session_")).replace(u'_', u' ');
}

QString DiagnosticsWindow::filtered(const QString& text, const QString& filter) {
    if (filter.isEmpty()) return text;
    QStringList kept;
    for (const QString& line : text.split(u'\n')) {
        if (line.contains(filter, Qt::CaseInsensitive)) kept << line;
    }
    return kept.join(u'\n');
}

void DiagnosticsWindow::selectPlatform(LogPlatform platform) {
    m_selectedPlatform = platform;
    if (auto* button = m_platforms->button(static_cast<int>(platform))) button->setChecked(true);
    m_selectedFile.reset();
    reload();
}

void DiagnosticsWindow::reload() {
    m_logFiles = m_logger.logFiles(m_selectedPlatform);
    refreshPlatformLabels();
    m_caption->setText(platformCaption(m_selectedPlatform));
    m_storage->setText(QStringLiteral("Storage: ") + formatSize(m_logger.totalLogSize()));
    {
        QSignalBlocker blocker(m_fileList);
        m_fileList->clear();
        for (const auto& file : m_logFiles) {
            auto* item =
                new QListWidgetItem(displayName(file) + u'\n' + formatSize(fileSize(file)));
            item->setData(kPathRole, QString::fromStdString(file.string()));
            m_fileList->addItem(item);
        }
    }
    if (m_logFiles.empty()) return selectFile(std::nullopt);
    bool keep =
        m_selectedFile && *m_selectedFile != m_logFiles.front() &&
        std::find(m_logFiles.begin(), m_logFiles.end(), *m_selectedFile) != m_logFiles.end();
    selectFile(keep ? *m_selectedFile : m_logFiles.front());
}

void DiagnosticsWindow::refreshPlatformLabels() {
    for (LogPlatform platform : kPlatformOrder) {
        QAbstractButton* button = m_platforms->button(static_cast<int>(platform));
        button->setText(QStringLiteral("%1 (%2)")
                            .arg(platformName(platform))
                            .arg(m_logger.logFiles(platform).size()));
    }
}

void DiagnosticsWindow::selectFile(const std::optional<std::filesystem::path>& file) {
    m_selectedFile = file;
    m_logContent.clear();
    if (file) {
        QFile reader(QString::fromStdString(file->string()));
        if (reader.open(QIODevice::ReadOnly)) m_logContent = QString::fromUtf8(reader.readAll());
        auto position = std::find(m_logFiles.begin(), m_logFiles.end(), *file);
        QSignalBlocker blocker(m_fileList);
        m_fileList->setCurrentRow(static_cast<int>(position - m_logFiles.begin()));
    }
    m_fileStack->setCurrentIndex(file ? 1 : 0);
    showText();
}

void DiagnosticsWindow::showText() {
    QString shown = filtered(m_logContent, m_search->text());
    m_text->setPlainText(shown);
    m_text->setPlaceholderText(QStringLiteral("Empty log"));
}

void DiagnosticsWindow::setFilter(const QString& text) {
    m_search->setText(text);
}

void DiagnosticsWindow::copyShownText() {
    QApplication::clipboard()->setText(m_text->toPlainText());
}

void DiagnosticsWindow::deleteAll() {
    if (!Dialogs::confirm(this, QStringLiteral("Delete all log files?"), {},
                          QStringLiteral("Delete All"), true))
        return;
    m_logger.deleteAllLogs();
    reload();
}

QStringList DiagnosticsWindow::platformLabels() const {
    QStringList labels;
    for (LogPlatform platform : kPlatformOrder)
        labels << m_platforms->button(static_cast<int>(platform))->text();
    return labels;
}

QString DiagnosticsWindow::caption() const {
    return m_caption->text();
}
QString DiagnosticsWindow::storageText() const {
    return m_storage->text();
}
QString DiagnosticsWindow::shownText() const {
    return m_text->toPlainText();
}

QStringList DiagnosticsWindow::fileRows() const {
    QStringList rows;
    for (int i = 0; i < m_fileList->count(); ++i) rows << m_fileList->item(i)->text();
    return rows;
}

}  // namespace vantrel
