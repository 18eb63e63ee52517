// The page as a readable text file, and the marking of pages with the same number.
#include <unistd.h>

#include <cerrno>

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
    appendUtf8AsCp1252(out, text);
    out.append("\"\r\n");
}

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

// Characters no file name may hold here or on the other computers the file may reach.
bool fitsAFileName(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) return false;
        if (std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    }
    return true;
}

}  // namespace

std::filesystem::path Holmtex::siblingProgram() const {
    // Never from the working folder: a program that lies among the data is not ours.
    if (programDir_.empty()) return {};
    for (const std::filesystem::path& program :
         {programDir_ / kSiblingName, programDir_ / ".." / "libexec" / "holmtex" / kSiblingName}) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(program, ec) && ::access(program.c_str(), X_OK) == 0)
            return program.lexically_normal();
    }
    return {};
}

void Holmtex::Command7_Click() {
    if (int error = writeWholeFile(filePath("zzz.txt"), zzzContent(CurrentRecord, Text2.text()))) {
        Text5.setText("Die Datei zzz.txt konnte nicht geschrieben werden: " + describeError(error) +
                      ". Es wurde keine Textdatei gespeichert.");
        return;
    }
    // An older z1.txt would otherwise pass for the sibling's work.
    if (::unlink(filePath("z1.txt").c_str()) != 0 && errno != ENOENT) {
        Text5.setText("Die Textdatei wurde nicht gespeichert: die alte Datei z1.txt bleibt (" +
                      describeError(errno) + ").");
        return;
    }
    const std::filesystem::path sibling = siblingProgram();
    const bool started = !sibling.empty() && platform_.startProgram(sibling, workDir_);

    const LocalDateTime now = platform_.now();
    const std::string date = germanDate(now), time = germanTime(now);
    const std::string datePart =
        date.substr(date.size() - 2) + date.substr(3, 2) + date.substr(0, 2);
    const std::string timePart = time.substr(0, 2) + time.substr(3, 2);
    const std::string number = Text2.text();
    const std::string finalName = "Text_" + number + "_" + datePart + timePart + ".txt";

    for (int count = 1; count <= 10000; ++count) Combo1.setText(std::to_string(count));
    // The count alone does not know whether the sibling is done; never take a half z1.txt.
    const ProgramEnd end = started ? platform_.waitForProgram(kSiblingWaitMs) : ProgramEnd{};

    std::string problem;
    if (!fitsAFileName(number)) {
        problem =
            "die Vorgangsnummer enthält ein Zeichen, das in keinem Dateinamen stehen darf "
            "(/ \\ : * ? \" < > | oder ein Steuerzeichen)";
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
    } else if (int error = renameIfFree(filePath("z1.txt"), workDir_ / finalName)) {
        if (error == ENOENT)
            problem = "es gibt keine Datei z1.txt";
        else if (error == EEXIST)
            problem = "die Datei " + finalName + " gibt es schon";
        else
            problem = describeError(error);
    }
    if (problem.empty())
        Text5.setText("Datei im Programmordner als " + finalName + " gespeichert");
    else
        Text5.setText("Die Textdatei wurde nicht gespeichert: " + problem + ".");
    Combo1.setText("");
}

void Holmtex::Command23_Click() {
    int count = 0;
    const auto list = selectedList();
    const std::filesystem::path file =
        list ? filePath(dataFileName(*list)) : std::filesystem::path();
    {
        FileSource source;
        if (list && source.open(file)) {
            RecordReader reader(source);
            while (reader.next(CurrentRecord) == ReadStatus::Record) ++count;
        }
    }
    Text5.setText(std::to_string(count));
    const std::string reference(CurrentRecord.text(ProcessNumber));
    if (count == 0) return;

    std::string marked;
    {
        FileSource source;
        if (!source.open(file)) return;  // gone since the count: nothing to copy
        RecordReader reader(source);
        for (int k = 0; k < count - 1; ++k) {
            if (reader.next(CurrentRecord) != ReadStatus::Record) break;
            if (CurrentRecord.text(ProcessNumber) == reference)
                CurrentRecord.set(ListTag, std::string(CurrentRecord.text(ListTag)) + "-dopp");
            writeRecord(marked, CurrentRecord);
        }
    }
    const std::string number(CurrentRecord.text(ProcessNumber));
    Text1.setText("liste einmal durch mit " + number);
    Text2.setText(number);
    if (int error = writeWholeFile(filePath("z1.txt"), marked))
        Text5.setText(
            std::to_string(count) +
            " – die Datei z1.txt konnte nicht geschrieben werden: " + describeError(error) + ".");
}

}  // namespace holmtex
