// Where keys take the ordinary path whatever the gate would do: windows that do not take a
// posted character as typed input, and the programs the user listed for it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace keyguard {

// Whether a window of this class reads its typed text from key presses alone, so that a
// character handed to it as a message would be lost: the console windows of Windows and of
// Wine, and Windows Terminal (its frame and the child input window that has the focus).
bool readsKeyPressesOnly(std::string_view windowClass);

// The pass-through list: the file names of the programs whose windows get their keys the
// ordinary way, one a line as the program's other list files hold them (a line ends at CR, LF
// or CR LF; a NUL ends the text; lines are taken as they stand). Only the first kMaxBytes of
// a file count, and only kMaxNames names: no program's file name is longer than a path, and
// the list is the user's handful.
class PassList {
public:
    static constexpr std::size_t kMaxBytes = 64 * 1024;
    static constexpr std::size_t kMaxNames = 1024;

    // Whether two file names are the same program's: the system's comparison, case ignored.
    using Same = bool (*)(std::string_view listed, std::string_view name);

    void assign(std::string_view fileText);
    void clear() noexcept { names_.clear(); }
    bool contains(std::string_view name, Same same) const;
    std::size_t size() const noexcept { return names_.size(); }

private:
    std::vector<std::string> names_;
};

}  // namespace keyguard
