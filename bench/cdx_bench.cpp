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

#include "bench/BenchTable.h"
#include "dbf/table/DBO_dBHandler.h"

namespace {

constexpr int kRecords = bench::BenchTable::kRecords;
constexpr uint16_t kKeyLength = bench::BenchTable::kKeyLength;
const std::string kKey = "Ombrix-bench-key";

// --data-dir=DIR: write the files there and leave them (to run ombrix-db on them by hand).
std::string& keepDir() {
    static std::string d;
    return d;
}

using BenchData = bench::BenchTable;

BenchData& data() {
    static BenchData d(kKey, keepDir());
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

}  // namespace

int main(int argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--data-dir=", 0) == 0)
            keepDir() = a.substr(11);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    BenchData& d = data();
    std::printf("table: %d records, tag NAME C(%d), enciphered; index %ju bytes, %u leaves, depth %d\n", kRecords,
                kKeyLength, d.indexBytes, d.leaves, d.depth);
    benchmark::RunSpecifiedBenchmarks();
    timeTool("hits", d.hits);
    timeTool("misses", d.misses);
    benchmark::Shutdown();
    return 0;
}
