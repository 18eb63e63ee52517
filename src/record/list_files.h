#pragma once
// The door to the three list files of a working folder: every operation reads a list and
// changes it through here, and nothing else opens a list file.
//
// Reading keeps what a read from the start taught while the file stays as it was (its
// identity: device, inode, size, times): the list lines and where each page lies, so that
// a list shown again is not read again, a line opens with one record read from its place,
// and after our own append only the new bytes are read. Anything else reads the file from
// its first byte.
//
// Every change passes one place, change(): an append a crash cut short is finished first on
// each file the change touches, and what that finds stops the change; then the change is
// made; then what is known of the lists is brought up to date. A list file is only ever
// appended to (appendRecords) or replaced whole (FileReplacement), and the pages a change
// only carries are copied as the bytes they are.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/data_files.h"
#include "record/history.h"
#include "record/line_list.h"
#include "record/list_append.h"
#include "record/list_merge.h"
#include "record/local_time.h"
#include "record/outcome.h"
#include "record/page_index.h"
#include "record/page_record.h"

namespace holmtex {

// Remembered: as above. FromStart: every list is read from its first byte every time, the
// plain way the remembered one is held against.
enum class ListReading { Remembered, FromStart };

class ListFiles {
public:
    // `clock` names the files set aside or split off with the time they were made.
    explicit ListFiles(std::filesystem::path workDir,
                       std::function<LocalDateTime()> clock = localNow,
                       ListReading reading = ListReading::Remembered);

    std::filesystem::path path(ListKind list) const;

    // ---- Reading ----

    struct Listing {
        std::shared_ptr<const LineList> lines;  // one per whole page
        FileResult problem;  // why the file could not be read whole; the lines before stand
        Recovery found;      // what finishing an append a crash cut short found
    };
    // The list's lines: a missing file is an empty list, a damaged one lists the pages before
    // the damage. An append a crash cut short is finished first. `last` gets the last page.
    // No page of the list counts as opened any more.
    Listing lines(ListKind list, PageRecord& last);
    // Whether the file ends inside a page, or reads out of step from one page to its end.
    bool damaged(ListKind list);

    // Opens line `line`: `into` gets its page as reading the file from its start up to it
    // leaves the buffer (with fewer pages the last one, with none it stays as it is). That
    // page is kept as the one opened from the line: the changes of a marked line and the
    // transfer act only on it.
    void open(ListKind list, int line, PageRecord& into);
    // The fields no longer show the page opened (emptied after a delete): nothing may take
    // its place by ersetzen! until a line is opened again.
    void forgetOpened() { opened_.reset(); }
    // The page opened from `line`, for the transfer file: `into` gets it and `bytes` its bytes
    // in the file. Not done: NoLine, Unreadable (missing, unreadable, damaged: `failure`),
    // LineGone, ChangedSince.
    Outcome openedPage(ListKind list, int line, PageRecord& into, std::string& bytes);

    struct PageRead {
        FileResult failure;    // the file cannot be read (ENOENT: missing)
        bool found = false;    // `line` is a whole page of the list
        bool damaged = false;  // the list ends inside a page, as far as it was read
        int pages = 0;         // whole pages read
    };
    // Page `line` as it stands now, not kept as opened; `into` is left as it was when the
    // line is no whole page. With `toEnd` the rest is read too, so that `pages` and
    // `damaged` speak of the whole list.
    PageRead page(ListKind list, int line, PageRecord& into, bool toEnd = false);
    // Page `line` straight from its place, when the file is as it was listed; false, and
    // `into` as it was, when that cannot be vouched for without reading more than that page.
    bool glance(ListKind list, int line, PageRecord& into);
    // Every whole page in file order, to `each` with its line, until `each` says false.
    PageRead pages(ListKind list,
                   const std::function<bool(const PageRecord&, int line)>& each) const;
    // How many whole pages the list has; `last` gets the last one.
    PageRead count(ListKind list, PageRecord& last);

    // One line per page: ">" when its page text holds `text` (Windows-1252), two blanks when
    // not, then its list line; `last` gets the last page.
    LineList search(ListKind list, std::string_view text, PageRecord& last);

    struct Copy {
        FileResult readFailure, writeFailure;
        bool opened = false;   // the list could be opened
        bool damaged = false;  // it ends inside a page
        int pages = 0;         // whole pages read
    };
    // Every whole page into `into` (begun here), as the bytes it has in the list; `last` gets
    // the last one. Reads on after a failed write, so that `damaged` speaks of the whole list.
    Copy copyPages(ListKind list, FileReplacement& into, PageRecord& last);
    // The first `pages` pages: every page but the last into `into` (begun here) as it is,
    // with `mark` behind the list tag of each page whose process number is the last page's;
    // `last` gets the last page, marked in the same way. NotDone: Unreadable, or ChangedSince
    // when the list has fewer pages now; DoneBut Failed when `into` could not be written.
    Outcome markPages(ListKind list, std::size_t pages, std::string_view mark,
                      FileReplacement& into, PageRecord& last);

    // ---- Second versions: the conflict copies a sync engine leaves beside a list ----

    struct SecondVersions {
        std::size_t copies = 0;  // conflict copies of the list
        std::size_t lacked = 0;  // pages they hold that the list lacks
    };
    // One read of the folder; the list and its copies are read only when it has copies.
    SecondVersions secondVersions(ListKind list);
    // zusammenführen!: the pages the list's conflict copies hold and it lacks, oldest copy
    // first, in one append; then each copy goes into the history, so that zurück! takes the
    // whole merge back, copies included. No page of the list is ever taken out. Done: `count`
    // pages taken in, `kept` pages only the list has, `file` the rest file of a damaged copy;
    // DoneBut CopiesLeft. NotDone: NothingToMerge; Failed (a damaged list end: kDamagedTail);
    // ChangedSince.
    Outcome merge(ListKind list);
    // ---- Reading a long list aside ----
    // Its last page at once, found from the file's end, and its lines on another thread,
    // brought to this door's thread in pieces. Meanwhile the lines read so far open from
    // their place; whatever else the list is asked for is read from the start.
    using Piece = PageIndex::Piece;
    // Takes a piece on the reading thread, to bring it to this door's thread, later.
    using Deliver = std::function<void(std::shared_ptr<const Piece>)>;
    // The work of the read, run on another thread; it stops once `stop` is set.
    using AsideWork = std::function<void(const std::atomic<bool>& stop)>;
    // Starts the work on another thread; false when it cannot.
    using StartAside = std::function<bool(AsideWork)>;
    static constexpr std::uint64_t kReadAsideFrom = 4 << 20;  // bytes; shorter lists are read here
    static constexpr std::uint64_t kPieceBytes = 2 << 20;     // of the file, a piece

    // Begins the read aside of the list: `last` gets its last page, which counts as opened
    // from its line once that line is known. Gives the lines, which grow as takeLines()
    // adds the pieces; none, and nothing done, when the list is to be read here as lines()
    // reads it: its lines are known, it is short or missing, an append is to be finished,
    // its end is not of the shape our writer gives, or the work could not start.
    std::shared_ptr<const LineList> readAside(ListKind list, PageRecord& last,
                                              const Deliver& deliver, const StartAside& start);
    struct Taken {
        bool added = false;  // the piece's lines were added to the lines of the read
        // With the last piece of the read:
        bool ended = false;
        int pages = 0;          // whole pages the list has
        FileResult problem;     // why the file could not be read whole
        bool lastOpen = false;  // the page readAside() gave is the last line's
    };
    // Adds a piece delivered; on this door's thread.
    Taken takeLines(const Piece& piece);

    // ---- Changing ----

    // Finishes an append to `file` (a list or the transfer file) that a crash cut short, or
    // sets aside a redo file that is not the file's own.
    Recovery finishAppend(const std::filesystem::path& file);
    // Appends whole pages as `operation` (Save, Import), with the step in `after`. A list
    // that ends inside a page takes nothing. Done, Later (the next start finishes it), or
    // NotDone: Failed, Unfinished.
    Outcome append(ListKind list, std::string_view pages, Operation operation,
                   const AfterAppend& after = {});
    // The list anew without page `line` (no `page`), or with `page` in its place, when the
    // line holds the page opened from it; `last` gets the last page read. The list's other
    // pages are carried as their bytes. A page goes into another's place only in the very
    // file it was opened from, unchanged since: NoLine when no page of the list was opened
    // since it was listed, ChangedSince when the file is not the same.
    Outcome rewrite(Operation operation, ListKind list, int line,
                    std::optional<std::string_view> page, PageRecord& last);
    // Page `line` of `from`, opened from it, goes to the end of `to` with the list tag `tag`,
    // and then `from` without it takes its place (a backup keeps it as it was). After a
    // crash between the two the next start finishes the move.
    Outcome move(ListKind from, int line, ListKind to, std::string_view tag, PageRecord& last);
    // "alle löschen": the list becomes its backup, and the empty-list template, when there is
    // one, the list.
    Outcome empty(ListKind list);
    // A list that ends inside a page keeps its whole pages (the old file becomes the backup);
    // the rest goes untouched into a file of its own.
    Outcome repair(ListKind list, PageRecord& last);

    // Every change above is recorded in the history of the lists first (record/history.h).
    // A disk too full to record it refuses it (NotDone, Failed); any other failure of the
    // history lets it be made, and `unrecorded` says why it cannot be taken back.

    // zurück!: the files of the last change get what they held before it, when each is still
    // as the change left it; wieder!: the last change taken back is made again. Each is
    // recorded in its turn. Done: `change`, `changedAt`, `list` (a move: from `list` to
    // `file`) and `line` name the change; DoneBut Failed when only some of its files were
    // restored. NotDone: NothingRecorded; ChangedSince (`list`, since `changedAt`);
    // HistoryDamaged (`list`); Failed; Unfinished.
    Outcome takeBack();
    Outcome redo();
    // What the history holds, newest first.
    HistoryListing history() const { return history_.listing(); }

public:
    struct Pass;  // what a copy of a list found (list_changes.cpp)

private:
    // Every change passes here: see the top of this file.
    // `make(std::vector<FileAfter>&)` makes the change and says how it left each file.
    template <typename Make>
    Outcome change(Operation operation, ChangeKind kind, int line, std::vector<ChangedFile> files,
                   Make make);
    // The list as a change is about to touch it, with its pages when they are known.
    ChangedFile changedList(ListKind list, FileChange how);
    // What stops `operation` on `file` after finishing an append to it found `found`; Done
    // when nothing does.
    Outcome refuse(Operation operation, const std::string& list, const Recovery& found,
                   const std::filesystem::path& file);
    Outcome appendNow(Operation operation, ListKind list, std::string_view pages,
                      const AfterAppend& after, FileAfter& state, long long pagesAfter);
    Outcome removeImported(Outcome o, ListKind list, const std::filesystem::path& file,
                           FileAfter& state);
    bool isOpened(ListKind list, int line, std::string_view bytes) const;
    void copyByPlaces(FileSource& source, const std::vector<PageIndex::Extent>& places, int skip,
                      FileReplacement& into, const std::function<void(RecordReader&)>& onSkipped,
                      std::optional<std::string_view> instead, Pass& pass);
    // Why `page` may not take the place of page `line` of `list` as it stands now, or nothing.
    std::optional<Outcome> replaceRefused(const Outcome& o, ListKind list, int line,
                                          const std::optional<FileIdentity>& now) const;
    // `bytes` (none: no page) were opened from `line` of the file that had `identity`.
    void keepOpened(ListKind list, int line, std::string_view bytes,
                    std::optional<FileIdentity> identity);
    // "Read page n", the one way: from its place when the file is as it was listed, else from
    // the start (and with `toEnd` on to the end); `into` as open() says, `bytes` its bytes.
    PageRead readPage(ListKind list, int line, PageRecord& into, std::string& bytes,
                      bool toEnd = false);
    Pass copyPass(ListKind list, int skip, FileReplacement& into, PageRecord& last,
                  const std::function<void(RecordReader&)>& onSkipped,
                  std::optional<std::string_view> instead = std::nullopt);
    struct MoveOf {
        ListKind from, to;
        int line;
        long long targetPagesAfter;
    };
    Outcome moveRest(const MoveOf& move, std::string_view page, FileReplacement& rest, Pass& pass,
                     std::vector<FileAfter>& states);
    Outcome step(Operation operation);
    Outcome merged(ListKind list, const MergeOutcome& m, std::vector<FileAfter>& states,
                   long long pagesBefore);
    std::string stamp() const { return fileNameStamp(clock_()); }
    bool keep() const { return reading_ == ListReading::Remembered; }

    std::filesystem::path workDir_;
    std::function<LocalDateTime()> clock_;
    ListReading reading_;
    PageIndex index_;
    // The page the last open() took: its list, its line, its bytes in the file, and the
    // identity the file had before the page was read.
    struct OpenedPage {
        ListKind list;
        int line;
        std::string bytes;
        std::optional<FileIdentity> identity;
    };
    std::optional<OpenedPage> opened_;
    History history_;
    bool recorded_ = false;  // the history holds the files of the change being made
    // The read aside going on: its number, where the page it opened at once begins, the
    // lines taken so far and where the last of them begins.
    struct AsideRead {
        ListKind list;
        std::uint64_t read;
        std::uint64_t pageStart;
        int pages = 0;
        std::optional<std::uint64_t> lineStart;
    };
    std::optional<AsideRead> aside_;
};

}  // namespace holmtex
