// The data check: whether AKTUELL can be read whole. Its pages go into check.dat as the
// bytes they are, read and written in one pass, the pass that delete and move copy with.
#include <cerrno>

#include "record/data_files.h"
#include "window/holmtex.h"

namespace holmtex {

namespace {

Outcome checkList(Holmtex& form) {
    Outcome o(Operation::Check, Result::NotDone, Reason::Unfinished);
    o.list = dataFileName(ListKind::Aktuell);
    // Failing that, the end shows as damaged.
    if (const Recovery found = form.lists().finishAppend(form.filePath(o.list));
        found.ok() && !found.quiet()) {
        o.found = found;
        return o;
    }
    const std::filesystem::path checkFile = form.filePath(checkFileName());
    FileReplacement check(checkFile, workFileFor(checkFile), LinkRule::Replace);
    const ListFiles::Copy copied =
        form.lists().copyPages(ListKind::Aktuell, check, form.CurrentRecord);
    // check.dat holds the pages read, also those before a damaged end.
    FileResult written = copied.writeFailure;
    bool unsafe = false;  // check.dat is in place, its folder perhaps not on the disk
    if (copied.opened && written.ok()) {
        const ReplaceResult committed = check.commit();
        written = committed.failure;
        unsafe = committed.replaced;
    }
    // A missing list counts as damaged data; one that cannot be read says why.
    o.reason = Reason::Failed;
    if (copied.readFailure.error && copied.readFailure.error != ENOENT) {
        o.failure = copied.readFailure;
    } else if (!copied.opened || copied.damaged) {
        o.failure = {copied.opened ? kDamagedTail : ENOENT, o.list};
    } else {
        o.result = written.ok() ? Result::Done : Result::DoneBut;
        o.reason = written.ok() ? Reason::None : unsafe ? Reason::NotSafe : Reason::Failed;
        o.failure = written;
    }
    return o;
}

}  // namespace

void Holmtex::CheckData() {
    // Also from the word typed into Text1: the list must be whole first.
    settleLists();
    say(checkList(*this));
}

}  // namespace holmtex
