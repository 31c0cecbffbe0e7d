// Decoded pages are kept between lookups; a writer in another process that rewrites the
// index and bumps the directory's change counter must be seen at the next lookup. Also the
// page cache's bound and the written files' round trip.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dbf/index/CdxPageCache.h"
#include "dbf/index/CdxWriter.h"
#include "dbf/index/IndexKeyForm.h"
#include "dbf/table/DBO_dBHandler.h"
#include "dbf/table/DbfWriter.h"
#include "tests/support/IndexImage.h"

using dbf::DBO_dBaseDBF;
using dbf::DBO_dBHandler;
using namespace testsupport;

namespace {

const std::string kKey = "shared-key";

// A table of `count` names "N00000" .. in record order and an index on them whose record
// numbers are shifted by `shift` (so a rewritten index sends the same key elsewhere).
struct SharedFiles {
    TempFolder folder;
    std::string table = folder.file("names.dbf");
    std::string index = folder.file("names.cdx");
    int count;

    explicit SharedFiles(int n) : count(n) {
        dbf::DbfWriter w({{"NAME", 'C', 24, 0}});
        for (int i = 0; i < n; ++i) w.addRecord({name(i)});
        w.write(table, kKey);
        writeIndex(0, 1);
    }
    static std::string name(int i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "N%05d", i);
        return buf;
    }
    std::vector<uint8_t> indexImage(int shift, uint32_t counter) const {
        dbf::CdxWriter w;
        dbf::CdxTagDefinition tag;
        tag.name = "NAME";
        tag.keyExpression = "NAME";
        tag.keyLength = 24;
        for (int i = 0; i < count; ++i) tag.keys.emplace_back(name(i), static_cast<uint32_t>((i + shift) % count + 1));
        w.addTag(tag);
        w.setChangeCounter(counter);
        return w.image(kKey);
    }
    // Writes the index through a handle of its own, in place, as another process would.
    void writeIndex(int shift, uint32_t counter) const {
        std::vector<uint8_t> image = indexImage(shift, counter);
        std::fstream out(index, std::ios::in | std::ios::out | std::ios::binary);
        if (!out) out.open(index, std::ios::out | std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
};

std::unique_ptr<DBO_dBHandler> openShared(const SharedFiles& s) {
    auto t = std::make_unique<DBO_dBHandler>(s.table, false, true, kKey);
    t->OpenIndexFile("names");
    t->SelectTag("NAME");
    t->setExact(true);
    t->setNear(true);
    return t;
}

TEST(CdxSharingTest, LookupAfterAnotherWriterBumpedTheChangeCounterSeesTheNewIndex) {
    SharedFiles s(3000);
    auto t = openShared(s);
    ASSERT_TRUE(t->FindKey("N00010"));
    EXPECT_EQ(t->recNo(), 11u);
    ASSERT_TRUE(t->FindKey("N02500"));
    EXPECT_EQ(t->recNo(), 2501u);

    s.writeIndex(7, 2);
    ASSERT_TRUE(t->FindKey("N00010"));
    EXPECT_EQ(t->recNo(), 18u);   // the new index sends the key to record 10 + 7 + 1
    ASSERT_TRUE(t->FindKey("N02500"));
    EXPECT_EQ(t->recNo(), 2508u);
    EXPECT_EQ(t->indexFile(1)->changeCounter(), 2u);
}

TEST(CdxSharingTest, WalkGoesOnFromTheSameKeyAfterAnotherWriterAddedKeys) {
    // Another process appends records N00001, N00003, ... and rewrites the index.
    SharedFiles s(2000);
    auto t = openShared(s);
    ASSERT_TRUE(t->FindKey("N01000"));
    ASSERT_EQ(t->recNo(), 1001u);
    {
        dbf::DbfWriter w({{"NAME", 'C', 24, 0}});
        for (int i = 0; i < 2000; ++i) w.addRecord({SharedFiles::name(i)});
        for (int i = 0; i < 2000; ++i) w.addRecord({SharedFiles::name(i) + "X"});
        w.write(s.table, kKey);
        dbf::CdxWriter x;
        dbf::CdxTagDefinition tag;
        tag.name = "NAME";
        tag.keyExpression = "NAME";
        tag.keyLength = 24;
        for (int i = 0; i < 2000; ++i) {
            tag.keys.emplace_back(SharedFiles::name(i), i + 1);
            tag.keys.emplace_back(SharedFiles::name(i) + "X", 2001 + i);
        }
        x.addTag(tag);
        x.setChangeCounter(5);
        x.write(s.index, kKey);
    }
    t->GetRec(DBO_dBaseDBF::kNext);
    EXPECT_EQ(t->recNo(), 3001u);   // N01000X, new since the lookup
    t->GetRec(DBO_dBaseDBF::kNext);
    EXPECT_EQ(t->recNo(), 1002u);   // N01001
    t->GetRec(DBO_dBaseDBF::kPrevious);
    t->GetRec(DBO_dBaseDBF::kPrevious);
    EXPECT_EQ(t->recNo(), 1001u);
    EXPECT_TRUE(t->FindKey("N01999X"));
    EXPECT_EQ(t->recNo(), 4000u);
}

TEST(CdxSharingTest, RepeatedLookupsReadPagesOnlyOnce) {
    SharedFiles s(3000);
    auto t = openShared(s);
    dbf::CdxPageCache& cache = t->indexFile(1)->cache();
    ASSERT_TRUE(t->FindKey("N01234"));
    size_t pages = cache.pageCount();
    EXPECT_GE(pages, 2u);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(t->FindKey("N01234"));
    EXPECT_EQ(cache.pageCount(), pages);
}

TEST(CdxSharingTest, CacheHeldWithinItsBudgetStillAnswersEveryKey) {
    SharedFiles s(3000);
    auto t = openShared(s);
    t->setIndexCacheBudget(4096);
    for (int i = 0; i < 3000; i += 7) {
        ASSERT_TRUE(t->FindKey(SharedFiles::name(i)));
        ASSERT_EQ(t->recNo(), static_cast<uint32_t>(i + 1));
        ASSERT_LE(t->indexFile(1)->cache().bytesHeld(), 4096u + 16384u);   // at most one page over
    }
    int n = 0;
    for (t->GetRec(DBO_dBaseDBF::kFirst); !t->eof(); t->GetRec(DBO_dBaseDBF::kNext)) ++n;
    EXPECT_EQ(n, 3000);
}

dbf::CdxPageRef insertLeaf(dbf::CdxPageCache& cache, uint32_t offset) {
    std::vector<uint8_t> leaf(512, 0);
    dbf::ByteWriter(leaf).putU16le(0, 3);
    auto page = cache.spare();
    page->decode(leaf.data(), offset, {10, true, false}, "X.CDX");
    return cache.insert(std::move(page));
}

TEST(CdxSharingTest, PageCacheEvictsPagesNotUsedSinceTheClockPassed) {
    dbf::CdxPageCache cache(1);
    dbf::CdxKeyFormat format{10, true, false};
    insertLeaf(cache, 1024);
    insertLeaf(cache, 1536);
    EXPECT_EQ(cache.pageCount(), 1u);
    EXPECT_FALSE(cache.find(1024, format));
    EXPECT_TRUE(cache.find(1536, format));
    EXPECT_FALSE(cache.find(1536, dbf::CdxKeyFormat{12, true, false}));
    cache.setBudget(1 << 20);
    insertLeaf(cache, 2048);
    EXPECT_EQ(cache.pageCount(), 2u);
    cache.clear();
    EXPECT_EQ(cache.pageCount(), 0u);
    EXPECT_EQ(cache.bytesHeld(), 0u);
}

TEST(CdxSharingTest, PinnedPageOutlivesItsEvictionAndTheCachesClearing) {
    dbf::CdxPageCache cache(1 << 20);
    dbf::CdxPageRef pinned = insertLeaf(cache, 1024);
    dbf::CdxPageRef copy = pinned;
    cache.clear();
    cache.setBudget(1);
    insertLeaf(cache, 1536);
    insertLeaf(cache, 2048);
    EXPECT_EQ(pinned->offset(), 1024u);
    pinned.reset();
    EXPECT_EQ(copy->offset(), 1024u);
    EXPECT_EQ(copy->count(), 0u);
}

TEST(CdxSharingTest, WrittenIndexOfManyLevelsReadsBackInOrder) {
    // Key length 64: 6 entries per interior page, so 5000 keys need several levels.
    TempFolder folder;
    dbf::DbfWriter table({{"TXT", 'C', 64, 0}, {"AMT", 'N', 12, 2}});
    dbf::CdxTagDefinition txt, amt;
    txt.name = "TXT";
    txt.keyExpression = "TXT";
    txt.keyLength = 64;
    amt.name = "AMT";
    amt.keyExpression = "AMT";
    amt.keyType = 'N';
    amt.keyLength = 8;
    amt.descending = true;
    for (int i = 0; i < 5000; ++i) {
        std::string text = "ENTRY " + std::to_string((i * 7919) % 5000) + " OF THE TABLE";
        double value = (i % 97) * 12.5 - 500;
        char num[32];
        std::snprintf(num, sizeof num, "%.2f", value);
        table.addRecord({text, num});
        txt.keys.emplace_back(text, i + 1);
        amt.keys.emplace_back(dbf::numericHeldKey(value), i + 1);
    }
    table.write(folder.file("w.dbf"));
    dbf::CdxWriter w;
    w.addTag(txt);
    w.addTag(amt);
    w.write(folder.file("w.cdx"));
    EXPECT_EQ(w.layout()[0].depth, 4);

    DBO_dBHandler t(folder.file("w.dbf"), false, true);
    t.OpenIndexFile("w");
    t.SelectTag("TXT");
    std::string previous;
    int n = 0;
    for (t.GetRec(DBO_dBaseDBF::kFirst); !t.eof(); t.GetRec(DBO_dBaseDBF::kNext), ++n) {
        std::string key(t.activeTag()->currentKey());
        EXPECT_EQ(key, t.fieldText("TXT"));
        EXPECT_LE(previous, key);
        previous = key;
    }
    EXPECT_EQ(n, 5000);
    t.SelectTag("AMT");
    double last = 1e9;
    n = 0;
    for (t.GetRec(DBO_dBaseDBF::kFirst); !t.eof(); t.GetRec(DBO_dBaseDBF::kNext), ++n) {
        double v = t.fieldValue(2);
        EXPECT_LE(v, last);
        last = v;
    }
    EXPECT_EQ(n, 5000);
    t.setExact(true);
    t.setNear(true);
    EXPECT_TRUE(t.FindKey("-500"));
    EXPECT_DOUBLE_EQ(t.fieldValue(2), -500);
}

}  // namespace
