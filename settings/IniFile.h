// The settings file through the system's private-profile services. Its path is wide, so that
// it opens in a folder whose name the ANSI code page cannot hold; its sections, keys and
// values are the program's ANSI texts, and the file stays ANSI.
#pragma once

#include <string>

namespace settings {

class IniFile {
public:
    explicit IniFile(std::wstring path) : path_(std::move(path)) {}
    const std::wstring& path() const noexcept { return path_; }

    // Reads at most 2048 characters; a missing file or key gives `defaultValue`.
    std::string readString(const char* section, const char* key, const std::string& defaultValue) const;
    bool readBool(const char* section, const char* key, bool defaultValue) const;

    // Raises std::runtime_error "Unable to write to <path>" when the system cannot write; the
    // path shown as best the ANSI code page can.
    void writeString(const char* section, const char* key, const std::string& value) const;
    void writeBool(const char* section, const char* key, bool value) const;

private:
    std::wstring path_;
};

}  // namespace settings
