#pragma once
// Shared helpers of the tests: temporary folders and whole-file access.

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

#include "record/page_record.h"
#include "record/record_io.h"

namespace holmtex::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);  // "" when missing
void writeFile(const std::filesystem::path& file, std::string_view bytes);

// The bytes of the golden file tests/data/<name>, to compare what the program made with.
// With HOLMTEX_UPDATE_GOLDEN set, `made` is written there first: read every change in it
// before committing it.
std::string golden(const std::string& name, std::string_view made);

// Runs a shell command and gives what it printed on stdout; `status` gets its exit status.
std::string runCommand(const std::string& command, int* status = nullptr);
// Whether a program of that name is on the PATH.
bool toolInstalled(const std::string& name);

}  // namespace holmtex::test

namespace holmtex {
// Readable failure output for EXPECT_EQ on records and read results (found by ADL).
void PrintTo(const PageRecord& record, std::ostream* os);
void PrintTo(ReadStatus status, std::ostream* os);
}  // namespace holmtex
