#pragma once
// The fault library of fault_inject.cpp linked into a test program instead of preloaded:
// it then stands in front of the C library's file calls of the whole program and does
// nothing until a FaultScope sets it up.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern "C" void holmtex_fault_reload();

namespace holmtex::test {

// The library's settings while the scope lasts: names without "HOLMTEX_FAULT_" ("DIR",
// "CALLS", "AT", ...). Counting starts at once.
class FaultScope {
public:
    explicit FaultScope(std::vector<std::pair<std::string, std::string>> settings)
        : settings_(std::move(settings)) {
        for (const auto& [name, value] : settings_)
            ::setenv(("HOLMTEX_FAULT_" + name).c_str(), value.c_str(), 1);
        holmtex_fault_reload();
    }
    ~FaultScope() {
        for (const auto& [name, value] : settings_) ::unsetenv(("HOLMTEX_FAULT_" + name).c_str());
        holmtex_fault_reload();
    }
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

private:
    std::vector<std::pair<std::string, std::string>> settings_;
};

// The calls a trace file (the setting "TRACE") lists, as "kind name": "unlink zzz.txt".
inline std::vector<std::string> tracedCalls(const std::filesystem::path& trace) {
    std::vector<std::string> calls;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        // number kind mode name
        const std::size_t a = line.find(' '), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
        if (c != std::string::npos) calls.push_back(line.substr(a + 1, b - a) + line.substr(c + 1));
    }
    return calls;
}

}  // namespace holmtex::test
