// The operation log in this process: real files in a temporary folder, the real registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

#include "scan/TmLog.h"
#include "tests/support/EncipherCopy.h"
#include "tests/win/ProgramUnderTest.h"
#include "tests/win/TestRegistry.h"

using scan::TmLog;
using testing_support::deleteMachineKey;
using testsupport::TempFolder;

namespace {

const std::string kTestKey = "software\\ombrix-tests\\logs-" + std::to_string(GetCurrentProcessId());

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::string today() {
    char date[64];
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
    return date;
}

// Checks one line: today's short date, the long time unless at midnight, then `rest`.
void expectLine(const std::string& line, const std::string& rest) {
    ASSERT_GE(line.size(), rest.size());
    EXPECT_EQ(line.substr(line.size() - rest.size()), rest) << line;
    std::string dateTime = line.substr(0, line.size() - rest.size());
    EXPECT_EQ(dateTime.substr(0, today().size()), today()) << line;
    if (GetUserDefaultLCID() == 0x0409)  // US English: the example's own form
        EXPECT_TRUE(std::regex_match(dateTime, std::regex(R"(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d\d:\d\d [AP]M)?)")))
            << dateTime;
}

class OperationLogTest : public ::testing::Test {
protected:
    void SetUp() override { deleteMachineKey(kTestKey); }
    void TearDown() override { deleteMachineKey("software\\ombrix-tests"); }

    // A log like the main window's, recording under the test key, writing into the folder.
    TmLog logIn(const std::string& name, scan::TmTraceLevel level = scan::mtrcOperation, bool tags = false) {
        TmLog log;
        log.setTraceLevelRegKeyValue("\\" + kTestKey);
        log.setLogFileName(folder.file(name));
        log.setShowSeverityLevelInLog(tags);
        log.setTraceLevel(level);
        return log;
    }

    TempFolder folder;
};

}  // namespace

TEST_F(OperationLogTest, ConstructionSetsTheDefaultsAndRecordsThemUnderTheDefaultKey) {
    deleteMachineKey("software\\zarurarevidev\\logs");
    TmLog log;
    EXPECT_EQ(log.LogFileName(), "default.log");
    EXPECT_FALSE(log.ShowSeverityLevelInLog());
    EXPECT_EQ(log.TraceLevel(), scan::mtrcOperation);
    EXPECT_EQ(log.TraceLevelRegKeyValue(), "\\software\\zarurarevidev\\logs");
    EXPECT_EQ(testing_support::machineDword("software\\zarurarevidev\\logs", "default.log"), 0);
}

TEST_F(OperationLogTest, OperationLineIsDateTimeBlankAndTextAppendedWithCrLf) {
    TmLog log = logIn("k.log");
    log.Log("Found keylogger keylog.exe", scan::mtrcOperation);
    log.Log("keylog.exe have been stop", scan::mtrcOperation);
    auto lines = linesOf(testing_support::fileText(folder.file("k.log")));
    ASSERT_EQ(lines.size(), 2u);
    expectLine(lines[0], " Found keylogger keylog.exe");
    expectLine(lines[1], " keylog.exe have been stop");
}

TEST_F(OperationLogTest, SeverityTagsReplaceTheBlankWhenShown) {
    TmLog log = logIn("k.log", scan::mtrcOperationDetail, true);
    log.Log("a", scan::mtrcOperation);
    log.Log("b", scan::mtrcOperationDetail);
    log.Log("c", scan::mtrcException);
    auto lines = linesOf(testing_support::fileText(folder.file("k.log")));
    ASSERT_EQ(lines.size(), 3u);
    expectLine(lines[0], " [Operation] a");
    expectLine(lines[1], " [OperationDetail] b");
    expectLine(lines[2], " [Exception] c");
}

TEST_F(OperationLogTest, EachTraceLevelLetsThroughExactlyItsLines) {
    struct Case {
        scan::TmTraceLevel level;
        std::vector<std::string> written;
    };
    for (const Case& c : {Case{scan::mtrcOperation, {" op", " ex"}}, Case{scan::mtrcOperationDetail, {" op", " de", " ex"}},
                          Case{scan::mtrcException, {" ex"}}}) {
        std::string name = "level" + std::to_string(c.level) + ".log";
        TmLog log = logIn(name, c.level);
        log.Log("op", scan::mtrcOperation);
        log.Log("de", scan::mtrcOperationDetail);
        log.Log("ex", scan::mtrcException);
        auto lines = linesOf(testing_support::fileText(folder.file(name)));
        ASSERT_EQ(lines.size(), c.written.size()) << name;
        for (size_t i = 0; i < lines.size(); ++i) expectLine(lines[i], c.written[i]);
    }
}

TEST_F(OperationLogTest, FilteredLineCreatesNoFile) {
    TmLog log = logIn("k.log", scan::mtrcException);
    log.Log("dropped", scan::mtrcOperation);
    EXPECT_EQ(GetFileAttributesA(folder.file("k.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OperationLogTest, ExistingFileIsAppendedToNeverTruncated) {
    const std::string before = "earlier line\r\nno break at the end";
    testsupport::writeFileText(folder.file("k.log"), before);
    TmLog log = logIn("k.log");
    log.Log("x \xe9", scan::mtrcOperation);
    std::string text = testing_support::fileText(folder.file("k.log"));
    ASSERT_EQ(text.substr(0, before.size()), before);
    expectLine(text.substr(before.size(), text.size() - before.size() - 2), " x \xe9");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(OperationLogTest, BareFileNameIsTakenInTheCurrentDirectoryAtEachWrite) {
    TmLog log = logIn("unused.log");
    log.setLogFileName("bare.log");
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    CreateDirectoryA(folder.file("one").c_str(), nullptr);
    CreateDirectoryA(folder.file("two").c_str(), nullptr);
    SetCurrentDirectoryA(folder.file("one").c_str());
    log.Log("first", scan::mtrcOperation);
    SetCurrentDirectoryA(folder.file("two").c_str());
    log.Log("second", scan::mtrcOperation);
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(linesOf(testing_support::fileText(folder.file("one\\bare.log"))).size(), 1u);
    EXPECT_EQ(linesOf(testing_support::fileText(folder.file("two\\bare.log"))).size(), 1u);
}

TEST_F(OperationLogTest, FileHeldByAnotherWriterRaisesAndLosesNothingWritten) {
    TmLog log = logIn("k.log");
    log.Log("kept", scan::mtrcOperation);
    const std::string before = testing_support::fileText(folder.file("k.log"));
    HANDLE held = CreateFileA(folder.file("k.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_THROW(log.Log("lost", scan::mtrcException), scan::LogWriteError);
    CloseHandle(held);
    EXPECT_EQ(testing_support::fileText(folder.file("k.log")), before);
    log.Log("after", scan::mtrcOperation);
    auto lines = linesOf(testing_support::fileText(folder.file("k.log")));
    ASSERT_EQ(lines.size(), 2u);
    expectLine(lines[1], " after");
}

TEST_F(OperationLogTest, FolderThatCannotTakeTheFileRaisesWithTheSystemsReason) {
    TmLog log = logIn("k.log");
    log.setLogFileName(folder.file("missing\\k.log"));
    try {
        log.Log("lost", scan::mtrcOperation);
        FAIL() << "no error";
    } catch (const scan::LogWriteError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open log file " + folder.file("missing\\k.log") + ": ", 0), 0u)
            << e.what();
    }
    // A folder standing where the file should be.
    CreateDirectoryA(folder.file("dir.log").c_str(), nullptr);
    log.setLogFileName(folder.file("dir.log"));
    EXPECT_THROW(log.Log("lost", scan::mtrcException), scan::LogWriteError);
}

TEST_F(OperationLogTest, SettersRecordTheCurrentLevelUnderTheCurrentNameAndKey) {
    TmLog log = logIn("first.log");
    EXPECT_EQ(testing_support::machineDword(kTestKey, folder.file("first.log")), 0);
    log.setTraceLevel(scan::mtrcException);
    EXPECT_EQ(testing_support::machineDword(kTestKey, folder.file("first.log")), 2);
    log.setLogFileName("second.log");
    EXPECT_EQ(testing_support::machineDword(kTestKey, "second.log"), 2);
    EXPECT_EQ(testing_support::machineDword(kTestKey, folder.file("first.log")), 2) << "the record under the old name stays";
    log.setTraceLevelRegKeyValue("\\" + kTestKey + "\\deeper");
    EXPECT_EQ(testing_support::machineDword(kTestKey + "\\deeper", "second.log"), 2) << "a missing key is created";
    log.setTraceLevelRegKeyValue(kTestKey + "\\relative");
    EXPECT_EQ(testing_support::machineDword(kTestKey + "\\relative", "second.log"), 2) << "without a backslash the path starts at the root too";
}

TEST_F(OperationLogTest, ShowingSeverityIsStoredWithoutARecord) {
    TmLog log = logIn("k.log", scan::mtrcOperationDetail);
    deleteMachineKey(kTestKey);
    log.setShowSeverityLevelInLog(true);
    EXPECT_TRUE(log.ShowSeverityLevelInLog());
    EXPECT_EQ(testing_support::machineDword(kTestKey, folder.file("k.log")), -1);
}

TEST_F(OperationLogTest, EmptyKeyWritesNoRecord) {
    TmLog log = logIn("k.log");
    log.setTraceLevelRegKeyValue("");
    deleteMachineKey(kTestKey);
    log.setLogFileName("other.log");
    log.setTraceLevel(scan::mtrcException);
    EXPECT_EQ(testing_support::machineDword(kTestKey, "other.log"), -1);
}

TEST_F(OperationLogTest, KeyThatCannotBeCreatedRaisesFailedToSetDataAndKeepsTheNewValue) {
    // Below a volatile key the system creates no lasting key: the write fails for real.
    ASSERT_TRUE(testing_support::createVolatileMachineKey(kTestKey));
    TmLog log = TmLog::withoutRecord();
    try {
        log.setTraceLevelRegKeyValue("\\" + kTestKey + "\\logs");
        FAIL() << "no error";
    } catch (const scan::RegistryError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'default.log'");
    }
    EXPECT_EQ(log.TraceLevelRegKeyValue(), "\\" + kTestKey + "\\logs");
    try {
        log.setLogFileName("keyloggerstop.log");
        FAIL() << "no error";
    } catch (const scan::RegistryError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'keyloggerstop.log'");
    }
    EXPECT_EQ(log.LogFileName(), "keyloggerstop.log");
    EXPECT_THROW(log.setTraceLevel(scan::mtrcException), scan::RegistryError);
    EXPECT_EQ(log.TraceLevel(), scan::mtrcException);
}
