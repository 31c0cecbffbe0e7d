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

#include "CdxWriter.h"
#include "DBO_dBHandler.h"
#include "DbfWriter.h"
#include "TTableDataSet.h"

namespace {

constexpr int kRecords = 100000;
constexpr uint16_t kKeyLength = 64;
const std::string kKey = "Ombrix-bench-key";

struct BenchData {
    std::filesystem::path dir;
    std::vector<std::string> hits;     // every key, shuffled
    std::vector<std::string> misses;   // keys between the stored ones, shuffled
    int depth = 0;

    BenchData() {
        dir = std::filesystem::temp_directory_path() /
              ("ombrix-dataset-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(dir);
        std::mt19937 random(650000);
        const char* const words[] = {"svc", "host", "key", "log", "win", "update", "agent", "mon", "spy", "task",
                                     "shell", "net", "hook", "sys", "guard", "capture", "helper", "tray", "run", "core"};
        std::vector<std::string> names;
        names.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            std::string n;
            int parts = 2 + static_cast<int>(random() % 3);
            for (int p = 0; p < parts; ++p) n += words[random() % 20];
            n += std::to_string(random() % 100000) + '_' + std::to_string(i) + ".exe";
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
        w.write((dir / "names.dbf").string(), kKey);
        dbf::CdxWriter x;
        x.addTag(tag);
        x.write((dir / "names.cdx").string(), kKey);
        depth = x.layout()[0].depth;

        std::vector<int> order(kRecords);
        for (int i = 0; i < kRecords; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        for (int i : order) hits.push_back(names[i]);
        for (const auto& n : hits) misses.push_back(n.substr(0, n.size() - 4) + "#");
    }
    ~BenchData() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string table() const { return (dir / "names.dbf").string(); }
};

BenchData& data() {
    static BenchData d;
    return d;
}

void engineFind(benchmark::State& state, const std::vector<std::string>& keys, bool expectFound) {
    dbf::DBO_dBHandler t(data().table(), true, true, kKey);
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
void dataSetFind(benchmark::State& state, const std::vector<std::string>& keys, bool expectFound) {
    dbf::TTableDataSet table;
    table.setDatabaseName(data().dir.string());
    table.setTableName("names.dbf");
    table.IndexFiles = {"NAMES.CDX"};
    table.setEncryptionKey(kKey);
    table.Open();
    table.OpenIndexFile("names.cdx");
    table.setIndexName("NAME");
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
        table.setDatabaseName(data().dir.string());
        table.setTableName("names.dbf");
        table.IndexFiles = {"NAMES.CDX"};
        table.setEncryptionKey(kKey);
        table.Open();
        table.OpenIndexFile("names.cdx");
        table.setIndexName("NAME");
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
