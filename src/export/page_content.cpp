#include "export/page_content.h"

namespace holmtex {

const char* listCaption(ListKind kind) {
    switch (kind) {
        case ListKind::Aktuell:
            return "AKTUELL";
        case ListKind::Archiv:
            return "ARCHIV";
        case ListKind::Allgemein:
            return "ALLGEMEIN";
    }
    return "";
}

std::string gedcomFileName(ListKind kind) {
    std::string name = dataFileName(kind);
    return name.substr(0, name.size() - 4) + ".ged";
}

bool hasText(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

bool familyHasEntry(const PageRecord& page, int f) {
    for (int n = childItem(1, f); n <= remarkItem(f); ++n)
        if (hasText(page.text(n))) return true;
    return false;
}

std::string plainLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    const std::size_t first = out.find_first_not_of(" \t\n");
    if (first == std::string::npos) return "";
    out.erase(out.find_last_not_of(" \t\n") + 1);
    out.erase(0, first);
    return out;
}

}  // namespace holmtex
