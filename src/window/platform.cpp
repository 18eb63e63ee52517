#include "window/platform.h"

#include <cstdio>

namespace holmtex {

std::string germanDate(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
    return buf;
}

std::string germanTime(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

bool ScriptedPlatform::askYesNo(const std::string& title, const std::string& text) {
    shown.push_back({"yesno", title, text});
    if (answers.empty()) return true;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void ScriptedPlatform::showMessage(const std::string& title, const std::string& text) {
    shown.push_back({"ok", title, text});
}

bool ScriptedPlatform::startProgram(const std::filesystem::path& program,
                                    const std::filesystem::path&) {
    started.push_back(program);
    return startSucceeds;
}

}  // namespace holmtex
