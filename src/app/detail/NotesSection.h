#pragma once

#include <QGroupBox>

#include "model/RideStore.h"

class QPlainTextEdit;
class QTimer;

namespace vantrel {

/// "Notes": a multi-line editor over the activity's note. Typing is saved shortly after it
/// stops, and at once when the editor loses focus or the section goes away (another activity
/// selected, the window closed), so nothing typed is lost.
class NotesSection : public QGroupBox {
    Q_OBJECT
  public:
    NotesSection(RideStore& store, RideRef ride, QWidget* parent = nullptr);
    ~NotesSection() override;

    QPlainTextEdit* editor() const { return m_editor; }
    /// Writes pending typing into the record and saves the store.
    void flush();

    /// How long typing must pause before it is saved.
    static constexpr int kSaveDelayMs = 600;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    RideStore& m_store;
    RideRef m_ride;
    QPlainTextEdit* m_editor;
    QTimer* m_saveTimer;
    bool m_dirty = false;
};

}  // namespace vantrel
