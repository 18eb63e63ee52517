#pragma once
// holmtex --verlauf [ORDNER]: what the history of the lists holds, newest first, without a
// window and without taking the folder: it only reads.

#include <filesystem>
#include <string>

namespace holmtex {

struct HistoryPrint {
    int status = 0;        // 0, or 1 when the history cannot be read
    std::string out, err;  // for standard output and standard error
};

HistoryPrint printHistory(const std::filesystem::path& folder);

}  // namespace holmtex
