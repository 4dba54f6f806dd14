#pragma once

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vantrel {

/// A centred symbol with a title and a line of text: empty states and prompts.
class PlaceholderView : public QWidget {
    Q_OBJECT
  public:
    PlaceholderView(const std::string& symbol, const QString& title, const QString& text,
                    QWidget* parent = nullptr);
    void setTitle(const QString& title);
    /// Adds a button under the text (an empty state's way out); the view owns it.
    QPushButton* addButton(const QString& text);
    QString title() const;
    QString text() const;

  private:
    QLabel* m_title;
    QLabel* m_text;
    QVBoxLayout* m_layout;
};

}  // namespace vantrel
