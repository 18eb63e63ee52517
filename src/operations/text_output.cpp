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

// After the sibling: the message once its result has become the text file `finalName`, or
// why it has not.
std::string takeSiblingResult(Holmtex& form, const std::string& number, bool found, bool started,
                              const ProgramEnd& end, const std::string& finalName) {
    using Stop = msg::TextFileStop;
    if (!fitsAFileName(number)) return msg::textFileNotSaved(Stop::NumberNotAFileName);
    if (!found) return msg::textFileNotSaved(Stop::NoSibling);
    if (!started) return msg::textFileNotSaved(Stop::SiblingNotStarted);
    if (!end.ended) return msg::textFileNotSaved(Stop::SiblingTooSlow);
    if (!end.succeeded)
        return end.exitStatus < 0 ? msg::textFileNotSaved(Stop::SiblingCrashed)
                                  : msg::textFileNotSaved(Stop::SiblingFailed, end.exitStatus);
    const FileResult renamed =
        renameIfFree(form.filePath(pageTextResultName()), form.workDir() / finalName);
    if (renamed.error == ENOENT) return msg::textFileNotSaved(Stop::NoResult);
    if (renamed.error == EEXIST) return msg::textFileNotSaved(Stop::NameTaken, 0, finalName);
    if (!renamed) return msg::textFileNotSaved(Stop::NotRenamed, renamed.error);
    return {};
}

// Every page of the list but the last goes into z1.txt as it is, a page with the last
// page's process number with "-dopp" behind its list tag; the buffer holds the last page,
// `count` counts the pages. The file is written in pieces, so no second copy of the list
// is held. Says in Text5 what failed.
void markDuplicates(Holmtex& form, const std::filesystem::path& file, std::size_t count) {
    const std::string name = file.filename().string();
    const std::string reference = utf8ToCp1252(form.CurrentRecord.text(ProcessNumber));
    const std::filesystem::path markedFile = form.filePath(pageTextResultName());
    FileReplacement marked(markedFile, workFileFor(markedFile), LinkRule::Replace);
    int writeError = marked.begin().error;
    FileSource source;
    if (!source.open(file)) return form.Text5.setText(msg::listUnreadable(name, source.error()));
    RecordReader reader(source);
    constexpr std::size_t kPiece = 256 * 1024;
    std::string piece;
    bool lastMarked = false;
    for (std::size_t k = 0; k + 1 < count; ++k) {
        if (reader.nextRaw(ProcessNumber) != ReadStatus::Record) {
            // Fewer pages than counted: never a short z1.txt.
            return form.Text5.setText(source.error() ? msg::listUnreadable(name, source.error())
                                                     : msg::listChangedWhileRead(name));
        }
        lastMarked = reader.rawItem(ProcessNumber) == reference;
        reader.appendWritten(piece, lastMarked ? ListTag : 0, "-dopp");
        if (piece.size() >= kPiece) {
            if (!writeError) writeError = marked.write(piece).error;
            piece.clear();
        }
    }
    if (count > 1) {
        reader.decodeInto(form.CurrentRecord);
        if (lastMarked)
            form.CurrentRecord.set(ListTag,
                                   std::string(form.CurrentRecord.text(ListTag)) + "-dopp");
    }
    source.close();

    const std::string number(form.CurrentRecord.text(ProcessNumber));
    form.Text1.setText(msg::duplicatesMarkedUpTo(number));
    form.Text2.setText(number);
    if (!writeError) writeError = marked.write(piece).error;
    if (!writeError) writeError = marked.commit().failure.error;
    if (writeError) form.Text5.setText(msg::duplicatesNotWritten(count, writeError));
}

}  // namespace

void Holmtex::Command7_Click() {
    using Stop = msg::TextFileStop;
    const std::string page = zzzContent(CurrentRecord, Text2.text());
    if (int error = writeWholeFile(filePath(pageTextDraftName()), utf8ToCp1252(page)).failure.error)
        return Text5.setText(msg::textFileNotSaved(Stop::DraftNotWritten, error));
    // An older z1.txt would otherwise pass for the sibling's work.
    if (const FileResult removed = removeFile(filePath(pageTextResultName()));
        !removed && removed.error != ENOENT)
        return Text5.setText(msg::textFileNotSaved(Stop::OldResultStays, removed.error));
    const std::filesystem::path sibling = siblingProgram();
    const bool started = !sibling.empty() && platform_.startProgram(sibling, workDir_);

    const std::string number = Text2.text();
    const std::string finalName = pageTextFileName(number, fileNameStamp(platform_.now()));

    for (int count = 1; count <= 10000; ++count) Combo1.setText(std::to_string(count));
    // The count alone does not know whether the sibling is done; never take a half z1.txt.
    const ProgramEnd end = started ? platform_.waitForProgram(kSiblingWaitMs) : ProgramEnd{};

    const std::string problem =
        takeSiblingResult(*this, number, !sibling.empty(), started, end, finalName);
    Text5.setText(problem.empty() ? msg::textFileSaved(finalName, msg::questionMarkLine(page))
                                  : problem);
    Combo1.setText("");
}

void Holmtex::Command23_Click() {
    const auto list = selectedList();
    const std::string name = dataFileName(list.value_or(ListKind::Aktuell));
    const std::filesystem::path file = filePath(name);

    // The count and the last page: known without reading when the file is as it was
    // listed; a missing file counts as a list without pages.
    std::size_t count = 0;
    const std::optional<std::size_t> known =
        list && !alwaysReadFromStart ? pageIndex_.recordCount(*list, file) : std::nullopt;
    if (known && (*known == 0 || pageIndex_.readRecord(*list, file, 0x7fffffff, CurrentRecord))) {
        count = *known;
    } else if (list) {
        FileSource source;
        if (source.open(file)) {
            RecordReader reader(source);
            while (reader.nextRaw(1) == ReadStatus::Record) ++count;
            if (source.error()) return Text5.setText(msg::listUnreadable(name, source.error()));
            if (count > 0) reader.decodeInto(CurrentRecord);
        } else if (source.error() != ENOENT) {
            return Text5.setText(msg::listUnreadable(name, source.error()));
        }
    }
    Text5.setText(msg::pageCount(count));
    if (count > 0) markDuplicates(*this, file, count);
}

}  // namespace holmtex
