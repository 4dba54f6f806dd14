#pragma once

#include <QWidget>
#include <string>

class QLabel;

namespace vantrel {

/// A centred symbol with a title and a line of text: empty states and prompts.
class PlaceholderView : public QWidget {
    Q_OBJECT
  public:
    PlaceholderView(const std::string& symbol, const QString& title, const QString& text,
                    QWidget* parent = nullptr);
    void setTitle(const QString& title);
    QString title() const;
    QString text() const;

  private:
    QLabel* m_title;
    QLabel* m_text;
};

}  // namespace vantrel
