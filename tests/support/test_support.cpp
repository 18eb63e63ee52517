#include "support/test_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace holmtex::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "holmtex-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string golden(const std::string& name, std::string_view made) {
    const std::filesystem::path file = std::filesystem::path(HOLMTEX_TEST_DATA) / name;
    if (std::getenv("HOLMTEX_UPDATE_GOLDEN")) {
        std::filesystem::create_directories(file.parent_path());
        writeFile(file, made);
    }
    return readFile(file);
}

std::string runCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return out;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int raw = ::pclose(pipe);
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

bool toolInstalled(const std::string& name) {
    int status = 0;
    runCommand("command -v '" + name + "' >/dev/null 2>&1", &status);
    return status == 0;
}

}  // namespace holmtex::test

namespace holmtex {

void PrintTo(const PageRecord& record, std::ostream* os) {
    *os << "{";
    for (int n = 1; n <= kItemCount; ++n) {
        *os << (n > 1 ? " " : "") << n << "=";
        if (record.has(n))
            *os << '"' << record.text(n) << '"';
        else
            *os << "absent";
    }
    *os << "}";
}

void PrintTo(ReadStatus status, std::ostream* os) {
    *os << (status == ReadStatus::Record ? "Record"
            : status == ReadStatus::End  ? "End"
                                         : "Damaged");
}

}  // namespace holmtex
