#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vantrel {

/// The sidebar's status area of a locating run: the status line alone until the number of
/// activities is known, then a progress bar labelled with it and an "Abort" button.
class LocatingStatusView : public QWidget {
    Q_OBJECT
  public:
    explicit LocatingStatusView(QWidget* parent = nullptr);
    void setState(bool isGeocoding, const QString& progressText, int current, int total);
    /// Names the bar and the button after what the run does, for a sidebar with more than one.
    void setSubject(const QString& subject);
    QString statusText() const;
    QPushButton* abortButton() const { return m_abort; }

  signals:
    void abortRequested();

  private:
    QLabel* m_caption;
    QLabel* m_barLabel;
    QProgressBar* m_bar;
    QPushButton* m_abort;
    QWidget* m_barRow;
};

}  // namespace vantrel
