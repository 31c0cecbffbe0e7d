// Speed of the CDX index on the shape the program searches: an enciphered table of
// 100,000 executable-like names with one C(64) tag, six levels deep. Measures opening the
// table, the index and the tag; FindKey for hits and misses; a full walk in key order; and
// `ombrix-db seek --keys-from` over 100,000 keys as one process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "CdxWriter.h"
#include "DBO_dBHandler.h"
#include "DbfWriter.h"

namespace {

constexpr int kRecords = 100000;
constexpr uint16_t kKeyLength = 64;
const std::string kKey = "Ombrix-bench-key";

struct BenchData {
    std::filesystem::path dir;
    std::string table;
    std::vector<std::string> hits;     // every key, shuffled
    std::vector<std::string> misses;   // keys between the stored ones, shuffled
    int depth = 0;
    uint32_t leaves = 0;
    uintmax_t indexBytes = 0;

    bool keep = false;

    BenchData() {
        if (!keepDir().empty()) {
            dir = keepDir();
            keep = true;
        } else {
            dir = std::filesystem::temp_directory_path() /
                  ("ombrix-cdx-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        }
        std::filesystem::create_directories(dir);
        table = (dir / "names.dbf").string();

        std::mt19937 random(650000);
        const char* const words[] = {"svc", "host", "key", "log", "win", "update", "agent", "mon", "spy", "task",
                                     "shell", "net", "hook", "sys", "guard", "capture", "helper", "tray", "run", "core"};
        std::vector<std::string> names;
        names.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            std::string n;
            int parts = 2 + static_cast<int>(random() % 3);
            for (int p = 0; p < parts; ++p) n += words[random() % 20];
            n += std::to_string(random() % 100000);
            n += '_' + std::to_string(i);
            n += ".exe";
            for (char& c : n)
                if (random() % 3 == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            names.push_back(n);
        }
        dbf::DbfWriter w({{"NAME", 'C', kKeyLength, 0}});
        dbf::CdxTagDefinition tag;
        tag.name = "NAME";
        tag.keyExpression = "NAME";
        tag.keyLength = kKeyLength;
        for (int i = 0; i < kRecords; ++i) {
            w.addRecord({names[i]});
            tag.keys.emplace_back(names[i], i + 1);
        }
        w.setTableFlags(0x01);
        w.write(table, kKey);
        dbf::CdxWriter x;
        x.addTag(tag);
        x.write((dir / "names.cdx").string(), kKey);
        depth = x.layout()[0].depth;
        leaves = x.layout()[0].leaves;
        indexBytes = std::filesystem::file_size(dir / "names.cdx");

        // Keys are copied in the shuffled order, so that both lists lie in memory in the
        // order they are searched, as the tool's keys file does.
        std::vector<int> order(kRecords);
        for (int i = 0; i < kRecords; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        hits.reserve(kRecords);
        misses.reserve(kRecords);
        for (int i : order) hits.push_back(names[i]);
        for (const auto& n : hits) misses.push_back(n.substr(0, n.size() - 4) + "#");
    }
    ~BenchData() {
        std::error_code ec;
        if (!keep) std::filesystem::remove_all(dir, ec);
    }
    // --data-dir=DIR: write the files there and leave them (to run ombrix-db on them by hand).
    static std::string& keepDir() {
        static std::string d;
        return d;
    }
};

BenchData& data() {
    static BenchData d;
    return d;
}

void BM_OpenTableIndexSelectTag(benchmark::State& state) {
    BenchData& d = data();
    for (auto _ : state) {
        dbf::DBO_dBHandler t(d.table, false, true, kKey);
        t.OpenIndexFile("names");
        t.SelectTag("NAME");
        benchmark::DoNotOptimize(t.recNo());
    }
}
BENCHMARK(BM_OpenTableIndexSelectTag)->Unit(benchmark::kMicrosecond);

void findKeys(benchmark::State& state, const std::vector<std::string>& keys, bool expectFound) {
    BenchData& d = data();
    dbf::DBO_dBHandler t(d.table, false, true, kKey);
    t.OpenIndexFile("names");
    t.setUseDeleted(false);
    t.SelectTag("NAME");
    t.setExact(true);
    t.setNear(true);
    size_t i = 0, wrong = 0;
    for (auto _ : state) {
        bool found = t.FindKey(keys[i]);
        if (found != expectFound) ++wrong;
        if (++i == keys.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["wrong"] = static_cast<double>(wrong);
    state.counters["cached_pages"] = static_cast<double>(t.indexFile(1)->cache().pageCount());
}

void BM_FindKeyHit(benchmark::State& state) { findKeys(state, data().hits, true); }
BENCHMARK(BM_FindKeyHit)->MinTime(3.0);

void BM_FindKeyMiss(benchmark::State& state) { findKeys(state, data().misses, false); }
BENCHMARK(BM_FindKeyMiss)->MinTime(3.0);

void BM_WalkInKeyOrder(benchmark::State& state) {
    BenchData& d = data();
    dbf::DBO_dBHandler t(d.table, false, true, kKey);
    t.OpenIndexFile("names");
    t.setUseDeleted(false);
    t.SelectTag("NAME");
    int64_t records = 0;
    for (auto _ : state) {
        for (t.GetRec(dbf::DBO_dBaseDBF::kFirst); !t.eof(); t.GetRec(dbf::DBO_dBaseDBF::kNext)) ++records;
    }
    state.SetItemsProcessed(records);
}
BENCHMARK(BM_WalkInKeyOrder)->Unit(benchmark::kMillisecond);

#ifdef OMBRIX_DB_TOOL
// The tool as a user runs it: one process, one open, 100,000 searches, output to a file.
void timeTool(const char* label, const std::vector<std::string>& keys) {
    BenchData& d = data();
    std::string keysFile = (d.dir / (std::string(label) + ".txt")).string();
    std::string outFile = (d.dir / "seek-out.txt").string();
    {
        std::ofstream out(keysFile, std::ios::binary);
        for (const auto& k : keys) out << k << '\n';
    }

    std::string command = std::string("\"") + OMBRIX_DB_TOOL + "\" seek \"" + d.table + "\" --key " + kKey +
                          " --index names --tag NAME --keys-from \"" + keysFile + "\" > \"" + outFile + "\"";
    if (data().keep) std::printf("%s\n", command.c_str());
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        int status = std::system(command.c_str());
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 0) {
            std::printf("ombrix-db seek failed (%d)\n", status);
            return;
        }
        best = std::min(best, seconds);
    }
    std::ifstream in(outFile);
    std::string line;
    size_t lines = 0, found = 0;
    while (std::getline(in, line)) {
        ++lines;
        if (line.rfind("found ", 0) == 0) ++found;
    }
    std::printf("ombrix-db seek --keys-from, %s: %zu keys (%zu found) in %.3f s (best of 5) = %.0f seeks/s\n", label,
                lines, found, best, static_cast<double>(keys.size()) / best);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--data-dir=", 0) == 0)
            BenchData::keepDir() = a.substr(11);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    BenchData& d = data();
    std::printf("table: %d records, tag NAME C(%d), enciphered; index %ju bytes, %u leaves, depth %d\n", kRecords,
                kKeyLength, d.indexBytes, d.leaves, d.depth);
    benchmark::RunSpecifiedBenchmarks();
#ifdef OMBRIX_DB_TOOL
    timeTool("hits", d.hits);
    timeTool("misses", d.misses);
#endif
    benchmark::Shutdown();
    return 0;
}
