#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace vantrel {

/// A linear progress bar with its label ("Importing 3 of 10…").
class ProgressRow : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressRow(QWidget* parent = nullptr);
    /// `fraction` 0…1.
    void setProgress(const QString& label, double fraction);
    QString label() const;
    double fraction() const;

  private:
    QLabel* m_label;
    QProgressBar* m_bar;
};

}  // namespace vantrel
