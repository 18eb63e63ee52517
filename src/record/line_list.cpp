#include "record/line_list.h"

#include <stdexcept>

namespace holmtex {

LineList::LineList(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) push_back(line);
}

LineList::LineList(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) push_back(line);
}

std::string_view LineList::at(std::size_t i) const {
    if (i >= size()) throw std::out_of_range("LineList::at");
    return (*this)[i];
}

void LineList::append(const LineList& other) {
    const std::size_t base = text_.size();
    text_ += other.text_;
    ends_.reserve(ends_.size() + other.ends_.size());
    for (std::size_t end : other.ends_) ends_.push_back(base + end);
}

bool operator==(const LineList& list, const std::vector<std::string>& lines) {
    if (list.size() != lines.size()) return false;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (list[i] != lines[i]) return false;
    return true;
}

}  // namespace holmtex
