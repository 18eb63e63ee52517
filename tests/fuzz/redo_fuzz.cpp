// libFuzzer target for what the append trusts before it writes: the redo file's header,
// the recovery that takes a redo file up or sets it aside, and the look at the end of a list.
//
// The input is cut into a list, new bytes and more bytes; a redo file is made for them,
// now right, now for another old length, with a byte changed or cut short. Whatever it is,
// the recovery may only ever add the new bytes behind exactly the list they were meant for:
// the list before must be the start of the list after, and a redo file not taken up is
// set aside whole. The header parser must read back what the writer wrote, and the end of
// the list must be judged as the reader judges it, looked at from any window.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "record/list_append.h"
#include "record/list_end.h"
#include "record/record_io.h"
#include "record/redo_file.h"

using namespace holmtex;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "redo fuzz: %s\n", what);
    std::abort();
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

// A folder of its own for this process, in memory where there is /dev/shm.
const fs::path& folder() {
    static const fs::path made = [] {
        std::string pattern = (fs::exists("/dev/shm") ? std::string("/dev/shm")
                                                      : fs::temp_directory_path().string()) +
                              "/holmtex-redo-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) fault("no folder");
        std::atexit([] { fs::remove_all(folder()); });
        return fs::path(pattern);
    }();
    return made;
}

// A header that parses must be the one the writer makes of it. A header whose only fault
// is its checksum gets the right one, so that the rest of it is fuzzed too.
void parseBack(std::string bytes) {
    if (const std::size_t at = bytes.find("\nsumme ");
        at != std::string::npos && at + 7 + 16 <= bytes.size()) {
        char sum[17];
        std::snprintf(sum, sizeof sum, "%016llx",
                      static_cast<unsigned long long>(redo::checksum(bytes.substr(0, at + 1))));
        bytes.replace(at + 7, 16, sum);
    }
    const auto header = redo::parseHeader(bytes);
    if (header && redo::headerText(*header) != bytes.substr(0, header->length))
        fault("a header that parses is not what the writer writes");
}

// How many whole records the reader finds in `bytes`, and whether it reads them to a clean end.
std::size_t wholeRecords(const std::string& bytes, bool& clean) {
    StringSource source{bytes};
    RecordReader reader(source);
    ReadStatus status;
    std::size_t count = 0;
    while ((status = reader.nextRaw(1)) == ReadStatus::Record) ++count;
    clean = status == ReadStatus::End;
    return count;
}

// The end of the list as the append sees it, from two first windows, against the reader: a
// list the reader reads whole takes a record that then reads whole too, and a list refused
// is one the reader calls damaged. (A list damaged further up, before a last record that
// looks whole, is not seen from its end: the page index has to say that.)
void judgeEnd(std::string_view list, unsigned window) {
    const int fd = memfd_create("list", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, list.data(), list.size()) != static_cast<ssize_t>(list.size()))
        fault("no memory file");
    bool clean = false;
    const std::size_t records = wholeRecords(std::string(list), clean);
    static const std::string ours = [] {
        std::string record = "\"->2\",\"06.12.2026\",\"14:03:59\",,,\"\",\"aktu\",\"Neu\",\"4711\"";
        for (int i = 0; i < 40; ++i) record += ",\"\"";
        return record + "\r\n";
    }();
    for (std::uint64_t first : {std::uint64_t(1) + window % 97, std::uint64_t(64) * 1024}) {
        const Tail tail = inspectTail(fd, list.size(), first);
        if (tail.error) fault("the end of the list could not be read");
        if (tail.unfinished && clean) fault("a list the reader reads whole is refused");
        bool after = false;
        if (!tail.unfinished && clean &&
            (wholeRecords(std::string(list) + std::string(tail.lineEnd) + ours, after) !=
                 records + 1 ||
             !after))
            fault("a record appended to a whole list does not read whole");
    }
    ::close(fd);
    // A part of the end walks back to the same place as the whole, or asks for more.
    std::size_t whole = 0, part = 0;
    const Walk all = findLastRecord(list, true, whole);
    const std::size_t cut = list.size() - std::min<std::size_t>(list.size(), 1 + window % 512);
    const Walk some = findLastRecord(list.substr(cut), false, part);
    if (some != Walk::NeedMore && (some != all || (all == Walk::Found && cut + part != whole)))
        fault("a part of the end is judged otherwise than the whole");
}

}  // namespace

// Input: a flag byte, the lengths of the list and of the new bytes, a position; then the
// bytes that are cut into the list, the new bytes and what else the list holds.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 7) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    parseBack(std::string(input));
    const unsigned flags = data[0];
    std::string_view rest = input.substr(7);
    const std::size_t oldLength = std::min<std::size_t>(rest.size(), data[1] | data[2] << 8);
    const std::string old(rest.substr(0, oldLength));
    rest.remove_prefix(oldLength);
    const std::size_t newLength = std::min<std::size_t>(rest.size(), data[3] | data[4] << 8);
    const std::string added(rest.substr(0, newLength));
    rest.remove_prefix(newLength);
    const unsigned position = data[5] | data[6] << 8;
    judgeEnd(old, position);

    // The list as the crash (or anyone else) left it, and the redo file.
    std::string list = old;
    list += flags & 1 ? added.substr(0, rest.size() % (added.size() + 1)) : std::string(rest);
    redo::Header h;
    h.create = (flags & 2) && old.empty();
    h.oldSize = flags & 4 ? (position % 7 == 0 ? 0 : old.size() + position % 5 - 2) : old.size();
    if (h.oldSize > old.size()) h.oldSize = old.size();
    const std::size_t k = std::min<std::size_t>(redo::kAnchorBytes, h.oldSize);
    h.anchor = redo::anchorSum(h.oldSize, std::string_view(old).substr(h.oldSize - k, k));
    h.newSize = added.size();
    h.newSum = redo::checksum(added);
    std::string redoBytes = redo::headerText(h) + added;
    if (flags & 8) redoBytes[position % redoBytes.size()] ^= static_cast<char>(1 + (flags >> 5));
    if (flags & 16) redoBytes.resize(position % (redoBytes.size() + 1));

    const fs::path file = folder() / "holmtex-aktuell.dat", redoFile = appendRedoFile(file);
    for (const auto& entry : fs::directory_iterator(folder())) fs::remove_all(entry.path());
    if (!(h.create && list.empty() && (flags & 32))) writeAll(file, list);
    writeAll(redoFile, redoBytes);
    const Recovery r = finishInterruptedAppend(file, "2612061403");
    const std::string after = readAll(file);
    if (!r.ok()) fault("the recovery failed");
    if (after.compare(0, list.size(), list) != 0) fault("the recovery changed a byte of the list");
    const std::string ours = list.substr(0, h.oldSize) + added;
    if (after != list && after != ours) fault("the recovery added what was not ours");
    if (fs::exists(redoFile)) fault("the redo file stayed");
    if (!r.setAside.empty() && readAll(folder() / r.setAside) != redoBytes)
        fault("the redo file was not set aside whole");
    if (r.setAside.empty() && !redoBytes.empty() && after != ours)
        fault("a redo file was dropped that was not taken up");
    return 0;
}
