#include "app/folder_claim.h"

#include "record/folder_lock.h"

namespace holmtex {

bool claimWorkFolder(const std::filesystem::path& folder, Platform& platform) {
    // Held until the process ends; the system lets go of it however the process ends.
    static FolderLock held;
    FolderLock lock = FolderLock::take(folder);
    if (lock.state() == FolderLock::State::Busy) {
        platform.showMessage("  D O P P E L S T A R T   ",
                             "Dieser Programmordner ist schon in einem anderen Holmtex-Fenster "
                             "geöffnet. Bitte dort weiterarbeiten.");
        return false;
    }
    held = std::move(lock);
    return true;
}

}  // namespace holmtex
