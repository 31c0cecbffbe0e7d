// The engine's value type: what a key or FOR expression yields and what an index key holds.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace dbf {

// One of four kinds, named by the xBase type letter:
//   'C' character: bytes, blanks significant;
//   'N' numeric: a double, with the display width and decimals that STR() uses when it is
//       given no width (0 width: none known, STR() falls back to 10 digits plus decimals);
//   'D' date: a Julian day number, 0 for the blank date;
//   'L' logical.
class TdbVariant {
public:
    TdbVariant() = default;  // the empty character value

    static TdbVariant character(std::string text) {
        TdbVariant v;
        v.type_ = 'C';
        v.text_ = std::move(text);
        return v;
    }
    static TdbVariant numeric(double value, int width = 0, int decimals = 0) {
        TdbVariant v;
        v.type_ = 'N';
        v.number_ = value;
        v.width_ = width;
        v.decimals_ = decimals;
        return v;
    }
    static TdbVariant date(int32_t julianDay) {
        TdbVariant v;
        v.type_ = 'D';
        v.julian_ = julianDay;
        return v;
    }
    static TdbVariant logical(bool value) {
        TdbVariant v;
        v.type_ = 'L';
        v.logical_ = value;
        return v;
    }

    char type() const noexcept { return type_; }
    bool isCharacter() const noexcept { return type_ == 'C'; }
    bool isNumeric() const noexcept { return type_ == 'N'; }
    bool isDate() const noexcept { return type_ == 'D'; }
    bool isLogical() const noexcept { return type_ == 'L'; }

    // Each accessor answers for its own kind only; for another kind it gives the empty value.
    const std::string& text() const noexcept { return text_; }
    double number() const noexcept { return number_; }
    int width() const noexcept { return width_; }
    int decimals() const noexcept { return decimals_; }
    int32_t julian() const noexcept { return julian_; }
    bool logicalValue() const noexcept { return logical_; }

private:
    char type_ = 'C';
    std::string text_;
    double number_ = 0.0;
    int width_ = 0;
    int decimals_ = 0;
    int32_t julian_ = 0;
    bool logical_ = false;
};

}  // namespace dbf
