#pragma once

#include <QLabel>

namespace vantrel {

/// A one-line label that gives up width: when its column is narrower than the text, it shows
/// the text shortened in the middle ("Lake Gen…Shore Path") and the whole text as its tooltip.
/// `text()` and what screen readers hear stay the whole text. With word wrap on it wraps
/// instead, as a plain label does.
class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    /// The text as drawn at the current width.
    QString shownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace vantrel
