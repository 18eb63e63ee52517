#pragma once
// Lines of text kept in one piece of memory: a list of tens of thousands of lines costs a
// few allocations, not one per line.

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace holmtex {

class LineList {
public:
    LineList() = default;
    LineList(std::initializer_list<std::string_view> lines);
    LineList(const std::vector<std::string>& lines);  // NOLINT: lists are given either way

    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }
    std::string_view at(std::size_t i) const;  // throws std::out_of_range past the end
    std::string_view front() const { return (*this)[0]; }
    std::string_view back() const { return (*this)[size() - 1]; }

    void push_back(std::string_view line) {
        text_.append(line);
        ends_.push_back(text_.size());
    }
    // A line made in place: append its text to the string openLine() gives, then call
    // closeLine().
    std::string& openLine() { return text_; }
    void closeLine() { ends_.push_back(text_.size()); }
    // Adds the lines of another list at the end.
    void append(const LineList& other);

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        const_iterator(const LineList* list, std::size_t at) : list_(list), at_(at) {}
        std::string_view operator*() const { return (*list_)[at_]; }
        const_iterator& operator++() {
            ++at_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++at_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return at_ == other.at_; }

    private:
        const LineList* list_ = nullptr;
        std::size_t at_ = 0;
    };
    using iterator = const_iterator;
    using value_type = std::string_view;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    bool operator==(const LineList& other) const {
        return ends_ == other.ends_ && text_ == other.text_;
    }
    friend bool operator==(const LineList& list, const std::vector<std::string>& lines);

private:
    std::string text_;               // the lines one after the other
    std::vector<std::size_t> ends_;  // line i ends at ends_[i] and begins where line i-1 ends
};

}  // namespace holmtex
