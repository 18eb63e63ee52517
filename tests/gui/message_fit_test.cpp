// Every message the program can show fits the message box Text5, which has no scroll bar:
// each is laid out in the box's own font and width and may need no more lines than the
// box shows: the words of every kind of outcome, with the widest values it can take.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

#include "gui/gui_fixture.h"
#include "operations/command_words.h"
#include "operations/messages.h"
#include "support/widest_outcomes.h"

namespace holmtex::test {
namespace {

TEST_F(GuiTest, EveryMessageFitsTheMessageBox) {
    showAndActivate();
    auto* box = widget<QPlainTextEdit>("Text5");
    const int lineSpacing = box->fontMetrics().lineSpacing();
    const int shown =
        (box->viewport()->height() - 2 * static_cast<int>(box->document()->documentMargin())) /
        lineSpacing;
    ASSERT_EQ(shown, 3);

    // Every operation a command word runs is among them.
    const std::vector<Outcome> outcomes = widestOutcomes();
    for (const CommandWord& command : commandTable())
        EXPECT_TRUE(!command.operation || std::any_of(outcomes.begin(), outcomes.end(),
                                                      [&](const Outcome& o) {
                                                          return o.operation == *command.operation;
                                                      }))
            << command.word;
    // And the words said of no outcome.
    std::vector<std::string> texts = {msg::listBeingRead(), msg::pageNotLastLine()};
    for (const Outcome& outcome : outcomes) texts.push_back(msg::text(outcome));
    for (const std::string& text : texts) {
        form->Text5.setText(text);
        QStringList lines;  // as the box breaks them
        for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
            box->document()->documentLayout()->blockBoundingRect(block);  // lays it out
            for (int i = 0; i < block.layout()->lineCount(); ++i) {
                const QTextLine line = block.layout()->lineAt(i);
                lines << block.text().mid(line.textStart(), line.textLength());
            }
        }
        EXPECT_LE(lines.size(), shown) << lines.join(" | ").toStdString();
    }
}

}  // namespace
}  // namespace holmtex::test
