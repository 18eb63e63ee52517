#include "app/merge_command.h"

#include "app/folder_claim.h"
#include "operations/messages.h"
#include "record/conflict_copies.h"
#include "record/list_files.h"

namespace holmtex {

MergeRun mergeSecondVersions(const std::filesystem::path& folder) {
    MergeRun run;
    // A window on the folder may be appending right now.
    if (!lockWorkFolder(folder)) {
        run.status = 1;
        run.err = msg::cliProblem(msg::cliMergeBusy());
        return run;
    }
    const ConflictCopies found = findConflictCopies(folder);
    if (!found.failure.ok()) {
        run.status = 1;
        run.err = msg::cliProblem(msg::reason(found.failure));
        return run;
    }
    ListFiles lists(folder);
    bool any = false;
    for (ListKind list : {ListKind::Aktuell, ListKind::Archiv, ListKind::Allgemein}) {
        if (!found.any(list)) continue;
        any = true;
        const Outcome merged = lists.merge(list);
        if (merged.result == Result::Done) {
            run.out += msg::cliMerged(merged) + "\n";
        } else {
            run.err += msg::cliProblem(msg::cliMerged(merged));
            run.status = 1;
        }
    }
    if (!any) run.out = msg::cliNothingToMerge();
    return run;
}

}  // namespace holmtex
