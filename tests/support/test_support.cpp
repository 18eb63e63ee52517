#include "support/test_support.h"

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
