#include "record/redo_file.h"

#include <bit>
#include <charconv>
#include <cstring>

namespace holmtex::redo {

namespace {

constexpr std::uint64_t kMultiplier = 0x9e3779b97f4a7c15ULL;

std::uint64_t mix(std::uint64_t h, std::uint64_t w) { return (std::rotl(h, 23) ^ w) * kMultiplier; }

std::string hex(std::uint64_t value) {
    char text[17];
    for (int i = 15; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 15];
    return std::string(text, 16);
}

// Reads the header's pieces from the front; every piece must be exactly where it belongs.
class Cursor {
public:
    explicit Cursor(std::string_view bytes) : all_(bytes), rest_(bytes) {}

    bool word(std::string_view w) {
        if (!rest_.starts_with(w)) return false;
        rest_.remove_prefix(w.size());
        return true;
    }
    // Decimal, without leading zeros.
    bool number(std::uint64_t& value) {
        const char* const begin = rest_.data();
        const auto [end, ec] = std::from_chars(begin, begin + rest_.size(), value);
        if (ec != std::errc() || end == begin || (*begin == '0' && end - begin > 1)) return false;
        rest_.remove_prefix(static_cast<std::size_t>(end - begin));
        return true;
    }
    bool checksum(std::uint64_t& value) {
        if (rest_.size() < 16) return false;
        value = 0;
        for (char c : rest_.substr(0, 16)) {
            const bool digit = c >= '0' && c <= '9', letter = c >= 'a' && c <= 'f';
            if (!digit && !letter) return false;
            value = value << 4 | static_cast<std::uint64_t>(digit ? c - '0' : c - 'a' + 10);
        }
        rest_.remove_prefix(16);
        return true;
    }
    // A bare file name of letters, digits, '.', '-' and '_', not starting with '.'.
    bool name(std::string& value) {
        const auto fits = [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '.' || c == '-' || c == '_';
        };
        std::size_t n = 0;
        while (n < rest_.size() && n < 64 && fits(rest_[n])) ++n;
        if (n == 0 || rest_[0] == '.') return false;
        value = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return true;
    }
    std::size_t done() const { return all_.size() - rest_.size(); }

private:
    std::string_view all_, rest_;
};

bool stepLine(Cursor& c, Header& h) {
    if (c.word("-")) return true;
    if (c.word("loeschen ")) {
        h.step = Step::Remove;
        return c.name(h.file) && c.word(" ") && c.number(h.size) && c.word(" ") &&
               c.checksum(h.sum);
    }
    h.step = Step::Replace;
    return c.word("ersetzen ") && c.name(h.file) && c.word(" ") && c.number(h.size) &&
           c.word(" ") && c.checksum(h.sum) && c.word(" ") && c.name(h.work) && c.word(" ") &&
           c.number(h.workSize) && c.word(" ") && c.checksum(h.workSum) && c.word(" ") &&
           c.name(h.backup);
}

}  // namespace

std::uint64_t checksum(std::string_view bytes, std::uint64_t from) {
    std::uint64_t h = from;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        h = mix(h, w);
    }
    for (; i < bytes.size(); ++i) h = mix(h, static_cast<unsigned char>(bytes[i]));
    return h;
}

std::uint64_t anchorSum(std::uint64_t oldSize, std::string_view before) {
    return checksum(before, checksum(std::to_string(oldSize) + "\n"));
}

std::string headerText(const Header& h) {
    std::string text = "holmtex-anhang 2\nliste ";
    text.append(h.create ? "neu " : "da ").append(std::to_string(h.oldSize)).append(" ");
    text.append(hex(h.anchor)).append("\nanhang ").append(std::to_string(h.newSize));
    text.append(" ").append(hex(h.newSum)).append("\ndanach ");
    const auto file = [&](const std::string& name, std::uint64_t size, std::uint64_t sum) {
        text.append(name).append(" ").append(std::to_string(size)).append(" ").append(hex(sum));
    };
    if (h.step == Step::None) text += "-";
    if (h.step == Step::Remove) {
        text += "loeschen ";
        file(h.file, h.size, h.sum);
    }
    if (h.step == Step::Replace) {
        text += "ersetzen ";
        file(h.file, h.size, h.sum);
        text += " ";
        file(h.work, h.workSize, h.workSum);
        text.append(" ").append(h.backup);
    }
    text += "\n";
    const std::uint64_t sum = checksum(text);
    return text.append("summe ").append(hex(sum)).append("\n");
}

std::optional<Header> parseHeader(std::string_view bytes) {
    Header h;
    Cursor c(bytes.substr(0, kHeaderLimit));
    if (!c.word("holmtex-anhang 2\nliste ")) return std::nullopt;
    h.create = c.word("neu ");
    if (!h.create && !c.word("da ")) return std::nullopt;
    if (!c.number(h.oldSize) || !c.word(" ") || !c.checksum(h.anchor) || !c.word("\nanhang ") ||
        !c.number(h.newSize) || !c.word(" ") || !c.checksum(h.newSum) || !c.word("\ndanach ") ||
        !stepLine(c, h) || !c.word("\n"))
        return std::nullopt;
    const std::size_t covered = c.done();
    std::uint64_t sum = 0;
    if (!c.word("summe ") || !c.checksum(sum) || !c.word("\n")) return std::nullopt;
    // A made list had no bytes before.
    if (sum != checksum(bytes.substr(0, covered)) || (h.create && h.oldSize != 0))
        return std::nullopt;
    h.length = c.done();
    return h;
}

}  // namespace holmtex::redo
