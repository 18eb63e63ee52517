#pragma once
// The one window of the program: every control at its design values, the window's
// members, and its operations. The operations are defined in src/operations/, one file
// per subsystem.

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/page_content.h"
#include "operations/page_index.h"
#include "record/data_files.h"
#include "record/list_append.h"
#include "record/page_record.h"
#include "window/controls.h"
#include "window/platform.h"

namespace holmtex {

class Holmtex {
public:
    // workDir is the folder all files of the program live in.
    Holmtex(Platform& platform, std::filesystem::path workDir);
    Holmtex(const Holmtex&) = delete;
    Holmtex& operator=(const Holmtex&) = delete;

    // ---- The window itself ----
    const std::string Caption = "Holmtex Notiz Version  2.45";
    const Rgb BackColor = colors::LightYellow;
    static constexpr int kClientWidth = 13875;  // twips, at design time
    static constexpr int kClientHeight = 8970;
    int windowWidth() const { return windowWidth_; }    // outer size in twips; 0 until set
    int windowHeight() const { return windowHeight_; }
    void setWindowSize(int width, int height);
    void observeWindowSize(std::function<void()> observer);

    // ---- Controls ----
    TextBox Text1{"Text1", 120, 7080, 7695, 1695};
    TextBox Text2{"Text2", 7920, 7800, 2295, 375};
    TextBox Text10{"Text10", 8040, 7600, 1000, 300};
    TextBox Text5{"Text5", 10320, 5800, 3375, 645};
    TextBox Text31{"Text31", 10320, 240, 3375, 375};
    ListBox List1{"List1", 10320, 480, 3375, 3630};
    OptionButton Option1{"Option1", "aktuell", 10440, 4160, 855, 255};
    OptionButton Option2{"Option2", "Archiv", 11640, 4160, 855, 255};
    OptionButton Option3{"Option3", "Allgemein", 12720, 4160, 975, 255};
    CommandButton Command2{"Command2", "markierte Zeile löschen", 10320, 4440, 2295, 255};
    CommandButton Command3{"Command3", "alle löschen", 12720, 4440, 975, 255};
    Frame Suche{"Suche", 10320, 4680, 3375, 1080};
    TextBox Text4{"Text4", 240, 120, 2655, 285};
    ComboBox Combo1{"Combo1", 120, 360, 3135, 315};
    CommandButton Command8{"Command8", "Suchen", 120, 720, 3135, 255};
    CommandButton Command7{"Command7", "Info alsTextdatei speichern", 10320, 6480, 2415, 375};
    CommandButton Command23{"Command23", "Duplikate löschen", 12840, 6480, 855, 375};
    CommandButton Command6{"Command6", "Felder löschen", 7920, 7080, 2295, 495};
    CommandButton Command1{"Command1", "Speichern", 10320, 7080, 2415, 1095};
    CommandButton Command19{"Command19", "Zeile ins Archiv", 12840, 7080, 855, 500};
    CommandButton Command21{"Command21", "Zeile in Aktuell", 12840, 7080, 855, 495};
    CommandButton Command22{"Command22", "Zeile in Allgemein", 12840, 7680, 855, 500};
    CommandButton Command9{"Command9", "Schließen, ohne Speichern", 7920, 8280, 2295, 495};
    CommandButton Command5{"Command5", " Programm schließen, letztes Fenster speichern", 10320,
                           8280, 2415, 495};
    CommandButton Command17{"Command17", "2 Familien", 12840, 8280, 855, 495};
    CommandButton Command18{"Command18", "4 Familien", 12840, 8280, 855, 495};
    CommandButton Command24{"Command24", "+", 4920, 50, 375, 300};
    CommandButton Command25{"Command25", "-", 4920, 50, 375, 360};
    Line Line1{"Line1", 4920, 720, 5280, 720};
    Line Line2{"Line2", 4920, 1440, 5280, 4200};

    // Family block headings and captions.
    TextBox fam1{"fam1", 1920, 120, 1215, 285};
    TextBox fam2{"fam2", 7320, 120, 1095, 285};
    TextBox fam3{"fam3", 2040, 3600, 1215, 285};
    TextBox fam4{"fam4", 7320, 3600, 1215, 285};
    std::array<TextBox, 4> Text32{TextBox{"Text32", 240, 240, 615, 285},
                                  TextBox{"Text32", 240, 3720, 615, 285},
                                  TextBox{"Text32", 5400, 240, 615, 285},
                                  TextBox{"Text32", 5400, 3720, 735, 285}};
    TextBox eltern1{"eltern1", 4320, 240, 495, 285};
    TextBox eltern2{"eltern2", 9480, 240, 495, 285};
    TextBox eltern3{"eltern3", 4320, 3720, 495, 285};
    TextBox eltern4{"eltern4", 9600, 3720, 495, 285};
    // "L" buttons: children (4, 11, 13, 15) and parents (10, 12, 14, 16) of families 1 to 4.
    CommandButton Command4{"Command4", "L", 960, 240, 495, 195};
    CommandButton Command10{"Command10", "L", 3480, 240, 495, 195};
    CommandButton Command11{"Command11", "L", 6240, 240, 495, 195};
    CommandButton Command12{"Command12", "L", 8760, 240, 495, 195};
    CommandButton Command13{"Command13", "L", 960, 3720, 495, 195};
    CommandButton Command14{"Command14", "L", 3480, 3720, 495, 195};
    CommandButton Command15{"Command15", "L", 6360, 3720, 495, 195};
    CommandButton Command16{"Command16", "L", 8760, 3720, 495, 195};

    // The forty family fields.
    TextBox k11t{"k11t", 120, 480, 2415, 495};
    TextBox k21t{"k21t", 120, 960, 2415, 495};
    TextBox k31t{"k31t", 120, 1440, 2415, 495};
    TextBox k41t{"k41t", 120, 1920, 2415, 495};
    TextBox k51t{"k51t", 120, 2400, 2415, 495};
    TextBox k61t{"k61t", 120, 2880, 2415, 495};
    TextBox k12t{"k12t", 5280, 480, 2535, 495};
    TextBox k22t{"k22t", 5280, 960, 2535, 495};
    TextBox k32t{"k32t", 5280, 1440, 2535, 495};
    TextBox k42t{"k42t", 5280, 1920, 2535, 495};
    TextBox k52t{"k52t", 5280, 2400, 2535, 495};
    TextBox k62t{"k62t", 5280, 2880, 2535, 495};
    TextBox k13t{"k13t", 120, 3960, 2415, 495};
    TextBox k23t{"k23t", 120, 4440, 2415, 495};
    TextBox k33t{"k33t", 120, 4920, 2415, 495};
    TextBox k43t{"k43t", 120, 5400, 2415, 495};
    TextBox k53t{"k53t", 120, 5880, 2415, 495};
    TextBox k63t{"k63t", 120, 6360, 2415, 495};
    TextBox k14t{"k14t", 5280, 3960, 2535, 495};
    TextBox k24t{"k24t", 5280, 4440, 2535, 495};
    TextBox k34t{"k34t", 5280, 4920, 2535, 495};
    TextBox k44t{"k44t", 5280, 5400, 2535, 495};
    TextBox k54t{"k54t", 5280, 5880, 2535, 495};
    TextBox k64t{"k64t", 5280, 6360, 2535, 495};
    TextBox v1t{"v1t", 2640, 480, 2295, 495};
    TextBox dat1t{"dat1t", 2640, 960, 2055, 285};
    TextBox m1t{"m1t", 2640, 1200, 2295, 495};
    TextBox bem1t{"bem1t", 2640, 1800, 2295, 1575};
    TextBox v2t{"v2t", 7920, 480, 2295, 495};
    TextBox dat2t{"dat2t", 7920, 960, 2055, 285};
    TextBox m2t{"m2t", 7920, 1200, 2295, 495};
    TextBox bem2t{"bem2t", 7920, 1800, 2295, 1575};
    TextBox v3t{"v3t", 2640, 3960, 2295, 495};
    TextBox dat3t{"dat3t", 2640, 4440, 2055, 285};
    TextBox m3t{"m3t", 2640, 4680, 2295, 495};
    TextBox bem3t{"bem3t", 2640, 5280, 2295, 1575};
    TextBox v4t{"v4t", 7920, 3960, 2295, 495};
    TextBox dat4t{"dat4t", 7920, 4440, 2055, 285};
    TextBox m4t{"m4t", 7920, 4680, 2295, 495};
    TextBox bem4t{"bem4t", 7920, 5280, 2295, 1575};

    // ---- Members of the window ----
    PageRecord CurrentRecord;
    int MarkedLine = 0;
    std::array<std::string, 20> PanelBackup;  // panel 2 then panel 4, between "+" and "-"
    // For tests only: every list file is read from its start, as if nothing were known
    // about it from an earlier read.
    bool alwaysReadFromStart = false;

    // ---- Operations: start-up, clearing, views ----
    void Form_Load();
    void Command6_Click();   // "Felder löschen"
    void Command4_Click();   // "L" buttons: children / parents of families 1 to 4
    void Command10_Click();
    void Command11_Click(int Index);
    void Command12_Click();
    void Command13_Click();
    void Command14_Click();
    void Command15_Click();
    void Command16_Click();
    void Command17_Click();  // "2 Familien"
    void Command18_Click();  // "4 Familien"
    void Command24_Click(int Index);  // "+"
    void Command25_Click();           // "-"

    // ---- Operations: page operations ----
    void Command1_Click();   // "Speichern"
    void Command2_Click();   // "markierte Zeile löschen"
    void Command3_Click();   // "alle löschen"
    void Command19_Click();  // "Zeile ins Archiv"
    void Command21_Click();  // "Zeile in Aktuell"
    void Command22_Click();  // "Zeile in Allgemein"
    void Command23_Click();  // "Duplikate löschen"

    // ---- Operations: text output and program exit ----
    void Command7_Click();  // "Info alsTextdatei speichern"
    void Command5_Click();  // " Programm schließen, letztes Fenster speichern"
    void Command9_Click();  // "Schließen, ohne Speichern"
    // The window is being closed through the window system.
    void WindowClosing();

    // ---- Operations: search and commands ----
    void Command8_Click();  // "Suchen"
    void ImportTransfer();
    void ExportTransfer();
    void CopyTransfer();
    void CheckData();
    // "reparatur!": a list whose file ends inside an unfinished record keeps its whole
    // records; the rest goes into a file of its own.
    void RepairList();

    // ---- Operations: the page as a family sheet, the list as a genealogy file ----
    void WriteFamilySheetPdf();  // command word "pdf!"
    void PrintFamilySheet();     // command word "drucken!" and Ctrl+P
    void ExportGedcom();         // command word "gedcom!"

    // ---- Operations: page list and list choice ----
    void RefreshList();
    // Reads the list's file, so that the next RefreshList of that list finds its lines
    // ready when the file is still the same. Touches nothing but what is known about the
    // list files, so it may run on another thread while the window is being built, before
    // any operation runs.
    void readListAhead(ListKind list) noexcept;
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void List1_Click();

    // ---- Change operations of the text boxes ----
    void Text1_Change();
    void Text2_Change();
    void Combo1_Change();
    // One of the words Combo1_Change runs by itself.
    static bool isCommandWord(std::string_view text);

    // ---- Helpers for the operations ----
    // The list of the first option button that is on, tested in the order 1, 2, 3.
    std::optional<ListKind> selectedList() const;
    std::filesystem::path filePath(std::string_view bareName) const;
    const std::filesystem::path& workDir() const { return workDir_; }
    // The folder of the program itself, where the sibling program is looked for, and then
    // in ../libexec/holmtex/ beside it; never in the working folder. None until set.
    void setProgramDir(std::filesystem::path dir) { programDir_ = std::move(dir); }
    // The sibling program, or an empty path when there is none.
    std::filesystem::path siblingProgram() const;
    Platform& platform() { return platform_; }

    // The page as the window shows it, typed but unsaved texts included.
    PageContent pageOnScreen();

    // The field that shows page item n (10 to 49).
    TextBox& fieldForItem(int n);
    // All controls in declaration order, and one by its qualified name ("Text32(1)").
    const std::vector<Control*>& controls() const { return controls_; }
    Control* findControl(std::string_view qualifiedName) const;

    // Why the last RefreshList could not read the whole list file ("Ein-/Ausgabefehler
    // (holmtex-aktuell.dat)."), or "" when it could; and its errno, or 0.
    const std::string& listReadProblem() const { return listReadProblem_; }
    int listReadError() const { return listReadError_; }
    // Appends records to the list's file, all or nothing, and tells the page index what
    // the append did.
    AppendResult appendToList(ListKind list, std::string_view bytes);
    // The list's file was just written anew without its record `removed`, the others now
    // at `places` (see PageIndex::rewritten); `before` is its identity when it was read.
    void listRewritten(ListKind list, const std::optional<FileIdentity>& before,
                       std::size_t removed, std::vector<PageIndex::Extent> places, bool cleanEnd);

private:
    bool savePage();  // Command1_Click; false when the page could not be written
    void rescueAndEnd();
    void setDesignValues();
    void bindEvents();

    Platform& platform_;
    std::filesystem::path workDir_;
    std::filesystem::path programDir_;
    bool ending_ = false;  // the program is ending: no further closing steps
    std::vector<Control*> controls_;
    std::array<TextBox*, 40> familyFields_{};
    int windowWidth_ = 0, windowHeight_ = 0;
    std::vector<std::function<void()>> windowObservers_;
    PageIndex pageIndex_;
    std::string listReadProblem_;
    int listReadError_ = 0;
};

}  // namespace holmtex
