// The pass-through list "pl.txt" beside the executable: the programs whose typed keys take the
// ordinary path instead of the encrypted one. The keyboard-encryption library reads the file
// itself and notices when it changes, so the program keeps no copy: each question reads the
// file, and each change writes it whole.
#pragma once

#include <string>
#include <string_view>

#include "settings/ListFile.h"

namespace settings {

class PassThroughList {
public:
    explicit PassThroughList(ListFile file) : file_(std::move(file)) {}
    static PassThroughList besideExecutable() {
        return PassThroughList(ListFile::besideExecutable(kPassThroughListFile));
    }

    const ListFile& file() const noexcept { return file_; }

    // Whether a line names the program: compared as the white list compares, the whole line
    // with the executable's file name, letter case ignored. No file holds no name. Raises as
    // ListFile::read does.
    bool holds(std::string_view programName) const;
    // Makes the name the file's new last line, creating the file, unless a line names it
    // already. Raises as ListFile::replace does, the file unchanged.
    void add(std::string_view programName) const;
    // Removes every line that names the program and leaves the rest as it was.
    void remove(std::string_view programName) const;

private:
    std::string text() const;

    ListFile file_;
};

}  // namespace settings
