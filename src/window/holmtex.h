#pragma once
// The one window of the program: every control at its design values, the window's
// members, and its operations. The operations are defined in the folder of the operations,
// one file per subsystem; each group below names its file.

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/page_content.h"
#include "record/data_files.h"
#include "record/list_files.h"
#include "record/outcome.h"
#include "record/page_record.h"
#include "window/controls.h"
#include "window/platform.h"

namespace holmtex {

class Holmtex {
public:
    // workDir is the folder all files of the program live in; `reading` says how its lists
    // are read (ListReading::FromStart: every time from the first byte).
    Holmtex(Platform& platform, std::filesystem::path workDir,
            ListReading reading = ListReading::Remembered);
    Holmtex(const Holmtex&) = delete;
    Holmtex& operator=(const Holmtex&) = delete;

    // ---- The window itself: window/holmtex.cpp ----
    const std::string Caption = "Holmtex Notiz Version  2.45";
    const Rgb BackColor = colors::LightYellow;
    static constexpr int kClientWidth = 13875;  // twips, at design time
    static constexpr int kClientHeight = 8970;
    int windowWidth() const { return windowWidth_; }  // outer size in twips; 0 until set
    int windowHeight() const { return windowHeight_; }
    void setWindowSize(int width, int height);
    void observeWindowSize(std::function<void()> observer);

    // ---- Controls ----
    // Their design values (place, look, texts, tab order) come from the design table in
    // holmtex_design.cpp, which describes each control once.
    TextBox Text1, Text2, Text10, Text5, Text31;
    ListBox List1;
    OptionButton Option1, Option2, Option3;
    Frame Suche;
    TextBox Text4;
    ComboBox Combo1;
    CommandButton Command1, Command2, Command3, Command5, Command6, Command7, Command8, Command9;
    CommandButton Command17, Command18, Command19, Command21, Command22, Command23;
    CommandButton Command24, Command25;  // "+" and "-"
    Line Line1, Line2;

    // Family block headings and captions.
    TextBox fam1, fam2, fam3, fam4;
    std::array<TextBox, 4> Text32;  // "Kinder", one control array
    TextBox eltern1, eltern2, eltern3, eltern4;
    // "L" buttons: children (4, 11, 13, 15) and parents (10, 12, 14, 16) of families 1 to 4.
    CommandButton Command4, Command10, Command11, Command12;
    CommandButton Command13, Command14, Command15, Command16;

    // The forty family fields; fieldForItem gives them in item order.
    TextBox k11t, k21t, k31t, k41t, k51t, k61t, v1t, m1t, dat1t, bem1t;
    TextBox k12t, k22t, k32t, k42t, k52t, k62t, v2t, m2t, dat2t, bem2t;
    TextBox k13t, k23t, k33t, k43t, k53t, k63t, v3t, m3t, dat3t, bem3t;
    TextBox k14t, k24t, k34t, k44t, k54t, k64t, v4t, m4t, dat4t, bem4t;

    // ---- Members of the window ----
    PageRecord CurrentRecord;
    int MarkedLine = 0;
    std::array<std::string, 20> PanelBackup;  // panel 2 then panel 4, between "+" and "-"

    // The operations follow, in groups; each group is defined in the file it names.

    // ---- Start-up: startup.cpp ----
    void Form_Load();

    // ---- Field clearing: clearing.cpp ----
    void Command6_Click();  // "Felder löschen"
    void Command4_Click();  // "L" buttons: children / parents of families 1 to 4
    void Command10_Click();
    void Command11_Click(int Index);
    void Command12_Click();
    void Command13_Click();
    void Command14_Click();
    void Command15_Click();
    void Command16_Click();

    // ---- Two- and four-family view, add state: views.cpp ----
    // A view is where Text1 stands; its Left and Width never change. Save tells the views
    // apart by the height alone.
    struct TextPlace {
        int top, height;
    };
    static constexpr TextPlace kFourFamilyText{7080, 1695};  // the design place
    static constexpr TextPlace kTwoFamilyText{3600, 5175};   // over families 3 and 4
    // Puts Text1 in a view's place: Height first, then Top.
    void placeText1(TextPlace place);
    void Command17_Click();           // "2 Familien"
    void Command18_Click();           // "4 Familien"
    void Command24_Click(int Index);  // "+"
    void Command25_Click();           // "-"
    void Text2_Change();              // keeps ProcessNumber

    // ---- Page list and list choice: page_list.cpp ----
    void RefreshList();
    // The list shown anew without opening a line: the page on screen stays as it was typed,
    // and "Speichern" saves it. After a repair, a step back or forth, and a change refused
    // because the marked line may hold another page now.
    void RebuildList();
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    // What the last RefreshList said: the line it opened, why it could not read the whole
    // list file, what finishing an append found (see ListFiles::lines).
    const Outcome& listShown() const { return listShown_; }
    // What the tooltip of a list line says of its page, read from that page alone; empty when
    // it cannot be read so.
    std::string lineTip(int line);

    // ---- A long list shown while it is read: list_aside.cpp ----
    // Start-up shows a long list with its last page open at once, and reads its lines on
    // another thread (where the platform has one). They fill in while the user works, each
    // once its number is sure; the last line, whose number is the count, comes last. Whatever
    // needs the whole list waits for it first.
    bool listBeingRead() const { return aside_.has_value(); }
    // Waits until the list being read is whole, the window painted meanwhile; clicks and keys
    // come after it, as they came. At once when no list is being read.
    void settleLists();

    // ---- Saving and opening a page: page_ops.cpp ----
    void Command1_Click();  // "Speichern"
    void List1_Click();
    // "ersetzen!" and Ctrl+Shift+S: the page on screen, stamped as a save stamps it, takes
    // the place of the page of the line opened last; the other pages keep theirs.
    void ReplacePage();

    // ---- Deleting, moving and mending lines: delete_move.cpp ----
    void Command2_Click();   // "markierte Zeile löschen"
    void Command3_Click();   // "alle löschen"
    void Command19_Click();  // "Zeile ins Archiv"
    void Command21_Click();  // "Zeile in Aktuell"
    void Command22_Click();  // "Zeile in Allgemein"
    // "reparatur!": a list whose file ends inside an unfinished record keeps its whole
    // records; the rest goes into a file of its own.
    void RepairList();

    // ---- Taking changes back and redoing them: history_steps.cpp ----
    void TakeBackChange();  // zurück! and Ctrl+Z
    void RedoChange();      // wieder!, Ctrl+Y and Ctrl+Shift+Z
    // zusammenführen!: the pages of the selected list's conflict copies taken in, in one
    // change that zurück! takes back; the page on screen stays as it was.
    void MergeSecondVersions();

    // ---- The page as text file, duplicate marking: text_output.cpp ----
    // Both write z1.txt.
    void Command7_Click();   // "Info alsTextdatei speichern"
    void Command23_Click();  // "Duplikate löschen"
    // The folder of the program itself, where the sibling program is looked for, and then
    // in ../libexec/holmtex/ beside it; never in the working folder. None until set.
    void setProgramDir(std::filesystem::path dir) { programDir_ = std::move(dir); }
    // The sibling program, or an empty path when there is none.
    std::filesystem::path siblingProgram() const;

    // ---- Search: search.cpp ----
    void Command8_Click();  // "Suchen"
    // F3 and Shift+F3: the next hit line below the selected one, or above it, is selected
    // and so opened.
    void NextHit();
    void PreviousHit();

    // ---- The command box and its words: command_words.cpp ----
    void Text1_Change();     // keeps PageText; the word "datacheck"
    void Combo1_Change();    // the command words
    void ShowHelpText();     // "hilfe"
    void ShowCommandList();  // "befehl!"
    // One of the words Combo1_Change runs by itself.
    static bool isCommandWord(std::string_view text);
    // What assistive technology says of the command box: every word it takes.
    static std::string commandBoxDescription();

    // ---- The transfer file: transfer.cpp ----
    void ImportTransfer();
    void ExportTransfer();
    void CopyTransfer();

    // ---- The data check: data_check.cpp ----
    void CheckData();

    // ---- The family sheet and the genealogy file: family_export.cpp ----
    void WriteFamilySheetPdf();  // command word "pdf!"
    void PrintFamilySheet();     // command word "drucken!" and Ctrl+P
    void ExportGedcom();         // command word "gedcom!"
    // Command word "gedcom-import!": a genealogy file the user chooses into the selected
    // list, all its pages or none (genealogy_import.cpp).
    void ImportGedcom();
    // The page as the window shows it, typed but unsaved texts included.
    PageContent pageOnScreen();

    // ---- Program exit: exit.cpp ----
    void Command5_Click();  // " Programm schließen, letztes Fenster speichern"
    void Command9_Click();  // "Schließen, ohne Speichern"
    // The window is being closed through the window system.
    void WindowClosing();

    // ---- Helpers for the operations: window/holmtex.cpp ----
    // The list of the first option button that is on, tested in the order 1, 2, 3.
    std::optional<ListKind> selectedList() const;
    std::filesystem::path filePath(std::string_view bareName) const;
    const std::filesystem::path& workDir() const { return workDir_; }
    Platform& platform() { return platform_; }
    // The door to the list files: every read and change of a list goes through it.
    ListFiles& lists() { return lists_; }

    // ---- The message line: message_line.cpp ----
    // Shows what an operation did in Text5, in the words of the message catalogue; an
    // outcome that has nothing to add leaves Text5 as it is. Every operation that touches a
    // file ends with it, once.
    void say(const Outcome& outcome);
    // What the operation that ran last did.
    const Outcome& outcome() const { return outcome_; }
    // What a change of a list did, after the list was shown anew: DoneBut ListCut when the
    // list could not be read whole then.
    Outcome afterShown(Outcome outcome) const;
    // All controls in the order of the design table, and one by its qualified name
    // ("Text32(1)").
    const std::vector<Control*>& controls() const { return controls_; }
    Control* findControl(std::string_view qualifiedName) const;

    // ---- The design table: window/holmtex_design.cpp ----
    // The field that shows page item n (10 to 49).
    TextBox& fieldForItem(int n);

private:
    // Command1_Click; false when the page could not be written (page_ops.cpp).
    bool savePage();
    void showList(bool openLast);  // page_list.cpp
    // The page on screen into CurrentRecord, as a save stores it (page_ops.cpp).
    void stampPage();
    // The page in CurrentRecord into the fields and the view it was saved in (page_ops.cpp).
    void showPage();
    // RefreshList when start-up asks for a long list, or the list is being read: shows it
    // while it is read, its last page open; false when it is read at once (list_aside.cpp).
    bool showListReadAside(ListKind list);
    void linesRead(const ListFiles::Piece& piece);
    void rescueAndEnd();      // exit.cpp
    void applyDesignTable();  // holmtex_design.cpp
    void bindEvents();        // holmtex.cpp

    Platform& platform_;
    std::filesystem::path workDir_;
    std::filesystem::path programDir_;
    bool ending_ = false;             // the program is ending: no further closing steps
    std::vector<Control*> controls_;  // in the order of the design table
    int windowWidth_ = 0, windowHeight_ = 0;
    std::vector<std::function<void()>> windowObservers_;
    ListFiles lists_;
    Outcome listShown_{Operation::List};
    bool startingUp_ = false;  // Form_Load runs
    // The list being read aside, and the lines that come.
    struct Aside {
        ListKind list;
        std::shared_ptr<const LineList> lines;
    };
    std::optional<Aside> aside_;
    Outcome outcome_;
};

}  // namespace holmtex
