// Cost of the scan's decision about one process, as the program makes it: both lists of 100
// names sorted and searched (switches on), the name's key sought in a 100,000-signature
// enciphered keylogger table built by ombrix-db, and the protected names after a hit. For
// names that hit the table and names that miss everything (nearly every process of a scan),
// with the parts apart. Natively an ASCII case-insensitive comparison stands in for the
// system's locale-aware one that the lists use on Windows.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchTable.h"
#include "dbf/dataset/TTableDataSet.h"
#include "scan/KeyloggerDatabase.h"
#include "scan/ScanRules.h"
#include "settings/ProcessList.h"

namespace {

constexpr int kSignatures = 100000;
constexpr int kListEntries = 100;

int compareAsciiIgnoringCase(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::string executableName(std::mt19937& random, int serial) {
    std::string n = bench::executableWords(random) + '-' + std::to_string(serial) + ".exe";
    bench::upperSome(n, random, 4);
    return n;
}

struct Fixture {
    std::filesystem::path dir;
    std::filesystem::path previous = std::filesystem::current_path();
    std::vector<std::string> hits;     // listed in the table, in no list
    std::vector<std::string> misses;   // in neither table nor list
    std::vector<std::string> whiteListed;
    settings::ProcessList white{&compareAsciiIgnoringCase};
    settings::ProcessList black{&compareAsciiIgnoringCase};
    dbf::TTableDataSet table;
    scan::KeyloggerDatabase database{table};

    Fixture() {
        dir = std::filesystem::temp_directory_path() /
              ("ombrix-scan-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(dir);
        std::mt19937 random(2026);
        std::vector<std::string> signatures;
        for (int i = 0; i < kSignatures; ++i) signatures.push_back(executableName(random, i));
        {
            std::ofstream source(dir / "signatures.txt", std::ios::binary);
            for (const std::string& s : signatures) source << s << "\r\n";
        }
        std::string command = std::string("\"") + OMBRIX_DB_TOOL + "\" build \"" + (dir / "signatures.txt").string() +
                              "\" \"" + dir.string() + "\" > /dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cannot build the table: %s\n", command.c_str());
            std::exit(1);
        }
        std::filesystem::current_path(dir);
        database.open();

        std::vector<std::string> whiteLines, blackLines;
        for (int i = 0; i < kListEntries; ++i) {
            whiteLines.push_back(executableName(random, 200000 + i));
            blackLines.push_back(executableName(random, 300000 + i));
        }
        for (int i = 0; i < 1000; ++i) {
            hits.push_back(signatures[random() % signatures.size()]);
            misses.push_back(executableName(random, 400000 + i));
            whiteListed.push_back(whiteLines[random() % whiteLines.size()]);
        }
        white.assign(whiteLines);
        black.assign(blackLines);
    }

    ~Fixture() {
        database.close();
        std::error_code ec;
        std::filesystem::current_path(previous, ec);
        std::filesystem::remove_all(dir, ec);
    }

    scan::ScanRules rules() {
        return scan::ScanRules(white, true, black, true,
                               [this](const std::string& name) { return database.isKeylogger(name); });
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void examine(benchmark::State& state, const std::vector<std::string>& names, bool expected) {
    scan::ScanRules rules = fixture().rules();
    size_t i = 0, wrong = 0;
    for (auto _ : state) {
        bool stop = rules.mustStop(names[i]);
        wrong += stop != expected;
        benchmark::DoNotOptimize(stop);
        if (++i == names.size()) i = 0;
    }
    if (wrong) state.SkipWithError("a name was decided wrongly");
}

void BM_ExamineNameThatHitsTheTable(benchmark::State& state) { examine(state, fixture().hits, true); }
void BM_ExamineNameThatMissesEverything(benchmark::State& state) { examine(state, fixture().misses, false); }
void BM_ExamineWhiteListedNameTheTableKnowsNot(benchmark::State& state) {
    examine(state, fixture().whiteListed, false);
}

void BM_TableLookupHit(benchmark::State& state) {
    auto& f = fixture();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.database.isKeylogger(f.hits[i]));
        if (++i == f.hits.size()) i = 0;
    }
}

void BM_TableLookupMiss(benchmark::State& state) {
    auto& f = fixture();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.database.isKeylogger(f.misses[i]));
        if (++i == f.misses.size()) i = 0;
    }
}

// One list's share: the order check of the sorted list and the search by halves.
void BM_ListLookupOf100Names(benchmark::State& state) {
    auto& f = fixture();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.white.contains(f.misses[i]));
        if (++i == f.misses.size()) i = 0;
    }
}

// A scan's decisions for 60 processes, two of them table hits.
void BM_ExamineSixtyProcesses(benchmark::State& state) {
    auto& f = fixture();
    scan::ScanRules rules = f.rules();
    std::vector<std::string> names(f.misses.begin(), f.misses.begin() + 58);
    names.push_back(f.hits[0]);
    names.push_back(f.hits[1]);
    for (auto _ : state)
        for (const std::string& n : names) benchmark::DoNotOptimize(rules.mustStop(n));
}

}  // namespace

BENCHMARK(BM_ExamineNameThatHitsTheTable);
BENCHMARK(BM_ExamineNameThatMissesEverything);
BENCHMARK(BM_ExamineWhiteListedNameTheTableKnowsNot);
BENCHMARK(BM_TableLookupHit);
BENCHMARK(BM_TableLookupMiss);
BENCHMARK(BM_ListLookupOf100Names);
BENCHMARK(BM_ExamineSixtyProcesses)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
