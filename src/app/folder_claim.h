#pragma once
// One Holmtex window per working folder.

#include <filesystem>

#include "window/platform.h"

namespace holmtex {

// Takes the working folder for this program until it ends. When another Holmtex window
// has it, says so in a message box and returns false; the caller then ends without having
// touched any file. A folder that cannot be locked at all (read-only) is taken as it is.
bool claimWorkFolder(const std::filesystem::path& folder, Platform& platform);

}  // namespace holmtex
