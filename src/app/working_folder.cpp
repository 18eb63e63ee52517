#include "app/working_folder.h"

#include <system_error>

#include "operations/messages.h"

namespace holmtex {

WorkingFolder chooseWorkingFolder(const std::optional<std::filesystem::path>& argument,
                                  const std::filesystem::path& current,
                                  const std::filesystem::path& home,
                                  const std::filesystem::path& documents) {
    if (argument && argument->empty()) return {{}, msg::folderNameEmpty()};
    if (current.empty() && !(argument && argument->is_absolute()))
        return {{}, msg::currentFolderUnreachable()};
    std::error_code ec;
    if (argument) {
        const std::filesystem::path folder =
            argument->is_absolute() ? *argument : current / *argument;
        const auto status = std::filesystem::status(folder, ec);
        if (!std::filesystem::exists(status)) {
            if (ec && ec != std::errc::no_such_file_or_directory)
                return {{}, msg::folderUnreachable(argument->string(), ec.value())};
            return {{}, msg::folderMissing(argument->string())};
        }
        if (!std::filesystem::is_directory(status))
            return {{}, msg::notAFolder(argument->string())};
        return {folder, {}};
    }
    if (home.empty() || !std::filesystem::equivalent(current, home, ec)) return {current, {}};

    const std::filesystem::path folder =
        (documents.empty() ? home / "Documents" : documents) / kDocumentsSubfolder;
    std::filesystem::create_directories(folder, ec);
    std::error_code statusError;
    const auto status = std::filesystem::status(folder, statusError);
    if (std::filesystem::is_directory(status)) return {folder, {}};
    if (std::filesystem::exists(status)) return {{}, msg::notAFolder(folder.string())};
    return {{}, msg::folderNotMade(folder.string(), (ec ? ec : statusError).value())};
}

}  // namespace holmtex
