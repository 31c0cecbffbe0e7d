// Test helper: the manifests (NAME.txt) that describe each fixture table and index exactly,
// and the paths of the fixtures.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

// The folder of the CDX fixtures (OMBRIX_FIXTURES/cdx).
inline std::filesystem::path cdxFixtures() { return std::filesystem::path(OMBRIX_FIXTURES) / "cdx"; }
inline std::string cdxFixture(const std::string& file) { return (cdxFixtures() / file).string(); }

// The fixture names (NAME of NAME.dbf), in name order.
inline std::vector<std::string> cdxFixtureNames() {
    return {"a_tiny", "b_multi", "c_dups", "d_key240", "e_names50k", "e_names5k", "f_empty", "g_vfp", "h_char300"};
}

struct ManifestField {
    std::string name;
    char type = 0;
    unsigned length = 0;
    unsigned decimals = 0;
    unsigned rawLength = 0;
    unsigned rawDecimals = 0;
    unsigned offset = 0;
};

struct ManifestKey {
    unsigned recNo = 0;
    std::string text;
};

struct ManifestTag {
    std::string name;
    std::string expression;
    std::string forExpression;
    char keyType = 0;
    unsigned keyLength = 0;
    bool unique = false;
    bool descending = false;
    std::vector<ManifestKey> keys;
};

struct Manifest {
    std::string fixture;
    unsigned version = 0;
    unsigned recordCount = 0;
    unsigned headerLength = 0;
    unsigned recordLength = 0;
    unsigned flags = 0;
    std::vector<ManifestField> fields;
    std::vector<unsigned> deleted;
    std::vector<ManifestTag> tags;
};

inline std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return parts;
        start = tab + 1;
    }
}

inline Manifest readManifest(const std::string& name) {
    std::ifstream in(cdxFixture(name + ".txt"), std::ios::binary);
    if (!in) throw std::runtime_error("no manifest for " + name);
    Manifest m;
    std::string line;
    ManifestTag* tag = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        auto p = splitTabs(line);
        const std::string& k = p[0];
        auto arg = [&](size_t i) { return i < p.size() ? p[i] : std::string(); };
        auto num = [&](size_t i) { return static_cast<unsigned>(std::stoul(arg(i), nullptr, 0)); };
        if (k == "fixture") m.fixture = arg(1);
        else if (k == "dbf_version") m.version = num(1);
        else if (k == "dbf_reccount") m.recordCount = num(1);
        else if (k == "dbf_headerlen") m.headerLength = num(1);
        else if (k == "dbf_recordlen") m.recordLength = num(1);
        else if (k == "dbf_flags") m.flags = num(1);
        else if (k == "field")
            m.fields.push_back({arg(1), arg(2).empty() ? '\0' : arg(2)[0], num(3), num(4), num(5), num(6), num(7)});
        else if (k == "deleted") m.deleted.push_back(num(1));
        else if (k == "tag") {
            m.tags.emplace_back();
            tag = &m.tags.back();
            tag->name = arg(1);
        } else if (tag && k == "tag_expr") tag->expression = arg(1);
        else if (tag && k == "tag_for") tag->forExpression = arg(1);
        else if (tag && k == "tag_keytype") tag->keyType = arg(1).empty() ? '\0' : arg(1)[0];
        else if (tag && k == "tag_keylen") tag->keyLength = num(1);
        else if (tag && k == "tag_unique") tag->unique = num(1) != 0;
        else if (tag && k == "tag_descending") tag->descending = num(1) != 0;
        else if (tag && k == "K") tag->keys.push_back({num(1), arg(2)});
        else if (k == "end_tag") tag = nullptr;
    }
    return m;
}

}  // namespace testsupport
