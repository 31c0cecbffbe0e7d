// The alias list: a small INI reader for one section, and the directory rule.
#include "dbf/dataset/TableAliases.h"

#include <fstream>
#include <iterator>

#include "dbf/core/SystemFolders.h"
#include "dbf/core/XbaseText.h"

namespace dbf {

namespace {

// An alias file is a few lines; anything longer is not one, and is not read whole.
constexpr std::streamsize kMaxFileBytes = 1 << 20;

// Blanks and tabs around a line and its parts go, and a line end's CR.
std::string_view trimmed(std::string_view s) noexcept { return trimLeft(trimRight(s, " \t\r"), " \t"); }

}  // namespace

TableAliases TableAliases::parse(std::string_view iniText) {
    TableAliases aliases;
    bool inSection = false;
    while (!iniText.empty()) {
        size_t end = iniText.find('\n');
        std::string_view line = trimmed(iniText.substr(0, end));
        iniText.remove_prefix(end == std::string_view::npos ? iniText.size() : end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            inSection = close != std::string_view::npos && equalNoCase(trimmed(line.substr(1, close - 1)), kSection);
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view name = trimmed(line.substr(0, eq));
        if (name.empty() || aliases.find(name)) continue;
        aliases.entries_.emplace_back(std::string(name), std::string(trimmed(line.substr(eq + 1))));
    }
    return aliases;
}

TableAliases TableAliases::fromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(static_cast<size_t>(kMaxFileBytes), '\0');
    in.read(text.data(), kMaxFileBytes);
    text.resize(static_cast<size_t>(in.gcount()));
    return parse(text);
}

const TableAliases& TableAliases::system() {
    static const TableAliases aliases = [] {
        std::string folder = windowsFolder();
        return folder.empty() ? TableAliases{} : fromFile(folder + kFileName);
    }();
    return aliases;
}

const std::string* TableAliases::find(std::string_view name) const noexcept {
    for (const auto& [alias, directory] : entries_)
        if (equalNoCase(alias, name)) return &directory;
    return nullptr;
}

std::string TableAliases::directoryFor(std::string_view databaseName, const std::string& executableFolder) const {
    std::string directory;
    if (equalNoCase(databaseName, kDefaultDirectory))
        directory = executableFolder;
    else if (const std::string* aliased = find(databaseName))
        directory = *aliased;
    else
        directory = std::string(databaseName);
    if (!directory.empty() && directory.back() != '\\' && directory.back() != '/') directory += pathSeparator();
    return directory;
}

}  // namespace dbf
