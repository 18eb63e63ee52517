// What assistive technology learns of the window, asked through Qt's accessibility
// interfaces (the AT-SPI check in atspi_check.py asks the desktop's own way).
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>

#include "gui/gui_fixture.h"
#include "operations/messages.h"

namespace holmtex::test {
namespace {

QAccessibleInterface* accessible(QObject* object) {
    QAccessibleInterface* found = QAccessible::queryAccessibleInterface(object);
    EXPECT_NE(found, nullptr);
    return found;
}

std::string accessibleName(QObject* object) {
    return accessible(object)->text(QAccessible::Name).toStdString();
}

TEST_F(GuiTest, AssistiveTechnologyMeetsAWindowLabelsFieldsAndTheListChosen) {
    writePages({"100"});
    form->Form_Load();
    showAndActivate();
    EXPECT_EQ(accessible(window.get())->role(), QAccessible::Window);
    EXPECT_EQ(accessibleName(window.get()), "Holmtex Notiz Version  2.45");

    const struct {
        const char* control;
        QAccessible::Role role;
        const char* name;
    } table[] = {
        {"fam2", QAccessible::StaticText, "Familie2"},
        {"Text32(0)", QAccessible::StaticText, "Kinder, Familie 1"},
        {"Text10", QAccessible::StaticText, "Vorgang Nr."},
        {"Text4", QAccessible::StaticText, "Sucheingabe oder Funktionsbefehl"},
        {"Text31", QAccessible::StaticText, "gespeicherte Merkseiten AKTUELL"},
        {"Text2", QAccessible::EditableText, "Vorgang Nr."},
        {"k23t", QAccessible::EditableText, "Kind 2, Familie 3"},
        {"List1", QAccessible::List, "gespeicherte Merkseiten AKTUELL"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.control);
        QWidget* w = widget(row.control);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(accessible(w)->role(), row.role);
        EXPECT_EQ(accessibleName(w), row.name);
    }
    EXPECT_TRUE(accessible(widget("fam1"))->state().readOnly);

    // The list is named after the list chosen, as its heading is; a screen reader's toggle
    // chooses a list as a click does.
    QAccessibleActionInterface* option = accessible(widget("Option3"))->actionInterface();
    ASSERT_NE(option, nullptr);
    option->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(form->Option3.value());
    EXPECT_EQ(accessibleName(widget("List1")), "gespeicherte Merkseiten ALLGEMEIN");
    EXPECT_EQ(accessibleName(widget("Text31")), "gespeicherte Merkseiten ALLGEMEIN");

    // The command box names every word it takes, and only those.
    QLineEdit* edit = widget<QComboBox>("Combo1")->lineEdit();
    const QString description = accessible(edit)->text(QAccessible::Description);
    EXPECT_EQ(description.toStdString(), msg::commandBoxDescription());
    const QStringList words = description.section("Befehle ", 1).split(", ");
    EXPECT_EQ(words.size(), 11);
    for (const QString& word : words)
        EXPECT_TRUE(Holmtex::isCommandWord(word.toStdString())) << word.toStdString();
}

}  // namespace
}  // namespace holmtex::test
