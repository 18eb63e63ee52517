// The page as a readable text file, and the marking of pages with the same number.
#include <cerrno>
#include <optional>
#include <string>

#include "operations/messages.h"
#include "record/codepage.h"
#include "record/data_files.h"
#include "record/record_io.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

constexpr const char* kSiblingName = "krumo-34";
constexpr int kSiblingWaitMs = 10000;

// One line of zzz.txt: the text in double quotes, as a single text item is stored.
void quotedLine(std::string& out, std::string_view text) {
    out.push_back('"');
    out.append(text);
    out.append("\"\r\n");
}

// The lines of zzz.txt, still in UTF-8.
std::string zzzContent(const PageRecord& page, const std::string& processNumber) {
    std::string out;
    quotedLine(out, "TextKopie vom Vorgang  " + processNumber);
    const char* separator = "----------------------";
    for (int f = 1; f <= 4; ++f) {
        const std::string digit = std::to_string(f);
        quotedLine(out, separator);
        quotedLine(out, "Familie " + digit);
        auto line = [&](const std::string& label, int item) {
            if (!page.text(item).empty()) quotedLine(out, label + std::string(page.text(item)));
        };
        line("Vater  " + digit + ": ", fatherItem(f));
        line("Mutter " + digit + ": ", motherItem(f));
        line("H-Datum: ", dateItem(f));
        for (int c = 1; c <= 6; ++c) line("Kind " + std::to_string(c) + ": ", childItem(c, f));
        line("Bemerkung: ", remarkItem(f));
    }
    quotedLine(out, separator);
    if (!page.text(PageText).empty())
        quotedLine(out, "Schlußbemerkung: " + std::string(page.text(PageText)));
    return out;
}

}  // namespace

std::filesystem::path Holmtex::siblingProgram() const {
    // Never from the working folder: a program that lies among the data is not ours.
    if (programDir_.empty()) return {};
    for (const std::filesystem::path& program :
         {programDir_ / kSiblingName, programDir_ / ".." / "libexec" / "holmtex" / kSiblingName}) {
        if (isRunnableFile(program)) return program.lexically_normal();
    }
    return {};
}

namespace {

// After the sibling: the text file `finalName` once its result has become it, or why it has
// not.
Outcome takeSiblingResult(Holmtex& form, const std::string& number, bool found, bool started,
                          const ProgramEnd& end, const std::string& finalName) {
    Outcome o(Operation::TextFile, Result::NotDone);
    o.file = finalName;
    if (!fitsAFileName(number))
        o.reason = Reason::NumberNotAFileName;
    else if (!found)
        o.reason = Reason::NoProgram;
    else if (!started)
        o.reason = Reason::ProgramNotStarted;
    else if (!end.ended)
        o.reason = Reason::ProgramTooSlow;
    else if (!end.succeeded)
        o.reason = end.exitStatus < 0 ? Reason::ProgramCrashed : Reason::ProgramFailed;
    if (o.reason == Reason::ProgramFailed) o.count = end.exitStatus;
    if (o.reason != Reason::None) return o;
    o.failure = renameIfFree(form.filePath(pageTextResultName()), form.workDir() / finalName);
    if (o.failure.error == ENOENT) o.reason = Reason::NoResult;
    if (o.failure.error == EEXIST) o.reason = Reason::NameTaken;
    if (o.failure.error && o.reason == Reason::None) o.reason = Reason::NotRenamed;
    if (o.reason == Reason::None) o.result = Result::Done;
    return o;
}

// The sibling makes the text file of the page, in UTF-8 `page`, out of zzz.txt.
Outcome writeTextFile(Holmtex& form, const std::string& page) {
    Outcome o(Operation::TextFile, Result::NotDone, Reason::Failed);
    o.failure = writeWholeFile(form.filePath(pageTextDraftName()), utf8ToCp1252(page)).failure;
    if (!o.failure.ok()) return o;
    // An older z1.txt would otherwise pass for the sibling's work.
    if (const FileResult removed = removeFile(form.filePath(pageTextResultName()));
        !removed && removed.error != ENOENT) {
        o.reason = Reason::OldResultStays;
        o.failure = removed;
        return o;
    }
    const std::filesystem::path sibling = form.siblingProgram();
    const bool started = !sibling.empty() && form.platform().startProgram(sibling, form.workDir());

    const std::string number = form.Text2.text();
    const std::string finalName = pageTextFileName(number, fileNameStamp(form.platform().now()));

    for (int count = 1; count <= 10000; ++count) form.Combo1.setText(std::to_string(count));
    // The count alone does not know whether the sibling is done; never take a half z1.txt.
    const ProgramEnd end = started ? form.platform().waitForProgram(kSiblingWaitMs) : ProgramEnd{};
    o = takeSiblingResult(form, number, !sibling.empty(), started, end, finalName);
    if (o.done()) o.lost = lostLetters(page);
    return o;
}

}  // namespace

void Holmtex::Command7_Click() {
    const Outcome written = writeTextFile(*this, zzzContent(CurrentRecord, Text2.text()));
    say(written);
    if (written.reason != Reason::Failed && written.reason != Reason::OldResultStays)
        Combo1.setText("");
}

void Holmtex::Command23_Click() {
    // Every page of the list but the last goes into z1.txt as it is, a page with the last
    // page's process number with "-dopp" behind its list tag; the buffer holds the last page.
    const auto list = selectedList();
    Outcome o(Operation::Duplicates, Result::NotDone, Reason::Unreadable);
    o.list = dataFileName(list.value_or(ListKind::Aktuell));
    // The count and the last page: known without reading when the file is as it was listed;
    // a missing file counts as a list without pages.
    const ListFiles::PageRead counted =
        list ? lists_.count(*list, CurrentRecord) : ListFiles::PageRead{};
    o.failure = counted.failure;
    if (!o.failure.ok()) return say(o);
    o = Outcome(Operation::Duplicates);
    o.count = counted.pages;
    if (counted.pages > 0) {
        const std::filesystem::path z1 = filePath(pageTextResultName());
        FileReplacement marked(z1, workFileFor(z1), LinkRule::Replace);
        o = lists_.markPages(*list, static_cast<std::size_t>(counted.pages), "-dopp", marked,
                             CurrentRecord);
        if (!o.done()) return say(o);
        const std::string number(CurrentRecord.text(ProcessNumber));
        Text1.setText(msg::duplicatesMarkedUpTo(number));
        Text2.setText(number);
    }
    say(o);
}

}  // namespace holmtex
