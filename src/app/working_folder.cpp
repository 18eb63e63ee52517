#include "app/working_folder.h"

#include <system_error>

#include "record/data_files.h"

namespace holmtex {

namespace {

std::string quoted(const std::filesystem::path& path) { return "„" + path.string() + "“"; }

}  // namespace

WorkingFolder chooseWorkingFolder(const std::optional<std::filesystem::path>& argument,
                                  const std::filesystem::path& current,
                                  const std::filesystem::path& home,
                                  const std::filesystem::path& documents) {
    if (argument && argument->empty()) return {{}, "Der Ordnername ist leer."};
    if (current.empty() && !(argument && argument->is_absolute()))
        return {{}, "Der aktuelle Ordner ist nicht erreichbar."};
    std::error_code ec;
    if (argument) {
        const std::filesystem::path folder =
            argument->is_absolute() ? *argument : current / *argument;
        const auto status = std::filesystem::status(folder, ec);
        if (!std::filesystem::exists(status)) {
            if (ec && ec != std::errc::no_such_file_or_directory)
                return {{},
                        "Der Ordner " + quoted(*argument) +
                            " ist nicht erreichbar: " + describeError(ec.value()) + "."};
            return {{}, "Den Ordner " + quoted(*argument) + " gibt es nicht."};
        }
        if (!std::filesystem::is_directory(status))
            return {{}, quoted(*argument) + " ist kein Ordner."};
        return {folder, {}};
    }
    if (home.empty() || !std::filesystem::equivalent(current, home, ec)) return {current, {}};

    const std::filesystem::path folder =
        (documents.empty() ? home / "Documents" : documents) / kDocumentsSubfolder;
    std::filesystem::create_directories(folder, ec);
    std::error_code statusError;
    const auto status = std::filesystem::status(folder, statusError);
    if (std::filesystem::is_directory(status)) return {folder, {}};
    if (std::filesystem::exists(status)) return {{}, quoted(folder) + " ist kein Ordner."};
    return {{},
            "Der Ordner " + quoted(folder) + " konnte nicht angelegt werden: " +
                describeError((ec ? ec : statusError).value()) + "."};
}

}  // namespace holmtex
