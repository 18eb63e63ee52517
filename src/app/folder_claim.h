#pragma once
// One Holmtex window per working folder.

#include <filesystem>

#include "window/platform.h"

namespace holmtex {

// Takes the working folder for this program until it ends; false when another Holmtex
// window has it. A folder that cannot be locked at all (read-only) is taken as it is.
bool lockWorkFolder(const std::filesystem::path& folder);

// Tells the user that another Holmtex window has the folder.
void sayWorkFolderBusy(Platform& platform);

}  // namespace holmtex
