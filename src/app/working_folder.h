#pragma once
// The folder the program keeps its lists and all other files in.

#include <filesystem>
#include <optional>
#include <string>

namespace holmtex {

// The name of the folder in the documents folder that a start from the home folder uses.
inline constexpr const char* kDocumentsSubfolder = "Holmtex Notiz";

struct WorkingFolder {
    std::filesystem::path folder;  // set when the folder can be used
    std::string error;             // else a German sentence why not
};

// The folder argument when there is one (it must exist); else the current folder, except
// when that is the home folder, as a menu start gives it: then the program's own folder in
// the documents folder, created here, so that no file lands in the home folder.
WorkingFolder chooseWorkingFolder(const std::optional<std::filesystem::path>& argument,
                                  const std::filesystem::path& current,
                                  const std::filesystem::path& home,
                                  const std::filesystem::path& documents);

}  // namespace holmtex
