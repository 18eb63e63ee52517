// The page as a readable text file, and the marking of pages with the same number.
#include <cerrno>
#include <optional>
#include <string>

#include "operations/output_names.h"
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

bool fitsAFileName(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) return false;
        if (std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    }
    return true;
}

std::string fileNameStamp(const LocalDateTime& now) {
    const std::string date = germanDate(now), time = germanTime(now);
    return date.substr(date.size() - 2) + date.substr(3, 2) + date.substr(0, 2) +
           time.substr(0, 2) + time.substr(3, 2);
}

std::filesystem::path Holmtex::siblingProgram() const {
    // Never from the working folder: a program that lies among the data is not ours.
    if (programDir_.empty()) return {};
    for (const std::filesystem::path& program :
         {programDir_ / kSiblingName, programDir_ / ".." / "libexec" / "holmtex" / kSiblingName}) {
        if (isRunnableFile(program)) return program.lexically_normal();
    }
    return {};
}

void Holmtex::Command7_Click() {
    const std::string page = zzzContent(CurrentRecord, Text2.text());
    if (int error = writeWholeFile(filePath(pageTextDraftName()), utf8ToCp1252(page)).error) {
        Text5.setText("Die Textdatei wurde nicht gespeichert: " + describeError(error) +
                      " (zzz.txt).");
        return;
    }
    // An older z1.txt would otherwise pass for the sibling's work.
    if (const FileResult removed = removeFile(filePath(pageTextResultName()));
        !removed && removed.error != ENOENT) {
        Text5.setText("Die Textdatei wurde nicht gespeichert: die alte Datei z1.txt bleibt (" +
                      describeError(removed.error) + ").");
        return;
    }
    const std::filesystem::path sibling = siblingProgram();
    const bool started = !sibling.empty() && platform_.startProgram(sibling, workDir_);

    const std::string number = Text2.text();
    const std::string finalName = pageTextFileName(number, fileNameStamp(platform_.now()));

    for (int count = 1; count <= 10000; ++count) Combo1.setText(std::to_string(count));
    // The count alone does not know whether the sibling is done; never take a half z1.txt.
    const ProgramEnd end = started ? platform_.waitForProgram(kSiblingWaitMs) : ProgramEnd{};

    std::string problem;
    if (!fitsAFileName(number)) {
        problem = "die Vorgangsnummer enthält / \\ : * ? \" < > | oder ein Steuerzeichen";
    } else if (sibling.empty()) {
        problem = "das Programm krumo-34 fehlt";
    } else if (!started) {
        problem = "das Programm krumo-34 ließ sich nicht starten";
    } else if (!end.ended) {
        problem = "das Programm krumo-34 ist nach zehn Sekunden noch nicht fertig";
    } else if (!end.succeeded) {
        problem = end.exitStatus < 0
                      ? "das Programm krumo-34 ist abgestürzt"
                      : "das Programm krumo-34 meldet den Fehler " + std::to_string(end.exitStatus);
    } else if (int error =
                   renameIfFree(filePath(pageTextResultName()), workDir_ / finalName).error) {
        if (error == ENOENT)
            problem = "es gibt keine Datei z1.txt";
        else if (error == EEXIST)
            problem = "die Datei " + finalName + " gibt es schon";
        else
            problem = describeError(error);
    }
    if (problem.empty())
        Text5.setText("Datei im Programmordner als " + finalName + " gespeichert" +
                      questionMarkLine(page));
    else
        Text5.setText("Die Textdatei wurde nicht gespeichert: " + problem + ".");
    Combo1.setText("");
}

void Holmtex::Command23_Click() {
    const auto list = selectedList();
    const std::string name = dataFileName(list.value_or(ListKind::Aktuell));
    const std::filesystem::path file = filePath(name);
    const auto readFailure = [&](int error) {
        Text5.setText("Die Datei " + name +
                      " konnte nicht gelesen werden: " + describeError(error) + ".");
    };

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
            if (source.error()) return readFailure(source.error());
            if (count > 0) reader.decodeInto(CurrentRecord);
        } else if (source.error() != ENOENT) {
            return readFailure(source.error());
        }
    }
    Text5.setText(std::to_string(count));
    if (count == 0) return;

    // Every page but the last goes into z1.txt as it is, a page with the last page's process
    // number with "-dopp" behind its list tag. The file is written in pieces, so no second
    // copy of the list is held.
    const std::string reference = utf8ToCp1252(CurrentRecord.text(ProcessNumber));
    const std::filesystem::path markedFile = filePath(pageTextResultName());
    FileReplacement marked(markedFile, workFileFor(markedFile));
    int writeError = marked.begin().error;
    FileSource source;
    if (!source.open(file)) return readFailure(source.error());
    RecordReader reader(source);
    constexpr std::size_t kPiece = 256 * 1024;
    std::string piece;
    bool lastMarked = false;
    for (std::size_t k = 0; k + 1 < count; ++k) {
        if (reader.nextRaw(ProcessNumber) != ReadStatus::Record) {
            // Fewer pages than counted: never a short z1.txt.
            if (source.error()) return readFailure(source.error());
            Text5.setText("Die Datei " + name +
                          " hat sich beim Lesen geändert; z1.txt wurde nicht geschrieben.");
            return;
        }
        lastMarked = reader.rawItem(ProcessNumber) == reference;
        reader.appendWritten(piece, lastMarked ? ListTag : 0, "-dopp");
        if (piece.size() >= kPiece) {
            if (!writeError) writeError = marked.write(piece).error;
            piece.clear();
        }
    }
    if (count > 1) {
        reader.decodeInto(CurrentRecord);
        if (lastMarked)
            CurrentRecord.set(ListTag, std::string(CurrentRecord.text(ListTag)) + "-dopp");
    }
    source.close();

    const std::string number(CurrentRecord.text(ProcessNumber));
    Text1.setText("liste einmal durch mit " + number);
    Text2.setText(number);
    if (!writeError) writeError = marked.write(piece).error;
    if (!writeError) writeError = marked.commit().error;
    if (writeError)
        Text5.setText(std::to_string(count) +
                      " – die Datei z1.txt konnte nicht geschrieben werden: " +
                      describeError(writeError) + ".");
}

}  // namespace holmtex
