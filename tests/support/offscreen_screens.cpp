#include "support/offscreen_screens.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

namespace holmtex::test {

OffscreenScreens::OffscreenScreens(std::initializer_list<OffscreenScreen> screens) {
    const char* asked = std::getenv("QT_QPA_PLATFORM");
    if (asked && *asked && std::string_view(asked) != "offscreen") return;
    file_ = std::filesystem::temp_directory_path() /
            ("holmtex-screens-" + std::to_string(::getpid()) + ".json");
    std::ofstream out(file_);
    out << "{\"screens\": [";
    const char* comma = "";
    for (const OffscreenScreen& s : screens) {
        out << comma << "{\"name\": \"" << s.name << "\", \"x\": " << s.x << ", \"y\": " << s.y
            << ", \"width\": " << s.width << ", \"height\": " << s.height
            << ", \"dpi\": 96, \"dpr\": 1}";
        comma = ", ";
    }
    out << "]}\n";
    ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file_.string()).c_str(), 1);
}

OffscreenScreens::~OffscreenScreens() {
    std::error_code ignored;
    if (!file_.empty()) std::filesystem::remove(file_, ignored);
}

}  // namespace holmtex::test
