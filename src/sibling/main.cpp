// krumo-34: turns the page lines of zzz.txt into the readable text z1.txt.
// zzz.txt holds one double-quoted text per line (a text may span several lines);
// z1.txt gets the same texts without their quotes, each ended by CR LF, in the same
// 8-bit code page. Started in the folder that holds zzz.txt.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main() {
    std::ifstream in("zzz.txt", std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "krumo-34: zzz.txt fehlt oder kann nicht gelesen werden\n");
        return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::fprintf(stderr, "krumo-34: zzz.txt kann nicht gelesen werden\n");
        return 1;
    }

    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes[pos] == '\r' || bytes[pos] == '\n') {  // stray line ends between texts
            ++pos;
            continue;
        }
        if (bytes[pos] == '"') {
            const std::size_t close = bytes.find('"', pos + 1);
            const std::size_t end = close == std::string::npos ? bytes.size() : close;
            out.append(bytes, pos + 1, end - pos - 1);
            pos = close == std::string::npos ? bytes.size() : close + 1;
        } else {  // a line without quotes is taken as it stands
            const std::size_t end = bytes.find_first_of("\r\n", pos);
            const std::size_t stop = end == std::string::npos ? bytes.size() : end;
            out.append(bytes, pos, stop - pos);
            pos = stop;
        }
        // Skip the rest of the line after the text.
        while (pos < bytes.size() && bytes[pos] != '\r' && bytes[pos] != '\n') ++pos;
        if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
        out.append("\r\n");
    }

    // Written under another name first, so z1.txt is never seen half written.
    {
        std::ofstream file("z1.txt.tmp", std::ios::binary | std::ios::trunc);
        file.write(out.data(), static_cast<std::streamsize>(out.size()));
        file.close();
        if (!file) {
            std::fprintf(stderr, "krumo-34: z1.txt kann nicht geschrieben werden\n");
            std::remove("z1.txt.tmp");
            return 2;
        }
    }
    if (std::rename("z1.txt.tmp", "z1.txt") != 0) {
        std::fprintf(stderr, "krumo-34: z1.txt kann nicht geschrieben werden\n");
        std::remove("z1.txt.tmp");
        return 2;
    }
    return 0;
}
