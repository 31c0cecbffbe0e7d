// Speed of Find through the table data set beside the engine's own FindKey, on the shape
// the program searches: an enciphered table of 100,000 executable-like names with one C(64)
// tag. A data-set search adds the key's OEM translation, the row fetch and, on a miss, the
// move to the last record; the figures show what that costs per lookup.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchTable.h"
#include "dbf/dataset/TTableDataSet.h"
#include "dbf/table/DBO_dBHandler.h"

namespace {

constexpr int kRecords = bench::BenchTable::kRecords;
constexpr uint16_t kKeyLength = bench::BenchTable::kKeyLength;
const std::string kKey = "Ombrix-bench-key";

using BenchData = bench::BenchTable;

BenchData& data() {
    static BenchData d(kKey);
    return d;
}

void engineFind(benchmark::State& state, const std::vector<std::string>& keys, bool expectFound) {
    dbf::DBO_dBHandler t(data().table, true, true, kKey);
    t.OpenIndexFile("names");
    t.setUseDeleted(false);
    t.SelectTag("NAME");
    t.setExact(true);
    t.setNear(true);
    size_t i = 0, wrong = 0;
    for (auto _ : state) {
        if (t.FindKey(keys[i]) != expectFound) ++wrong;
        if (++i == keys.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["wrong"] = static_cast<double>(wrong);
}

// The data set as the program configures its keylogger table: shared, read/write, OEM
// translation on, deleted records hidden, the index listed and opened once more by name.
void openLikeTheProgram(dbf::TTableDataSet& table) {
    table.setDatabaseName(data().dir.string());
    table.setTableName("names.dbf");
    table.IndexFiles = {"NAMES.CDX"};
    table.setEncryptionKey(kKey);
    table.Open();
    table.OpenIndexFile("names.cdx");
    table.setIndexName("NAME");
}

void dataSetFind(benchmark::State& state, const std::vector<std::string>& keys, bool expectFound) {
    dbf::TTableDataSet table;
    openLikeTheProgram(table);
    size_t i = 0, wrong = 0;
    for (auto _ : state) {
        if (table.Find(keys[i], true, true) != expectFound) ++wrong;
        if (++i == keys.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["wrong"] = static_cast<double>(wrong);
}

void BM_EngineFindKeyHit(benchmark::State& state) { engineFind(state, data().hits, true); }
void BM_EngineFindKeyMiss(benchmark::State& state) { engineFind(state, data().misses, false); }
void BM_DataSetFindHit(benchmark::State& state) { dataSetFind(state, data().hits, true); }
void BM_DataSetFindMiss(benchmark::State& state) { dataSetFind(state, data().misses, false); }
BENCHMARK(BM_EngineFindKeyHit)->MinTime(2.0);
BENCHMARK(BM_DataSetFindHit)->MinTime(2.0);
BENCHMARK(BM_EngineFindKeyMiss)->MinTime(2.0);
BENCHMARK(BM_DataSetFindMiss)->MinTime(2.0);

// The open at the first showing: table, listed index, the index again by name, the tag.
void BM_DataSetOpenAndClose(benchmark::State& state) {
    for (auto _ : state) {
        dbf::TTableDataSet table;
        openLikeTheProgram(table);
        benchmark::DoNotOptimize(table.RecNo());
    }
}
BENCHMARK(BM_DataSetOpenAndClose)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("table: %d records, tag NAME C(%d), enciphered, depth %d\n", kRecords, kKeyLength, data().depth);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
