// Qt's own texts in the window are German, as the rest of the program.
#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "gui/gui_fixture.h"
#include "window/qt/qt_platform.h"

namespace holmtex::test {
namespace {

QStringList visibleTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions)
        if (!action->isSeparator()) texts << action->text().remove('&').section('\t', 0, 0);
    return texts;
}

TEST(GermanTexts, AlleLoeschenAsksWithJaAndNeinAndNeinKeepsTheList) {
    TempDir dir;
    writeFile(dir / "holmtex-aktuell.dat", "");
    QtPlatform platform;
    Holmtex form(platform, dir.path());
    QtWindow window(form);
    platform.setParentWindow(&window);
    form.Form_Load();
    window.show();

    QStringList buttons;
    QString title, defaultButton;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        for (QAbstractButton* button : box->buttons()) buttons << button->text().remove('&');
        defaultButton = box->defaultButton() ? box->defaultButton()->text().remove('&') : "";
        box->button(QMessageBox::No)->click();
    });
    QTest::mouseClick(window.findChild<QWidget*>("Command3"), Qt::LeftButton);  // "alle löschen"

    EXPECT_EQ(title, "  D A T E N V E R L U S T   ");
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Ja", "Nein"}));
    EXPECT_EQ(defaultButton, "Ja");
    EXPECT_TRUE(std::filesystem::exists(dir / "holmtex-aktuell.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "holmtex-aktuell.bak"));
}

TEST_F(GuiTest, ContextMenusOfSingleAndMultiLineFieldsAreGerman) {
    form->Form_Load();
    showAndActivate();
    const QStringList expected = {"Rückgängig", "Ausschneiden", "Kopieren", "Einfügen"};
    std::unique_ptr<QMenu> line(widget<QLineEdit>("Text2")->createStandardContextMenu());
    std::unique_ptr<QMenu> multi(
        widget<QPlainTextEdit>("v1t")->createStandardContextMenu(QPoint(2, 2)));
    for (const QMenu* menu : {line.get(), multi.get()}) {
        const QStringList texts = visibleTexts(menu->actions());
        for (const QString& text : expected)
            EXPECT_TRUE(texts.contains(text)) << texts.join(" | ").toStdString();
    }
}

}  // namespace
}  // namespace holmtex::test
