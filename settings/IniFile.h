// The settings file through the system's private-profile services.
#pragma once

#include <string>

namespace settings {

class IniFile {
public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    const std::string& path() const noexcept { return path_; }

    // Reads at most 2048 characters; a missing file or key gives `defaultValue`.
    std::string readString(const char* section, const char* key, const std::string& defaultValue) const;
    bool readBool(const char* section, const char* key, bool defaultValue) const;

    // Raises std::runtime_error "Unable to write to <path>" when the system cannot write.
    void writeString(const char* section, const char* key, const std::string& value) const;
    void writeBool(const char* section, const char* key, bool value) const;

private:
    std::string path_;
};

}  // namespace settings
