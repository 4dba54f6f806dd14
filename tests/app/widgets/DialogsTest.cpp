#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "app/widgets/Dialogs.h"

namespace vantrel::test {
namespace {

/// Shows real alerts (not the test hooks' stand-ins) and reads their m_labels before closing them.
class DialogsTest : public ::testing::Test {
  protected:
    void SetUp() override { Dialogs::setTestMode(false); }
    void TearDown() override { Dialogs::setTestMode(true); }

    /// The m_labels of the next modal box, as (text, format) pairs; closes it.
    void readNextBox() {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return readNextBox();
            for (auto* label : box->findChildren<QLabel*>()) {
                if (!label->text().isEmpty())
                    m_labels.emplace_back(label->text(), label->textFormat());
            }
            box->reject();
        });
    }

    std::vector<std::pair<QString, Qt::TextFormat>> m_labels;
};

TEST_F(DialogsTest, AlertsShowNamesFromOutsideAsTheyAre) {
    const QString hostile =
        "<h1 style=\"font-size:90px\">big</h1><a href=\"https://x.example\">x</a>.fit";
    readNextBox();
    Dialogs::alert(nullptr, QStringLiteral("Import Error") + hostile,
                   hostile + QStringLiteral(": The file does not exist."));
    readNextBox();
    Dialogs::confirm(nullptr, QStringLiteral("Delete ") + hostile, hostile,
                     QStringLiteral("Delete"), true);
    ASSERT_EQ(m_labels.size(), 4u);
    for (const auto& [text, format] : m_labels) {
        EXPECT_TRUE(text.contains(hostile)) << text.toStdString();
        EXPECT_EQ(format, Qt::PlainText) << text.toStdString();
    }
}

}  // namespace
}  // namespace vantrel::test
