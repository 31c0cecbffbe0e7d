// The byte forms of index keys, and the keys of the fixture tables: every tag's expression
// evaluated on every record must give the key that the independent engine stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "dbf/core/TdbDate.h"
#include "dbf/core/XbaseText.h"
#include "dbf/index/KeyExpression.h"
#include "tests/support/FixtureManifest.h"

namespace {

using testsupport::Manifest;
using testsupport::ManifestField;
using testsupport::ManifestKey;
using testsupport::ManifestTag;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

TEST(IndexKeyFormTest, NumericKeysSetTheSignBitOrInvertEverything) {
    EXPECT_EQ(dbf::numericKeyBytes(1.0), bytes({0xBF, 0xF0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(dbf::numericKeyBytes(0.0), bytes({0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(dbf::numericKeyBytes(-0.0), dbf::numericKeyBytes(0.0));
    EXPECT_EQ(dbf::numericKeyBytes(-1.0), bytes({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(IndexKeyFormTest, HeldNumericKeysDropTrailingZeroBytesOnly) {
    EXPECT_EQ(dbf::numericHeldKey(1.0), bytes({0xBF, 0xF0}));
    EXPECT_EQ(dbf::numericHeldKey(0.0), bytes({0x80}));
    EXPECT_EQ(dbf::numericHeldKey(-1.0), bytes({0x40, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(IndexKeyFormTest, HeldNumericKeysSortAsTheNumbers) {
    const std::vector<double> values = {-1e300, -123456.78, -45.25, -1.0000000000000002, -1.0, -0.99999999999999989,
                                        -0.01, 0.0, 5e-324, 0.01, 0.5, 1.0, 1.0000000000000002, 2.0, 3.14, 1e300};
    for (size_t i = 0; i + 1 < values.size(); ++i) {
        // Byte order, a proper prefix sorting first, is how the index compares held keys.
        const std::string a = dbf::numericHeldKey(values[i]);
        const std::string b = dbf::numericHeldKey(values[i + 1]);
        EXPECT_LT(a, b) << values[i] << " vs " << values[i + 1];
        EXPECT_TRUE(std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
        }));
    }
}

TEST(IndexKeyFormTest, HeldKeysFollowTheResultType) {
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::character("MY APP  ")), "MY APP");
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::character("   ")), "");
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::character("  lead")), "  lead");
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::logical(true)), "T");
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::logical(false)), "F");
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::numeric(1.0)), bytes({0xBF, 0xF0}));
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::date(0)), bytes({0x80}));
    EXPECT_EQ(dbf::heldKey(dbf::TdbVariant::date(2440588)), dbf::numericHeldKey(2440588.0));
}

TEST(IndexKeyFormTest, KeyTypeOfALogicalResultIsCharacter) {
    EXPECT_EQ(dbf::keyTypeOf('C'), 'C');
    EXPECT_EQ(dbf::keyTypeOf('L'), 'C');
    EXPECT_EQ(dbf::keyTypeOf('N'), 'N');
    EXPECT_EQ(dbf::keyTypeOf('D'), 'D');
    EXPECT_EQ(dbf::keyTypeOf('U'), 0);
}

// A fixture table read straight from its bytes with the layout its manifest states, so that
// these tests depend on nothing of the engine but the expression code.
class FixtureRecord : public dbf::FieldSource {
public:
    explicit FixtureRecord(const Manifest& m) : manifest_(m) {
        std::ifstream in(testsupport::cdxFixture(m.fixture + ".dbf"), std::ios::binary);
        file_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void go(uint32_t recNo) {
        const size_t start = manifest_.headerLength + size_t{recNo - 1} * manifest_.recordLength;
        record_ = file_.substr(start, manifest_.recordLength);
        recNo_ = recNo;
    }

    int findField(std::string_view name) const override {
        for (size_t i = 0; i < manifest_.fields.size(); ++i)
            if (dbf::upperAscii(manifest_.fields[i].name) == dbf::upperAscii(name)) return static_cast<int>(i);
        return -1;
    }
    char fieldType(int f) const override { return at(f).type; }
    int fieldLength(int f) const override { return static_cast<int>(at(f).length); }
    int fieldDecimals(int f) const override { return static_cast<int>(at(f).decimals); }
    std::string_view fieldRaw(int f) const override {
        return std::string_view(record_).substr(at(f).offset, at(f).length);
    }
    bool deleted() const override { return !record_.empty() && record_[0] == '*'; }
    uint32_t recNo() const override { return recNo_; }
    bool bof() const override { return false; }
    bool eof() const override { return false; }

private:
    const ManifestField& at(int f) const { return manifest_.fields[static_cast<size_t>(f)]; }

    const Manifest& manifest_;
    std::string file_;
    std::string record_;
    uint32_t recNo_ = 0;
};

// The key as the manifest writes it: C without trailing blanks, N as LTRIM(STR()), D as DTOS().
std::string manifestKeyText(const dbf::TdbVariant& v, unsigned keyLength) {
    switch (v.type()) {
    case 'C': return std::string(dbf::trimRight(v.text().substr(0, keyLength)));
    case 'N': {
        const int width = v.width() > 0 ? v.width() : 10;
        return std::string(dbf::trimLeft(dbf::formatNumber(v.number(), width, v.decimals())));
    }
    case 'D': return std::string(dbf::trimRight(dbf::dtos(v.julian())));
    default: return v.logicalValue() ? "T" : "F";
    }
}

TEST(ExpressionFixtureTest, EvaluatesEveryFixtureTagKeyAsTheIndexHoldsIt) {
    for (const std::string& name : testsupport::cdxFixtureNames()) {
        const Manifest m = testsupport::readManifest(name);
        FixtureRecord record(m);
        for (const ManifestTag& tag : m.tags) {
            SCOPED_TRACE(name + " tag " + tag.name + ": " + tag.expression);
            const dbf::TdbExpHandler key(tag.expression, record);
            // The other engine calls a logical tag's type "L"; its one-byte keys are held as
            // character keys here.
            EXPECT_EQ(dbf::keyTypeOf(key.resultType()), tag.keyType == 'L' ? 'C' : tag.keyType);
            std::set<uint32_t> expected;
            for (const ManifestKey& k : tag.keys) {
                record.go(k.recNo);
                EXPECT_EQ(manifestKeyText(key.evaluate(record), tag.keyLength), k.text) << "record " << k.recNo;
                expected.insert(k.recNo);
            }
            if (tag.unique) continue;
            // Every record has a key, unless the FOR condition leaves it out.
            std::set<uint32_t> selected;
            if (tag.forExpression.empty()) {
                for (uint32_t r = 1; r <= m.recordCount; ++r) selected.insert(r);
            } else {
                const dbf::TdbExpHandler condition(tag.forExpression, record);
                EXPECT_EQ(condition.resultType(), 'L');
                for (uint32_t r = 1; r <= m.recordCount; ++r) {
                    record.go(r);
                    if (condition.evaluate(record).logicalValue()) selected.insert(r);
                }
            }
            EXPECT_EQ(selected, expected);
        }
    }
}

}  // namespace
