#include "app/history_command.h"

#include "operations/messages.h"
#include "record/history.h"

namespace holmtex {

HistoryPrint printHistory(const std::filesystem::path& folder) {
    HistoryPrint print;
    const HistoryListing listing = History(folder).listing();
    if (!listing.read.ok()) {
        print.status = 1;
        print.err = msg::cliProblem(msg::historyUnreadable(listing.read.error));
        return print;
    }
    print.out = msg::historyHeading(folder.string());
    if (listing.changes.empty() && listing.unreadable.empty()) print.out += msg::historyEmpty();
    for (const RecordedChange& change : listing.changes)
        print.out += msg::historyLine(change, operationChange(listing, change));
    for (const std::string& entry : listing.unreadable)
        print.out += msg::historyEntryUnreadable(entry);
    return print;
}

}  // namespace holmtex
