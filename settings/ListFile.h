// A process-list file beside the executable ("wl.txt", "bl.txt", "pl.txt"): read into a list
// or an editor, and written from an editor. The path is wide (the executable's folder may
// have a name that the ANSI code page cannot hold); the file's text is ANSI.
#pragma once

#include <string>
#include <string_view>

#include "settings/ProcessList.h"

namespace settings {

constexpr const char* kWhiteListFile = "wl.txt";
constexpr const char* kBlackListFile = "bl.txt";
// The pass-through list, which the keyboard-encryption library reads itself.
constexpr const char* kPassThroughListFile = "pl.txt";

class ListFile {
public:
    explicit ListFile(std::wstring path) : path_(std::move(path)) {}
    // An ANSI path, as the program's texts are.
    explicit ListFile(const std::string& path);
    // The file `name` in the executable's folder; the current directory plays no part.
    static ListFile besideExecutable(const char* name);

    const std::wstring& widePath() const noexcept { return path_; }
    // The path as the program's messages show it: ANSI, as best the code page can.
    std::string path() const;

    // Whether a file (not a folder) of that name exists.
    bool exists() const;
    // The whole file; raises "Cannot open file <path>" or "Cannot read file <path>". The
    // messages show the path as best the ANSI code page can.
    std::string read() const;
    // Creates or replaces the file with exactly `text`. Raises "Cannot create file <path>"
    // when it cannot be created, "Cannot write file <path>" when writing fails.
    void write(std::string_view text) const;
    // The same, for a file that another process reads while it changes: the text goes to a
    // new file beside it, which then takes its place, so that a reader finds the old text or
    // the new one and never a part. Raises as `write` does, with this file's path; the new
    // file is gone again when it could not take the place.
    void replace(std::string_view text) const;

    // Makes `list` the file's lines, or empty when there is no file. A file that cannot be
    // read raises and leaves `list` as it was.
    void loadInto(ProcessList& list) const;
    // What an editor shows of the file: its text with CR LF breaks, or nothing when there is
    // no file.
    std::string editorText() const;

private:
    std::wstring path_;
};

}  // namespace settings
