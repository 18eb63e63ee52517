// holmtex --pdf, --gedcom and --zusammenfuehren, run as the real program without a display, and a
// real genealogy program reading the file back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "record/folder_lock.h"
#include "record/record_io.h"
#include "support/pages.h"
#include "support/test_support.h"

namespace holmtex {
namespace {

using test::makePage;
using test::readFile;
using test::runCommand;
using test::toolInstalled;
using test::writeFile;

struct ProgramRun {
    int status = -1;
    std::string output;  // stdout and stderr
};

class ExportCommands : public testing::Test {
protected:
    ProgramRun holmtex(const std::string& arguments) {
        ProgramRun run;
        run.output = runCommand("cd '" + dir.path().string() +
                                    "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                    HOLMTEX_PROGRAM + "' " + arguments + " 2>&1",
                                &run.status);
        return run;
    }
    void list(const char* file, const std::vector<PageRecord>& pages,
              const std::string& tail = "") {
        writeFile(dir / file, test::bytesOf(pages) + tail);
    }
    bool exists(const char* name) const { return std::filesystem::exists(dir / name); }

    test::TempDir dir;
};

const std::string kDamagedTail = "\"->2\",\"06.12.2026\",\"14:09";
#define kMore "Mehr dazu: holmtex --help\n"

TEST_F(ExportCommands, PdfOfOneLineNeedsNoDisplay) {
    list("holmtex-archiv.dat",
         {makePage("1", 0, {{fatherItem(1), "Otto Kahl"}}),
          makePage("2", 1, {{fatherItem(1), "Emil Kahl"}, {PageText, "Grüße"}})});
    const ProgramRun run = holmtex("--pdf archiv 1 blatt.pdf");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "Familienblatt als >blatt.pdf< gespeichert.\n");
    ASSERT_EQ(readFile(dir / "blatt.pdf").rfind("%PDF-", 0), 0u);
    if (!toolInstalled("pdftotext"))
        GTEST_SKIP() << "pdftotext (poppler-utils) fehlt: Inhalt nicht geprüft";
    const std::string text =
        runCommand("pdftotext -enc UTF-8 '" + (dir / "blatt.pdf").string() + "' -");
    for (const char* expected : {"Familienblatt", "Vorgang Nr. 2", "Liste ARCHIV, Zeile 1",
                                 "Emil Kahl", "Grüße", "Seite 1 von 1"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

TEST_F(ExportCommands, FailuresEndWithAStatusAndAGermanMessage) {
    list("holmtex-aktuell.dat", {makePage("1", 0), makePage("2", 1)}, kDamagedTail);
    const struct {
        const char* arguments;
        int status;
        const char* message;
        const char* written;  // the file left, or nullptr for none
    } cases[] = {
        {"--pdf aktuell 5 a.pdf", 1,
         "holmtex: Die Liste AKTUELL ist ab Zeile 2 beschädigt; Zeile 5 ist nicht ganz, nichts "
         "geschrieben.\n",
         nullptr},
        {"--pdf aktuell 1 b.pdf", 1,
         "holmtex: Die Liste AKTUELL ist ab Zeile 2 beschädigt; Zeile 1 ist ganz und steht in "
         ">b.pdf<.\n",
         "b.pdf"},
        {"--pdf archiv 0 c.pdf", 1,
         "holmtex: Die Datei >holmtex-archiv.dat< fehlt, nichts geschrieben.\n", nullptr},
        {"--gedcom aktuell d.ged", 1,
         "holmtex: 2 Seiten als >d.ged< exportiert; danach ist die Liste AKTUELL beschädigt.\n",
         "d.ged"},
        {"--gedcom allgemein e.ged", 1,
         "holmtex: Die Datei >holmtex-grund.dat< fehlt, nichts geschrieben.\n", nullptr},
        // Wrong arguments point to the help, as every mistake on the command line does.
        {"--pdf aktuell", 2,
         "holmtex: Aufruf: holmtex --pdf LISTE ZEILE AUSGABE.pdf (LISTE: aktuell, archiv oder "
         "allgemein; ZEILE ab 0)\n" kMore,
         nullptr},
        {"--pdf liste 0 f.pdf", 2,
         "holmtex: Unbekannte Liste >liste<: erlaubt sind aktuell, archiv und allgemein.\n" kMore,
         nullptr},
        {"--pdf aktuell x1 g.pdf", 2,
         "holmtex: Zeile muss eine Zahl ab 0 sein, nicht >x1<.\n" kMore, nullptr},
        {"--pdf aktuell -1 g.pdf", 2,
         "holmtex: Zeile muss eine Zahl ab 0 sein, nicht >-1<.\n" kMore, nullptr},
        {"--pdf aktuell 99999999999 h.pdf", 2,
         "holmtex: Zeile muss eine Zahl ab 0 sein, nicht >99999999999<.\n" kMore, nullptr},
        {"--gedcom aktuell", 2,
         "holmtex: Aufruf: holmtex --gedcom LISTE AUSGABE.ged (LISTE: aktuell, archiv oder "
         "allgemein)\n" kMore,
         nullptr},
        {"--version extra", 2,
         "holmtex: Nach --version folgt nichts mehr, auch nicht \u201eextra\u201c.\n" kMore,
         nullptr},
        // Without a display the window cannot open; the advice names the installed program.
        {"", 2,
         "holmtex: Holmtex Notiz braucht eine grafische Oberfläche, es ist aber keine da "
         "(DISPLAY ist nicht gesetzt); ohne Bildschirm so starten: xvfb-run -a holmtex\n",
         nullptr},
    };
    for (const auto& c : cases) {
        const ProgramRun run = holmtex(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_EQ(run.output, c.message) << c.arguments;
        if (c.written) {
            EXPECT_TRUE(exists(c.written)) << c.arguments;
        }
    }
    for (const char* name : {"a.pdf", "c.pdf", "e.ged", "f.pdf", "g.pdf", "h.pdf"})
        EXPECT_FALSE(exists(name)) << name;
}

TEST_F(ExportCommands, PdfOfAMissingLine) {
    list("holmtex-aktuell.dat", {makePage("1", 0)});
    const ProgramRun run = holmtex("--pdf AKTUELL 1 a.pdf");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "holmtex: Die Liste AKTUELL hat keine Zeile 1 (sie hat 1 Seiten), nichts "
              "geschrieben.\n");
    EXPECT_FALSE(exists("a.pdf"));
}

// The lists are read only while they stand still: not while a window has the folder, and
// not while a list has an append a crash cut short, which only a window finishes.
TEST_F(ExportCommands, ReadsNoListThatAWindowMayChangeOrMustFinish) {
    list("holmtex-aktuell.dat", {makePage("1", 0)});
    const std::string busy =
        "holmtex: Ein Holmtex-Fenster hat den Ordner geöffnet; dort gibt es pdf! und gedcom!, "
        "oder erst das Fenster schließen.\n";
    {
        const FolderLock window = FolderLock::take(dir.path());
        for (const char* arguments : {"--pdf aktuell 0 a.pdf", "--gedcom aktuell a.ged"}) {
            const ProgramRun run = holmtex(arguments);
            EXPECT_EQ(run.status, 1) << arguments;
            EXPECT_EQ(run.output, busy) << arguments;
        }
    }
    writeFile(dir / "holmtex-archiv.dat.anhang", "eine Verschiebung nach ARCHIV");
    const ProgramRun run = holmtex("--gedcom aktuell a.ged");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "holmtex: In >holmtex-archiv.dat< ist ein Speichern nicht zu Ende gekommen; erst "
              "das Fenster öffnen, es holt das nach. Nichts geschrieben.\n");
    EXPECT_FALSE(exists("a.pdf"));
    EXPECT_FALSE(exists("a.ged"));
    EXPECT_EQ(readFile(dir / "holmtex-archiv.dat.anhang"), "eine Verschiebung nach ARCHIV");
    std::filesystem::remove(dir / "holmtex-archiv.dat.anhang");
    EXPECT_EQ(holmtex("--gedcom aktuell a.ged").status, 0);
}

// No output takes the place of a file the program keeps, by whatever name.
TEST_F(ExportCommands, OutputNeverTakesThePlaceOfAFileTheProgramKeeps) {
    list("holmtex-aktuell.dat", {makePage("1", 0, {{fatherItem(1), "Otto"}})});
    list("holmtex-archiv.dat", {makePage("2", 0)});
    for (const char* kept : {"holmtex-aktuell.bak", "holmtex-trans.txt", "holmtex.lock"})
        writeFile(dir / kept, kept);
    std::filesystem::create_directory(dir / "holmtex-verlauf");
    std::filesystem::create_symlink("holmtex-aktuell.bak", dir / "verweis.ged");
    const std::string back = "../" + dir.path().filename().string() + "/";
    const auto files = [&] {
        std::map<std::string, std::string> all;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path()))
            all[e.path().string()] = e.is_directory() ? "(Ordner)" : readFile(e.path());
        return all;
    };
    const auto before = files();
    for (const std::string& arguments : std::vector<std::string>{
             "--gedcom aktuell holmtex-aktuell.dat", "--gedcom aktuell ./holmtex-archiv.dat",
             "--pdf aktuell 0 holmtex-archiv.dat", "--gedcom aktuell holmtex-trans.txt",
             "--pdf aktuell 0 " + back + "holmtex-aktuell.bak", "--gedcom aktuell verweis.ged",
             "--gedcom aktuell holmtex.lock", "--gedcom aktuell holmtex-grund.dat.anhang",
             "--gedcom aktuell holmtex-verlauf/liste.ged", "--gedcom aktuell holmtex-verlauf"}) {
        const ProgramRun run = holmtex(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_NE(run.output.find("Die Ausgabe darf keine "), std::string::npos) << run.output;
    }
    EXPECT_EQ(files(), before);
}

// A device or pipe the user names takes the file as a stream; a link is followed; a folder
// is refused. None becomes a plain file.
TEST_F(ExportCommands, AStreamOrALinkTheUserNamesIsWrittenAsItIs) {
    list("holmtex-aktuell.dat", {makePage("1", 0, {{fatherItem(1), "Otto"}})});
    ASSERT_EQ(::mkfifo((dir / "rohr").c_str(), 0644), 0);
    std::filesystem::create_directory(dir / "ordner");
    test::TempDir other;
    writeFile(other / "fremd.ged", "alt");
    std::filesystem::create_symlink(other / "fremd.ged", dir / "verweis.ged");
    ProgramRun run = holmtex("--gedcom aktuell /dev/stdout");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.rfind("0 HEAD", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("0 TRLR\n1 Seite als >stdout< exportiert."), std::string::npos);
    EXPECT_EQ(holmtex("--gedcom aktuell /dev/null").status, 0);
    EXPECT_EQ(holmtex("--pdf aktuell 0 /dev/null").status, 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    // The reader of the pipe ends when the program closes it.
    run = holmtex("--gedcom aktuell rohr & cat '" + (dir / "rohr").string() + "' > '" +
                  (dir / "gelesen").string() + "'; wait $!");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(readFile(dir / "gelesen").find("0 TRLR"), std::string::npos) << run.output;
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "rohr"));
    EXPECT_EQ(holmtex("--gedcom aktuell verweis.ged").status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "verweis.ged"));
    EXPECT_EQ(readFile(other / "fremd.ged").rfind("0 HEAD", 0), 0u);
    run = holmtex("--gedcom aktuell ordner");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "holmtex: Die Datei >ordner< kann nicht geschrieben werden: der Name gehört einem "
              "Ordner.\n");
}

// --gedcom-import: every page of the file or none; 1 whenever not all of the file came in.
TEST_F(ExportCommands, GedcomImportAppendsTheWholeFamiliesAndSaysWhatItRead) {
    const std::string couple =
        "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Otto /Kahl/\n0 @I2@ INDI\n"
        "1 NAME Emma /Rau/\n0 @I3@ INDI\n1 NAME Łukasz /Allein/\n"
        "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 CHIL @I3@\n";
    writeFile(dir / "ganz.ged", couple + "0 TRLR\n");
    writeFile(dir / "halb.ged", couple + "0 @F2@ FAM\n1 HUSB @I");
    writeFile(dir / "brief.txt", "Liebe Grüße\n");
    list("holmtex-archiv.dat", {makePage("1", 0)}, kDamagedTail);
    const struct {
        const char* arguments;
        int status;
        const char* message;
        std::size_t pages;  // in AKTUELL afterwards
    } cases[] = {
        {"--gedcom-import ganz.ged aktuell", 0,
         "holmtex: 1 Seite importiert.\nholmtex: Als ? gespeichert: Ł\n", 1},
        {"--gedcom-import halb.ged AKTUELL .", 1,
         "holmtex: 1 Seite importiert; Datei abgeschnitten: nur ganze Familien.\n"
         "holmtex: Als ? gespeichert: Ł\n",
         2},
        {"--gedcom-import brief.txt aktuell", 1,
         "holmtex: Die Datei >brief.txt< ist keine GEDCOM-Datei, nichts importiert.\n", 2},
        {"--gedcom-import fehlt.ged aktuell", 1,
         "holmtex: Die Datei >fehlt.ged< fehlt, nichts importiert.\n", 2},
        {"--gedcom-import ganz.ged archiv", 1,
         "holmtex: Die Seiten wurden nicht importiert: holmtex-archiv.dat ist am Ende beschädigt; "
         "reparatur! hilft.\n",
         2},
        {"--gedcom-import ganz.ged liste", 2,
         "holmtex: Unbekannte Liste >liste<: erlaubt sind aktuell, archiv und allgemein.\n" kMore,
         2},
        {"--gedcom-import ganz.ged", 2,
         "holmtex: Aufruf: holmtex --gedcom-import DATEI.ged LISTE [ORDNER] (LISTE: aktuell, "
         "archiv "
         "oder allgemein)\n" kMore,
         2},
    };
    for (const auto& c : cases) {
        const ProgramRun run = holmtex(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_EQ(run.output, c.message) << c.arguments;
        EXPECT_EQ(test::readRecords(dir / "holmtex-aktuell.dat").size(), c.pages) << c.arguments;
    }
    EXPECT_TRUE(readFile(dir / "holmtex-archiv.dat").ends_with(kDamagedTail));
}

// ---- A real genealogy program reads the file ----

struct GedcomRecord {
    std::string id, tag;
    std::vector<std::string> lines;
    std::vector<std::string> values(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& line : lines)
            if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
        return out;
    }
};

std::map<std::string, GedcomRecord> records(const std::string& file) {
    std::map<std::string, GedcomRecord> out;
    std::istringstream in(file);
    GedcomRecord* current = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("0 @", 0) == 0) {
            const std::size_t end = line.find("@ ", 3);
            GedcomRecord record{line.substr(2, end - 1), line.substr(end + 2), {}};
            current = &(out[record.id] = record);
        } else if (line.rfind("0 ", 0) == 0) {
            current = nullptr;
        } else if (current) {
            current->lines.push_back(line);
        }
    }
    return out;
}

int count(const std::map<std::string, GedcomRecord>& all, const std::string& tag) {
    int n = 0;
    for (const auto& [id, record] : all) n += record.tag == tag;
    return n;
}

// The person of that name: its child-of and spouse-in families, each as the family's
// husband, wife and children.
struct Links {
    int persons = 0;
    std::vector<std::string> childOf, spouseIn;
};

Links linksOf(const std::map<std::string, GedcomRecord>& all, const std::string& name) {
    Links links;
    for (const auto& [id, record] : all) {
        if (record.tag != "INDI" || record.values("1 NAME ").empty() ||
            record.values("1 NAME ").front() != name)
            continue;
        ++links.persons;
        auto describe = [&](const std::string& family) {
            const GedcomRecord& fam = all.at(family);
            // A name without surname may come back as "Jan //".
            auto nameOf = [&](const std::vector<std::string>& ids) {
                std::string out;
                for (const auto& p : ids) {
                    std::string name = all.at(p).values("1 NAME ").front();
                    if (name.ends_with(" //")) name.resize(name.size() - 3);
                    out += name + ";";
                }
                return out;
            };
            return "H:" + nameOf(fam.values("1 HUSB ")) + " W:" + nameOf(fam.values("1 WIFE ")) +
                   " C:" + nameOf(fam.values("1 CHIL "));
        };
        for (const auto& f : record.values("1 FAMC ")) links.childOf.push_back(describe(f));
        for (const auto& f : record.values("1 FAMS ")) links.spouseIn.push_back(describe(f));
    }
    // Programs may order a person's families their own way.
    std::sort(links.childOf.begin(), links.childOf.end());
    std::sort(links.spouseIn.begin(), links.spouseIn.end());
    return links;
}

TEST_F(ExportCommands, GrampsImportsTheExportWithoutErrorsAndKeepsTheLinks) {
    PageRecord add = makePage("A-1", 0,
                              {{fatherItem(1), "Hinrich Addmann"},
                               {motherItem(1), "Wiebke Addmann geb. Frerichs"},
                               {dateItem(1), "12.03.1890 in Leer"},
                               {childItem(1, 1), "Jan Addmann"},
                               {childItem(2, 1), "Tade Addmann"},
                               {remarkItem(1), "Mail an x@y.de\r\nzweite Zeile"},
                               {childItem(1, 2), "Hinrich Addmann"},
                               {fatherItem(2), "Ocke Addmann"},
                               {motherItem(2), "Trientje geb. Janssen"},
                               {dateItem(2), "um 1860"},
                               {childItem(2, 2), "Fokke Addmann"},
                               {fatherItem(3), "Harm Kloster"},
                               {childItem(1, 4), "Wiebke Addmann geb. Frerichs"},
                               {fatherItem(4), "Eilert Frerichs"},
                               {motherItem(4), "Gesche von Münchhausen"},
                               {dateItem(4), "irgendwann im Frühjahr nach dem großen Brand"},
                               {PageText, std::string(600, 'T') + "\r\nÄrger, Öl, Straße"}});
    add.set(AddMarker, "add");
    list("holmtex-aktuell.dat",
         {add, makePage("2", 1, {{fatherItem(1), "Hinrich Addmann"}, {childItem(1, 1), "Jan"}}),
          makePage("3", 2, {{PageText, "nur Text"}}), makePage("4", 3),
          makePage("5", 4, {{motherItem(3), ",,,"}, {childItem(1, 3), std::string(300, 'L')}})});
    const ProgramRun run = holmtex("--gedcom aktuell export.ged");
    ASSERT_EQ(run.status, 0) << run.output;
    const auto exported = records(readFile(dir / "export.ged"));
    const int persons = count(exported, "INDI"), families = count(exported, "FAM");
    EXPECT_EQ(persons, 14);
    EXPECT_EQ(families, 7);

    if (!toolInstalled("gramps"))
        GTEST_SKIP() << "gramps ist nicht installiert: Import nicht geprüft";
    const std::string home = (dir / "home").string();
    std::filesystem::create_directory(home);
    const std::string gramps =
        "cd '" + dir.path().string() + "' && HOME='" + home + "' LANG=C.UTF-8 gramps -y ";
    int status = 0;
    const std::string imported = runCommand(gramps + "-C holmtex -i export.ged 2>&1", &status);
    EXPECT_EQ(status, 0) << imported;
    EXPECT_NE(imported.find("No errors detected"), std::string::npos) << imported;
    const std::string exportedBack = runCommand(gramps + "-O holmtex -e back.ged 2>&1", &status);
    ASSERT_EQ(status, 0) << exportedBack;
    const auto back = records(readFile(dir / "back.ged"));
    EXPECT_EQ(count(back, "INDI"), persons);
    EXPECT_EQ(count(back, "FAM"), families);
    std::printf("gramps: %d persons, %d families exported; %d persons, %d families read back\n",
                persons, families, count(back, "INDI"), count(back, "FAM"));

    // Father 1 and mother 1 of the page in the add state are one person each, child of
    // family 2 / family 4 and spouse in family 1; page 2 has a person of the same name.
    for (const auto* all : {&exported, &back}) {
        const Links father = linksOf(*all, "Hinrich /Addmann/");
        EXPECT_EQ(father.persons, 2);
        EXPECT_EQ(
            father.childOf,
            (std::vector<std::string>{
                "H:Ocke /Addmann/; W:Trientje /Janssen/; C:Hinrich /Addmann/;Fokke /Addmann/;"}));
        EXPECT_EQ(
            father.spouseIn,
            (std::vector<std::string>{
                "H:Hinrich /Addmann/; W: C:Jan;",
                "H:Hinrich /Addmann/; W:Wiebke /Frerichs/; C:Jan /Addmann/;Tade /Addmann/;"}));
        const Links mother = linksOf(*all, "Wiebke /Frerichs/");
        EXPECT_EQ(mother.persons, 1);
        EXPECT_EQ(mother.childOf,
                  (std::vector<std::string>{
                      "H:Eilert /Frerichs/; W:Gesche /von Münchhausen/; C:Wiebke /Frerichs/;"}));
        EXPECT_EQ(mother.spouseIn.size(), 1u);
    }
}

// holmtex --zusammenfuehren: every list's conflict copies merged, and what was left told on
// standard error with the exit status 1; a mistake on the command line is 2.
TEST_F(ExportCommands, MergeTakesInTheSecondVersionsOfEveryListAndSaysWhatWasLeft) {
    const std::string one = recordBytes(makePage("1")), two = recordBytes(makePage("2", 1));
    const char* aktuellCopy = "holmtex-aktuell.sync-conflict-20261207-101010-ABCDEFG.dat";
    const char* grundCopy = "holmtex-grund (conflicted copy 2026-12-07 101010).dat";
    ProgramRun run = holmtex("--zusammenfuehren");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "Keine zweite Fassung einer Liste gefunden.\n");

    writeFile(dir / "holmtex-aktuell.dat", one);
    writeFile(dir / aktuellCopy, one + two);
    writeFile(dir / "holmtex-grund.dat", one + two);
    writeFile(dir / grundCopy, two);
    run = holmtex("--zusammenfuehren .");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
              "AKTUELL: 1 Seite übernommen.\n"
              "ALLGEMEIN: 0 Seiten übernommen; 1 Seite nur in der Liste: nicht gelöscht.\n");
    EXPECT_EQ(readFile(dir / "holmtex-aktuell.dat"), one + two);
    EXPECT_EQ(readFile(dir / "holmtex-grund.dat"), one + two);
    EXPECT_FALSE(exists(aktuellCopy));
    EXPECT_FALSE(exists(grundCopy));

    writeFile(dir / "holmtex-archiv.dat", one + kDamagedTail);
    writeFile(dir / "holmtex-archiv (A's conflicted copy 2026-12-07).dat", two);
    run = holmtex("--zusammenfuehren");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output,
              "holmtex: ARCHIV: Nichts zusammengeführt: holmtex-archiv.dat ist am Ende "
              "beschädigt; reparatur! hilft.\n");
    EXPECT_EQ(readFile(dir / "holmtex-archiv.dat"), one + kDamagedTail);

    for (const char* wrong :
         {"--zusammenfuehren a b", "--zusammenfuehren --pdf", "--zusammenfuehren fehlt"}) {
        run = holmtex(wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_EQ(run.output.rfind("holmtex: ", 0), 0u) << run.output;
    }
}

}  // namespace
}  // namespace holmtex
