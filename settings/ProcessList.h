// A white or black list of process names in memory: the file's lines in the file's order
// until the first lookup, which sorts them in place and then searches them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace settings {

class ProcessList {
public:
    // Three-way text comparison: negative, zero or positive as `a` sorts before, with or
    // after `b`. It must order consistently; the program's is the system's locale-aware
    // comparison with case ignored.
    using Compare = int (*)(std::string_view a, std::string_view b);

    explicit ProcessList(Compare compare) : compare_(compare) {}

    const std::vector<std::string>& lines() const noexcept { return lines_; }
    size_t count() const noexcept { return lines_.size(); }
    void assign(std::vector<std::string> lines) { lines_ = std::move(lines); }
    void clear() noexcept { lines_.clear(); }

    // Whether some line compares equal to `processName`. Sorts the list in place first (a
    // list of fewer than two lines is left as it is), then searches it by halves; so a
    // lookup changes the order of the lines, never their content.
    bool contains(std::string_view processName);

    // Sorts the lines in place by the comparison; a list that is already in order (one of
    // fewer than two lines, or one sorted by an earlier lookup) is left untouched, which
    // keeps the sort before every lookup cheap.
    void sort();

private:
    std::vector<std::string> lines_;
    Compare compare_;
};

}  // namespace settings
