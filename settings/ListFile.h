// A process-list file beside the executable ("wl.txt", "bl.txt"): read into a list or an
// editor, and written from an editor.
#pragma once

#include <string>
#include <string_view>

#include "settings/ProcessList.h"

namespace settings {

constexpr const char* kWhiteListFile = "wl.txt";
constexpr const char* kBlackListFile = "bl.txt";

class ListFile {
public:
    explicit ListFile(std::string path) : path_(std::move(path)) {}
    // The file `name` in the executable's folder; the current directory plays no part.
    static ListFile besideExecutable(const char* name);

    const std::string& path() const noexcept { return path_; }

    // Whether a file (not a folder) of that name exists.
    bool exists() const;
    // The whole file; raises "Cannot open file <path>" or "Cannot read file <path>".
    std::string read() const;
    // Creates or replaces the file with exactly `text`. Raises "Cannot create file <path>"
    // when it cannot be created, "Cannot write file <path>" when writing fails.
    void write(std::string_view text) const;

    // Makes `list` the file's lines, or empty when there is no file. A file that cannot be
    // read raises and leaves `list` as it was.
    void loadInto(ProcessList& list) const;
    // What an editor shows of the file: its text with CR LF breaks, or nothing when there is
    // no file.
    std::string editorText() const;

private:
    std::string path_;
};

}  // namespace settings
