#include "app/folder_claim.h"

#include "operations/messages.h"
#include "record/folder_lock.h"

namespace holmtex {

bool lockWorkFolder(const std::filesystem::path& folder) {
    // Held until the process ends; the system lets go of it however the process ends.
    static FolderLock held;
    FolderLock lock = FolderLock::take(folder);
    if (lock.state() == FolderLock::State::Busy) return false;
    held = std::move(lock);
    return true;
}

void sayWorkFolderBusy(Platform& platform) {
    platform.showMessage(msg::doubleStartTitle(), msg::doubleStart());
}

}  // namespace holmtex
