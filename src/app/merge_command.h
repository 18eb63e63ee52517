#pragma once
// holmtex --zusammenfuehren [ORDNER]: the pages of every conflict copy of the three lists
// taken in, as zusammenführen! does in the window, under the folder's lock.

#include <filesystem>
#include <string>

namespace holmtex {

struct MergeRun {
    int status = 0;        // 0; 1 when a copy or a list was left as it was, or the folder is busy
    std::string out, err;  // for standard output and standard error
};

MergeRun mergeSecondVersions(const std::filesystem::path& folder);

}  // namespace holmtex
