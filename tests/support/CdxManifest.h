// Test helper: the manifests beside the CDX fixtures (NAME.txt), which list every tag and
// its keys in the order an independent engine walked them.
#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

struct ManifestKey {
    uint32_t recNo = 0;
    std::string text;
};

struct ManifestTag {
    std::string name;
    std::string expression;
    std::string forExpression;
    char keyType = 'C';
    int keyLength = 0;
    bool unique = false;
    bool descending = false;
    std::vector<ManifestKey> keys;
};

struct Manifest {
    std::string fixture;
    std::vector<uint32_t> deleted;
    std::vector<ManifestTag> tags;
    uint32_t recordCount = 0;

    const ManifestTag& tag(const std::string& name) const {
        for (const auto& t : tags)
            if (t.name == name) return t;
        throw std::runtime_error("manifest has no tag " + name);
    }
};

inline std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        size_t tab = line.find('\t', at);
        parts.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos) break;
        at = tab + 1;
    }
    return parts;
}

inline Manifest readManifest(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    Manifest m;
    std::string line;
    ManifestTag* tag = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> p = splitTabs(line);
        const std::string& k = p[0];
        std::string v = p.size() > 1 ? p[1] : std::string();
        if (k == "fixture") m.fixture = v;
        else if (k == "dbf_reccount") m.recordCount = static_cast<uint32_t>(std::stoul(v));
        else if (k == "deleted") m.deleted.push_back(static_cast<uint32_t>(std::stoul(v)));
        else if (k == "tag") {
            m.tags.emplace_back();
            tag = &m.tags.back();
            tag->name = v;
        } else if (tag && k == "tag_expr") tag->expression = v;
        else if (tag && k == "tag_for") tag->forExpression = v;
        else if (tag && k == "tag_keytype") tag->keyType = v.empty() ? 'C' : v[0];
        else if (tag && k == "tag_keylen") tag->keyLength = std::stoi(v);
        else if (tag && k == "tag_unique") tag->unique = v == "1";
        else if (tag && k == "tag_descending") tag->descending = v == "1";
        else if (tag && k == "K") tag->keys.push_back({static_cast<uint32_t>(std::stoul(v)), p.size() > 2 ? p[2] : ""});
    }
    return m;
}

}  // namespace testsupport
