#pragma once
// Writing whole files. Each returns 0 or the errno of the first failure; a failed fsync
// counts as a failed write.

#include <filesystem>
#include <string_view>

namespace holmtex {

// Empties the file (creating it) and writes the bytes: for work files only.
int writeWholeFile(const std::filesystem::path& path, std::string_view bytes);

// Gives the file the new bytes so that a crash leaves either the old or the new content:
// the bytes go to a temporary file beside it, which then takes the file's place.
int replaceFileContents(const std::filesystem::path& path, std::string_view bytes);

}  // namespace holmtex
