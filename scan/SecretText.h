// The program's fixed secrets (the keylogger table's key, the maker's web address) are
// compiled in enciphered and deciphered only at the moment of use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace scan {

// Deciphers `text`: hexadecimal digits of an 8-byte starting block followed by the
// enciphered bytes, Blowfish in 64-bit cipher feedback under the program's own 42-byte key.
// Raises std::invalid_argument for text that is not of that form.
std::string decipherSecret(std::string_view text);

// The inverse, for building a secret's text; `iv` is the 8-byte starting block.
std::string encipherSecret(std::string_view plain, const uint8_t iv[8]);

// The keylogger table's key, deciphered from its 106-character text.
std::string keyloggerTableKey();

// The maker's web address, deciphered.
std::string siteAddress();

// Overwrites a string's characters before it is dropped.
void wipe(std::string& s) noexcept;

}  // namespace scan
