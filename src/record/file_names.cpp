#include "record/file_names.h"

namespace holmtex {

namespace {

// In the order of ListKind.
struct ListFiles {
    const char* data;
    const char* backup;
};
constexpr ListFiles kListFiles[] = {
    {"holmtex-aktuell.dat", "holmtex-aktuell.bak"},
    {"holmtex-archiv.dat", "holmtex-archiv.bak"},
    {"holmtex-grund.dat", "holmtex-grund.bak"},
};

}  // namespace

const char* dataFileName(ListKind kind) { return kListFiles[static_cast<int>(kind)].data; }

const char* backupFileName(ListKind kind) { return kListFiles[static_cast<int>(kind)].backup; }

const char* transferFileName() { return "holmtex-trans.txt"; }
const char* emptyListTemplateName() { return "holmtex-leer.dat"; }
const char* listWorkFileName() { return "fam-erg3.txt"; }
const char* checkFileName() { return "check.dat"; }
const char* rescueFileName() { return "holmtex-letzter Eintrag.txt"; }
const char* pageTextDraftName() { return "zzz.txt"; }
const char* pageTextResultName() { return "z1.txt"; }
const char* folderLockName() { return "holmtex.lock"; }
const char* historyFolderName() { return "holmtex-verlauf"; }

std::filesystem::path workFileFor(const std::filesystem::path& target) {
    std::filesystem::path work = target;
    work += ".neu";
    return work;
}

std::string_view listStem(ListKind kind) {
    std::string_view list = dataFileName(kind);  // "holmtex-aktuell.dat"
    list.remove_suffix(4);
    return list;
}

std::string restFileName(ListKind kind, std::string_view stamp) {
    std::string name(listStem(kind));
    return name.append("-rest-").append(stamp).append(".txt");
}

std::string mergedCopyName(std::string_view copyName) {
    return std::string(copyName).append(".zusammengefuehrt");
}

std::string pageTextFileName(std::string_view processNumber, std::string_view stamp) {
    std::string name = "Text_";
    return name.append(processNumber).append("_").append(stamp).append(".txt");
}

std::string familySheetFileName(std::string_view processNumber, std::string_view stamp) {
    std::string name = "Familienblatt_";
    return name.append(processNumber).append("_").append(stamp).append(".pdf");
}

bool fitsAFileName(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) return false;
        if (std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    }
    return true;
}

}  // namespace holmtex
