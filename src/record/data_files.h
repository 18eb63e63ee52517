#pragma once
// The three list files and the safe ways of changing a file.

#include <filesystem>
#include <string>
#include <string_view>

#include "record/page_record.h"

namespace holmtex {

enum class ListKind { Aktuell, Archiv, Allgemein };

// "holmtex-aktuell.dat", "holmtex-archiv.dat", "holmtex-grund.dat".
const char* dataFileName(ListKind kind);

// Appends bytes to a file (created when missing), all or nothing: on any failure, the
// write and the fsync included, the file is cut back to its old length. Returns 0 or
// the errno of the failure.
int appendToFile(const std::filesystem::path& path, std::string_view bytes);

// The text of an errno in German, for the message line.
std::string describeError(int error);

}  // namespace holmtex
