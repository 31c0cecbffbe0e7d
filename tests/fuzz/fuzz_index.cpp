// libFuzzer target: an index file. The input is written as an index beside copies of the
// fixture tables and opened on each; every tag is selected, walked both ways (bounded) and
// searched. Only the engine's own errors may leave the engine.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "dbf/core/TableError.h"
#include "dbf/table/DBO_dBHandler.h"

namespace {

// Tables whose fields the fixture indexes use; small ones keep each run short.
const char* const kTables[] = {"a_tiny", "b_multi", "c_dups", "d_key240", "g_vfp", "h_char300"};
constexpr int kMaxSteps = 3000;

struct Workspace {
    std::filesystem::path dir;
    Workspace() {
        dir = std::filesystem::temp_directory_path() / ("ombrix-fuzz-index-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(dir);
        std::filesystem::path fixtures = std::filesystem::path(OMBRIX_FIXTURES) / "cdx";
        for (const char* t : kTables) {
            std::filesystem::copy_file(fixtures / (std::string(t) + ".dbf"), dir / (std::string(t) + ".dbf"),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
    ~Workspace() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

void exercise(dbf::DBO_dBHandler& t) {
    using dbf::DBO_dBaseDBF;
    dbf::DBobjCDXFile* file = t.indexFile(1);
    if (!file) return;
    for (const auto& tag : file->tags()) {
        t.SelectTag(tag->name());
        int steps = 0;
        std::string firstKey;
        for (t.GetRec(DBO_dBaseDBF::kFirst); !t.eof() && !t.bof() && steps < kMaxSteps; t.GetRec(DBO_dBaseDBF::kNext)) {
            if (steps++ == 0) firstKey = tag->keyText(tag->currentKey());
        }
        steps = 0;
        for (t.GetRec(DBO_dBaseDBF::kLast); !t.eof() && !t.bof() && steps < kMaxSteps; t.GetRec(DBO_dBaseDBF::kPrevious))
            ++steps;
        for (bool exact : {true, false}) {
            for (bool nearFlag : {true, false}) {
                t.setExact(exact);
                t.setNear(nearFlag);
                for (const char* key : {"", "KEYLOG", "KEYLOG.EXE", "zzz", "0", "-45.25", "19991231"}) t.FindKey(key);
                t.FindKey(firstKey);
                t.FindKey(firstKey + "~");
            }
        }
        t.GetRec(3);
        t.GetRec(DBO_dBaseDBF::kNext);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Workspace ws;
    std::string index = (ws.dir / "fuzz.cdx").string();
    {
        std::ofstream out(index, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (const char* table : kTables) {
        try {
            // Read-only: an input of 512 bytes or less stays as it is.
            dbf::DBO_dBHandler t((ws.dir / (std::string(table) + ".dbf")).string(), false, true);
            t.setUseDeleted((size & 1) != 0);
            t.setIndexCacheBudget((size & 2) ? 0 : 1 << 20);
            t.OpenIndexFile(index);
            exercise(t);
        } catch (const dbf::ETableError&) {
        } catch (const dbf::ETableExpression&) {
        } catch (const dbf::ETableEncryption&) {
        }
    }
    return 0;
}
