// libFuzzer target: any bytes opened as a table, plain and with a key, every record read
// forwards and backwards with every field's text. Only the engine's own errors may leave
// the engine; anything else (a crash, a sanitizer report, another exception) is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "dbf/core/TableError.h"
#include "dbf/table/DBO_dBaseFld.h"

namespace {

const std::string& inputPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("ombrix-fuzz-table-" + std::to_string(::getpid()) + ".dbf")).string();
    return path;
}

bool writeInput(const uint8_t* data, size_t size, bool setEncryptionFlag) {
    FILE* f = std::fopen(inputPath().c_str(), "wb");
    if (!f) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    if (ok && setEncryptionFlag && size > 15) {
        const uint8_t one = 1;
        ok = std::fseek(f, 15, SEEK_SET) == 0 && std::fwrite(&one, 1, 1, f) == 1;
    }
    return std::fclose(f) == 0 && ok;
}

void walk(const std::string& key) {
    try {
        dbf::DBO_dBaseFld t(inputPath(), false, true, key);
        std::string text;
        auto readFields = [&] {
            for (const auto& f : t.fields()) {
                t.fieldText(f, text);
                if (f.type == 'N' || f.type == 'F' || f.type == 'I') (void)t.fieldValue(f);
            }
            (void)t.isDeleted();
        };
        for (t.GetRec(dbf::DBO_dBaseDBF::kFirst); !t.eof(); t.GetRec(dbf::DBO_dBaseDBF::kNext)) readFields();
        for (t.GetRec(dbf::DBO_dBaseDBF::kLast); !t.bof() && !t.eof(); t.GetRec(dbf::DBO_dBaseDBF::kPrevious)) {
            readFields();
            if (t.recNo() == 1) break;
        }
        t.setReadAhead(false);
        t.GetRec(static_cast<int32_t>(t.recordCount() / 2 + 1));
        readFields();
        t.GetRec(dbf::DBO_dBaseDBF::kCurrent);
        for (int i = 1; i <= t.fieldCount(); ++i) (void)t.fieldText(i);
        (void)t.fieldNumber("NAME");
    } catch (const dbf::ETableError&) {
    } catch (const dbf::ETableEncryption&) {
    } catch (const dbf::ETableExpression&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (writeInput(data, size, false)) {
        walk("");
        walk("fuzz key");
    }
    // The same bytes taken as an enciphered table: descriptors and records deciphered.
    if (writeInput(data, size, true)) walk("fuzz key");
    return 0;
}
