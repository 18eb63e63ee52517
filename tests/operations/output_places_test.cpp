// What stands at the name of a file the program reads or writes in its working folder when
// that is not a plain file: a link to a file elsewhere or to a device, a named pipe, a
// folder. Nothing is read from it, nothing is written through it, and nothing waits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "support/form_test.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using namespace test;
namespace fs = std::filesystem;

enum class Kind { LinkElsewhere, LinkToDevice, Pipe, Folder };
const char* const kKindNames[] = {"a link elsewhere", "a link to a device", "a named pipe",
                                  "a folder"};

void plant(const fs::path& at, Kind kind, const fs::path& elsewhere) {
    if (kind == Kind::LinkElsewhere) fs::create_symlink(elsewhere, at);
    if (kind == Kind::LinkToDevice) fs::create_symlink("/dev/null", at);
    if (kind == Kind::Pipe) {
        ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0);
    }
    if (kind == Kind::Folder) fs::create_directory(at);
}

class OutputPlaces : public FormTest {
protected:
    void word(const char* text) {
        form.Combo1.setText("");
        form.Combo1.setText(text);
    }
};

TEST_F(OutputPlaces, AnOutputIsAPlainFileOfTheFolderOrIsRefused) {
    TempDir other;
    const fs::path elsewhere = other / "fremd.txt";
    writeFile(dir / "holmtex-aktuell.dat", namedPages("S", 3));
    writeFile(dir / "holmtex-archiv.dat", namedPages("A", 2) + "\"->2\",\"06.12");
    form.setProgramDir(HOLMTEX_SIBLING_DIR);
    platform.fakeProgram = [](const fs::path& folder) { writeFile(folder / "z1.txt", "Text"); };
    form.Form_Load();
    const struct {
        std::string file;
        std::function<void()> run;
        bool replaces;  // false: an output that never takes a name that is in use
    } outputs[] = {
        {"holmtex-trans.txt", [&] { word("export!"); }, true},
        {"holmtex-aktuell.ged", [&] { word("gedcom!"); }, true},
        {"Familienblatt_S2_2612061403.pdf", [&] { word("pdf!"); }, false},
        {"check.dat", [&] { word("datacheck!"); }, true},
        {"z1.txt", [&] { form.Command23_Click(); }, true},
        {"zzz.txt", [&] { form.Command7_Click(); }, true},
        {"Text_S2_2612061403.txt", [&] { form.Command7_Click(); }, false},
        {"holmtex-letzter Eintrag.txt", [&] { form.Command9_Click(); }, true},
        {"holmtex-archiv-rest-2612061403.txt",
         [&] {
             form.Option2.setValue(true);
             word("reparatur!");
             form.Option1.setValue(true);
         },
         false},
    };
    for (const auto& output : outputs) {
        for (Kind kind : {Kind::LinkElsewhere, Kind::LinkToDevice, Kind::Pipe, Kind::Folder}) {
            SCOPED_TRACE(output.file + " as " + kKindNames[static_cast<int>(kind)]);
            const fs::path at = dir / output.file;
            writeFile(elsewhere, "fremd");
            plant(at, kind, elsewhere);
            form.Text5.setText("");
            output.run();
            EXPECT_EQ(readFile(elsewhere), "fremd");
            // A pipe or folder stays; a link goes, or stays when the output takes no used name.
            const fs::file_type wanted = kind == Kind::Pipe     ? fs::file_type::fifo
                                         : kind == Kind::Folder ? fs::file_type::directory
                                         : output.replaces      ? fs::file_type::regular
                                                                : fs::file_type::symlink;
            EXPECT_EQ(fs::symlink_status(at).type(), wanted);
            const std::string said =
                form.Text5.text() + (platform.shown.empty() ? "" : platform.shown.back().text);
            const bool named =
                said.find("der Name gehört keiner gewöhnlichen Datei") != std::string::npos;
            EXPECT_TRUE(named || kind != Kind::Pipe || !output.replaces) << said;
            platform.shown.clear();
            fs::remove_all(at);
        }
    }
}

// A list that is no plain file lists as a list it could not read, takes no page, and is
// checked as unreadable, without a wait and without a byte read from it.
TEST_F(OutputPlaces, AListThatIsNoPlainFileIsNotRead) {
    const fs::path list = dir / "holmtex-aktuell.dat";
    const struct {
        std::function<void()> make;
        std::string why;
    } cases[] = {
        {[&] { ASSERT_EQ(::mkfifo(list.c_str(), 0644), 0); },
         "der Name gehört keiner gewöhnlichen Datei"},
        {[&] { fs::create_symlink("/dev/zero", list); },
         "der Name gehört keiner gewöhnlichen Datei"},
        {[&] { fs::create_directory(list); }, "der Name gehört einem Ordner"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        c.make();
        const fs::file_type before = fs::symlink_status(list).type();
        form.Form_Load();
        const std::string reason = c.why + " (holmtex-aktuell.dat).";
        EXPECT_EQ(form.Text5.text(), "Die Liste wurde nicht ganz gelesen: " + reason);
        form.Text2.setText("neu");
        form.Command1_Click();
        EXPECT_EQ(form.Text5.text(), "Die Seite wurde nicht gespeichert: " + reason);
        word("datacheck!");
        EXPECT_EQ(form.Text5.text(), "Prüfung nicht beendet, Lesefehler: " + reason);
        EXPECT_EQ(fs::symlink_status(list).type(), before);
        fs::remove_all(list);
    }
}

}  // namespace
}  // namespace holmtex
