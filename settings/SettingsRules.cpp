// Settings file name and value rules.
#include "settings/SettingsRules.h"

#include <cstdint>

namespace settings {

namespace {

// One rule for ANSI and wide paths: only the separators, A to Z and "ini" are looked at,
// which are the same characters in both.
template <typename Char>
std::basic_string<Char> iniFileNameOf(std::basic_string_view<Char> exePath) {
    constexpr Char separators[] = {'\\', '/', ':', '\0'};
    constexpr Char extension[] = {'i', 'n', 'i', '\0'};
    size_t slash = exePath.find_last_of(separators);
    size_t nameStart = slash == std::basic_string_view<Char>::npos ? 0 : slash + 1;
    std::basic_string<Char> folder(exePath.substr(0, nameStart));
    std::basic_string<Char> name(exePath.substr(nameStart));
    for (Char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<Char>(c - 'A' + 'a');
    name.resize(name.size() >= 3 ? name.size() - 3 : 0);
    return folder + name + extension;
}

}  // namespace

std::string iniFileNameFor(std::string_view exePath) { return iniFileNameOf(exePath); }

std::wstring iniFileNameFor(std::wstring_view exePath) { return iniFileNameOf(exePath); }

std::optional<long> parseIniInteger(std::string_view text) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    bool negative = false;
    if (hex) {
        text.remove_prefix(2);
    } else if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (hex) return static_cast<long>(static_cast<int32_t>(static_cast<uint32_t>(value)));
    if (value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return std::nullopt;
    return negative ? -static_cast<long>(value) : static_cast<long>(value);
}

bool parseIniBool(std::string_view text, bool defaultValue) {
    std::optional<long> value = parseIniInteger(text);
    return value ? *value != 0 : defaultValue;
}

}  // namespace settings

namespace settings {

std::string leaveCheckBox(CheckBoxLeft box, Switches& checks) {
    switch (box) {
    case CheckBoxLeft::Stop:
        if (!checks.stopKeylog && (checks.enabledWhite || checks.enabledBlack)) {
            checks.enabledWhite = false;
            checks.enabledBlack = false;
        }
        return {};
    case CheckBoxLeft::White:
        if (checks.enabledWhite && !checks.stopKeylog) {
            checks.enabledWhite = false;
            return "Enable white process list must enabled stop key logger first";
        }
        return {};
    case CheckBoxLeft::Black:
        if (checks.enabledBlack && !checks.stopKeylog) {
            checks.enabledBlack = false;
            return "Enable black list must enabled stop key logger first";
        }
        return {};
    }
    return {};
}

}  // namespace settings
