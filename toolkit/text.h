// Text services of the platform, in portable code so that every backend
// gives the same bytes: the OEM (code page 866) to ANSI (Windows-1251)
// conversion of a Russian Windows, lower-casing of Windows-1251 text as a
// Russian locale does, and conversions between Windows-1251 and UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace tabulon {

// OemToCharA on a Russian Windows: byte for byte, characters that 1251
// lacks become their nearest look-alike or '?'.
uint8_t OemToAnsiChar(uint8_t oem);
std::string OemToAnsi(const std::string& oem);

// CharLowerBuffA with code page 1251: Latin and Cyrillic capitals
// (Ё, Ў, Є, Ї, І, Ґ and the Serbian and Macedonian letters included) become
// small letters; every other byte stays.
uint8_t LowerAnsiChar(uint8_t c);
std::string LowerAnsi(const std::string& text);

// The Unicode code point of a Windows-1251 byte (0x98, unassigned, maps
// to U+0098).
uint32_t AnsiToCodePoint(uint8_t c);
// Windows-1251 and UTF-8: characters 1251 lacks become '?', malformed
// UTF-8 bytes too.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace tabulon
