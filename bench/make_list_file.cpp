// make_list_file N PATH: writes a list file of N made-up pages to PATH.
#include <charconv>
#include <cstdio>
#include <string_view>

#include "list_gen.h"

int main(int argc, char** argv) {
    std::size_t count = 0;
    if (argc == 3) {
        const std::string_view arg = argv[1];
        auto [end, error] = std::from_chars(arg.data(), arg.data() + arg.size(), count);
        if (error != std::errc() || end != arg.data() + arg.size()) argc = 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_list_file N PATH\n");
        return 2;
    }
    if (!holmtex::bench::writeListFile(argv[2], count)) {
        std::fprintf(stderr, "make_list_file: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
