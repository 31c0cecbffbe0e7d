// The operation log's filter, line format and registry key path.
#include <gtest/gtest.h>

#include "scan/LogRules.h"

using namespace scan;

TEST(OperationLogLineTest, FilterFollowsTheTraceLevel) {
    struct Case {
        TmTraceLevel level, severity;
        bool written;
    };
    const Case cases[] = {
        {mtrcOperation, mtrcOperation, true},        {mtrcOperation, mtrcOperationDetail, false},
        {mtrcOperation, mtrcException, true},        {mtrcOperationDetail, mtrcOperation, true},
        {mtrcOperationDetail, mtrcOperationDetail, true}, {mtrcOperationDetail, mtrcException, true},
        {mtrcException, mtrcOperation, false},       {mtrcException, mtrcOperationDetail, false},
        {mtrcException, mtrcException, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(passesFilter(c.level, c.severity), c.written) << int(c.level) << " " << int(c.severity);
}

TEST(OperationLogLineTest, LineWithoutSeverityIsDateTimeBlankAndTextUnchanged) {
    EXPECT_EQ(logLine("12/7/2026 5:14:19 AM", false, mtrcOperation, "Found keylogger keylog.exe"),
              "12/7/2026 5:14:19 AM Found keylogger keylog.exe\r\n");
    EXPECT_EQ(logLine("12/7/2026", false, mtrcException, "  two  blanks \xe9 "), "12/7/2026   two  blanks \xe9 \r\n");
    EXPECT_EQ(logLine("d", false, mtrcOperation, ""), "d \r\n");
}

TEST(OperationLogLineTest, LineWithSeverityCarriesItsTagWithItsBlanks) {
    EXPECT_EQ(logLine("D T", true, mtrcOperation, "x"), "D T [Operation] x\r\n");
    EXPECT_EQ(logLine("D T", true, mtrcOperationDetail, "x"), "D T [OperationDetail] x\r\n");
    EXPECT_EQ(logLine("D T", true, mtrcException, "x"), "D T [Exception] x\r\n");
}

TEST(OperationLogLineTest, TimeIsLeftOutAtExactlyMidnight) {
    EXPECT_EQ(dateTimeText("12/7/2026", "12:00:00 AM", true), "12/7/2026");
    EXPECT_EQ(dateTimeText("12/7/2026", "12:00:01 AM", false), "12/7/2026 12:00:01 AM");
    EXPECT_EQ(dateTimeText("07.12.2026", "05:14:19", false), "07.12.2026 05:14:19");
}

TEST(OperationLogLineTest, LeadingBackslashStartsTheKeyAtTheRoot) {
    EXPECT_EQ(registryKeyPath("\\software\\zarurarevidev\\logs"), "software\\zarurarevidev\\logs");
    EXPECT_EQ(registryKeyPath("software\\x"), "software\\x");
    EXPECT_EQ(registryKeyPath("\\"), "");
}
