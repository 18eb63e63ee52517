// Runs one operation of the window on a folder and prints what the window shows
// afterwards and what the operation says it did, for tests that run it with the fault
// library preloaded.
//
//   holmtex_fault_child FOLDER LIST LINE OPERATION
//     LIST       aktuell, archiv or allgemein: the list chosen first
//     LINE       the line clicked before the operation; -1 clicks none
//     OPERATION  a name of faults/fault_operations.h
//
// Like the program, the child first takes the folder for itself. A file holmtex-ersatz.dat in
// the folder takes the chosen list's place after the click, as another program may put a
// copy there.
//
// The faults count from the operation on (for start: from the start-up on). Just before
// it the child prints the line "go". Afterwards it prints, one per line, NAME=value with
// line ends written as \r and \n: text5, lines (list lines), line (selected line), text1,
// text2, combo1, ended (1 when the program ended), micros (how long the operation took), box
// (each message box shown, title|text), and outcome: what the operation said it did, as
// ChildRun::outcome() reads it.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/folder_claim.h"
#include "faults/fault_operations.h"
#include "support/fields.h"
#include "support/scripted_platform.h"
#include "support/test_support.h"
#include "window/holmtex.h"

namespace {

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void startCounting() {
    using Start = void (*)();
    if (auto start = reinterpret_cast<Start>(dlsym(RTLD_DEFAULT, "holmtex_fault_start"))) start();
}

// A new page as a user types it.
void typePage(holmtex::Holmtex& form) {
    holmtex::test::typeInto({
        {form.Text1, "Neue Seite\r\nmit \"Zitat\" und Ümlaut, Komma"},
        {form.Text2, "4711-neu"},
        {form.v1t, "Vater Neu"},
        {form.m1t, "Mutter Neu"},
        {form.k11t, "Kind, eins"},
        {form.bem1t, "Bemerkung \"zitiert\""},
    });
}

// What happens before the operation: another program may put a copy in the list's place
// (holmtex-ersatz.dat), the user may type, and a genealogy file waits to be chosen.
void prepare(holmtex::Holmtex& form, holmtex::ScriptedPlatform& platform,
             const holmtex::test::FaultOperation& op) {
    using holmtex::test::Before;
    const std::filesystem::path copy = form.filePath("holmtex-ersatz.dat");
    if (std::filesystem::exists(copy))
        std::filesystem::rename(copy, form.filePath(dataFileName(*form.selectedList())));
    if (op.before == Before::TypePage) typePage(form);
    if (op.answers == holmtex::Operation::GedcomImport) {
        const std::filesystem::path file = form.filePath(holmtex::test::kGedcomToImport);
        holmtex::test::writeFile(file, holmtex::test::kGedcomImportBytes);
        platform.fileToOpen = file;
    }
    if (op.before == Before::EditPage) {
        form.Text1.setText("Gerettete Seite");
        form.Text2.setText("4711-rettung");
    }
}

// What the window shows after the operation, and what the operation said it did.
void printShown(const holmtex::Holmtex& form, const holmtex::ScriptedPlatform& platform,
                long long micros) {
    std::printf(
        "text5=%s\nlines=%d\nline=%d\ntext1=%s\ntext2=%s\ncombo1=%s\nended=%d\nmicros=%lld\n",
        escaped(form.Text5.text()).c_str(), form.List1.listCount(), form.List1.listIndex(),
        escaped(form.Text1.text()).c_str(), escaped(form.Text2.text()).c_str(),
        escaped(form.Combo1.text()).c_str(), platform.ended ? 1 : 0, micros);
    // The file last: it is the rest of the line.
    const holmtex::Outcome& o = form.outcome();
    std::printf("outcome=%d %d %d %d %lld %d %s\n", static_cast<int>(o.operation),
                static_cast<int>(o.result), static_cast<int>(o.reason), o.line, o.count,
                static_cast<int>(o.found.leftStep), o.file.c_str());
    for (const auto& box : platform.shown)
        std::printf("box=%s|%s\n", escaped(box.title).c_str(), escaped(box.text).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace holmtex;
    const test::FaultOperation* op = argc == 5 ? test::faultOperation(argv[4]) : nullptr;
    if (!op) {
        std::fprintf(stderr, "usage: %s FOLDER LIST LINE OPERATION\n", argv[0]);
        return 2;
    }
    const std::string list = argv[2];
    const bool startOnly = op->answers == Operation::Start;
    const int line = std::atoi(argv[3]);

    auto began = std::chrono::steady_clock::now();
    ScriptedPlatform platform;
    platform.runPrograms = true;
    Holmtex form(platform, argv[1]);
    form.setProgramDir(HOLMTEX_SIBLING_DIR);
    if (startOnly) {
        std::printf("go\n");
        std::fflush(stdout);
        startCounting();
    }
    if (!lockWorkFolder(argv[1])) {
        sayWorkFolderBusy(platform);
        std::printf("busy=1\n");
        return 0;
    }
    form.Form_Load();
    if (!startOnly) {
        if (list == "archiv") form.Option2.setValue(true);
        if (list == "allgemein") form.Option3.setValue(true);
        if (line >= 0) form.List1.clickLine(line);
        prepare(form, platform, *op);
        // Only what the operation says counts.
        form.Text5.setText("");
        std::printf("go\n");
        std::fflush(stdout);
        began = std::chrono::steady_clock::now();
        startCounting();
        if (auto* button = dynamic_cast<CommandButton*>(form.findControl(op->start)))
            button->click();
        else
            form.Combo1.setText(op->start);
    }

    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - began)
                            .count();
    printShown(form, platform, static_cast<long long>(micros));
    return 0;
}
