// What the benchmarks search: executable-like names, and an enciphered table of 100,000 of
// them with one C(64) tag "NAME", six levels deep, written with the engine's own writers.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dbf/core/XbaseText.h"
#include "dbf/index/CdxWriter.h"
#include "dbf/table/DbfWriter.h"

namespace bench {

// Two to four words of what executables are called.
inline std::string executableWords(std::mt19937& random) {
    static const char* const words[] = {"svc", "host", "key", "log", "win", "update", "agent", "mon", "spy", "task",
                                        "shell", "net", "hook", "sys", "guard", "capture", "helper", "tray", "run", "core"};
    std::string n;
    int parts = 2 + static_cast<int>(random() % 3);
    for (int p = 0; p < parts; ++p) n += words[random() % 20];
    return n;
}

// Upper-cases about one letter in `oneIn`, as process names come in mixed case.
inline void upperSome(std::string& n, std::mt19937& random, unsigned oneIn) {
    for (char& c : n)
        if (random() % oneIn == 0) c = dbf::upperAscii(c);
}

struct BenchTable {
    static constexpr int kRecords = 100000;
    static constexpr uint16_t kKeyLength = 64;

    std::filesystem::path dir;
    std::string table;                 // names.dbf, with names.cdx beside it
    std::vector<std::string> hits;     // every key, shuffled
    std::vector<std::string> misses;   // keys between the stored ones, shuffled
    int depth = 0;
    uint32_t leaves = 0;
    uintmax_t indexBytes = 0;
    bool keep = false;

    // Writes the table under `key` into a new temporary folder, or into `keepDir` (left in
    // place afterwards) when that is given.
    BenchTable(const std::string& key, const std::string& keepDir = {}) {
        keep = !keepDir.empty();
        dir = keep ? std::filesystem::path(keepDir)
                   : std::filesystem::temp_directory_path() /
                         ("ombrix-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(dir);
        table = (dir / "names.dbf").string();

        std::mt19937 random(650000);
        std::vector<std::string> names;
        names.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            std::string n = executableWords(random);
            n += std::to_string(random() % 100000) + '_' + std::to_string(i) + ".exe";
            upperSome(n, random, 3);
            names.push_back(n);
        }
        dbf::DbfWriter w({{"NAME", 'C', kKeyLength, 0}});
        dbf::CdxTagDefinition tag;
        tag.name = "NAME";
        tag.keyExpression = "NAME";
        tag.keyLength = kKeyLength;
        for (int i = 0; i < kRecords; ++i) {
            w.addRecord({names[static_cast<size_t>(i)]});
            tag.keys.emplace_back(names[static_cast<size_t>(i)], i + 1);
        }
        w.setTableFlags(0x01);
        w.write(table, key);
        dbf::CdxWriter x;
        x.addTag(tag);
        x.write((dir / "names.cdx").string(), key);
        depth = x.layout()[0].depth;
        leaves = x.layout()[0].leaves;
        indexBytes = std::filesystem::file_size(dir / "names.cdx");

        // Keys are copied in the shuffled order, so that both lists lie in memory in the
        // order they are searched, as a keys file does.
        std::vector<int> order(kRecords);
        for (int i = 0; i < kRecords; ++i) order[static_cast<size_t>(i)] = i;
        std::shuffle(order.begin(), order.end(), random);
        hits.reserve(kRecords);
        misses.reserve(kRecords);
        for (int i : order) hits.push_back(names[static_cast<size_t>(i)]);
        for (const auto& n : hits) misses.push_back(n.substr(0, n.size() - 4) + "#");
    }
    ~BenchTable() {
        std::error_code ec;
        if (!keep) std::filesystem::remove_all(dir, ec);
    }
    BenchTable(const BenchTable&) = delete;
    BenchTable& operator=(const BenchTable&) = delete;
};

}  // namespace bench
