#include "app/detail/NotesSection.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace vantrel {

NotesSection::NotesSection(RideStore& store, RideRef ride, QWidget* parent)
    : QGroupBox(QStringLiteral("Notes"), parent),
      m_store(store),
      m_ride(std::move(ride)),
      m_editor(new QPlainTextEdit),
      m_saveTimer(new QTimer(this)) {
    auto* layout = new QVBoxLayout(this);
    m_editor->setPlaceholderText(QStringLiteral("Add notes about this activity..."));
    m_editor->setAccessibleName(QStringLiteral("Notes"));
    m_editor->setTabChangesFocus(true);
    m_editor->setMinimumHeight(90);
    m_editor->setMaximumHeight(140);
    m_editor->setPlainText(QString::fromStdString(m_ride->notes.value_or("")));
    m_editor->installEventFilter(this);
    layout->addWidget(m_editor);

    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, &NotesSection::flush);
    connect(m_editor, &QPlainTextEdit::textChanged, this, [this] {
        m_dirty = true;
        m_saveTimer->start();
    });
}

NotesSection::~NotesSection() {
    flush();
}

void NotesSection::flush() {
    m_saveTimer->stop();
    if (!m_dirty) return;
    m_dirty = false;
    // An emptied editor removes the note rather than storing an empty text; any other text,
    // spaces included, is kept exactly as typed.
    QString text = m_editor->toPlainText();
    if (text.isEmpty()) {
        m_ride->notes.reset();
    } else {
        m_ride->notes = text.toStdString();
    }
    m_store.autosave();
}

bool NotesSection::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor && event->type() == QEvent::FocusOut) flush();
    return QGroupBox::eventFilter(watched, event);
}

}  // namespace vantrel
