// Text services of the platform, in portable code so that every backend
// gives the same bytes: the OEM (code page 866) to ANSI (Windows-1251)
// conversion of a Russian Windows and its strict inverse, upper- and
// lower-casing of Windows-1251 text as a Russian locale does, the evidence
// that tells 866 text from 1251 text, and conversions between Windows-1251
// and UTF-8.
#pragma once

#include <cstdint>
#include <string>

namespace tabulon {

// OemToCharA on a Russian Windows: byte for byte, characters that 1251
// lacks become their nearest look-alike or '?'.
uint8_t OemToAnsiChar(uint8_t oem);
std::string OemToAnsi(const std::string& oem);

// The code page 866 byte of a Windows-1251 character; false when 866 has
// no such character (the look-alikes OemToAnsi gives for box drawing, for
// one). What converts reads back through OemToAnsi exactly as it was.
bool AnsiToOemChar(uint8_t ansi, uint8_t& oem);
// A whole text; false (oem undefined) at the first character 866 lacks,
// which missing then holds.
bool AnsiToOem(const std::string& ansi, std::string& oem, uint8_t& missing);

// CharLowerBuffA with code page 1251: Latin and Cyrillic capitals
// (Ё, Ў, Є, Ї, І, Ґ and the Serbian and Macedonian letters included) become
// small letters; every other byte stays.
uint8_t LowerAnsiChar(uint8_t c);
std::string LowerAnsi(const std::string& text);
// The other way: small letters become capitals, every other byte stays.
uint8_t UpperAnsiChar(uint8_t c);
std::string UpperAnsi(const std::string& text);

// Russian letters that only one of code pages 866 and 1251 would make of
// the bytes read so far. Bytes both make letters of (and bytes neither
// does) say nothing; a byte counts only inside a word (next to another
// letter of that code page; a 1251 capital, next to a small one), and a
// run of one byte counts once, so that the box drawing of DOS texts and
// stray 1251 punctuation weigh little against words.
struct CyrillicEvidence {
  uint32_t Oem = 0;
  uint32_t Ansi = 0;
};
void AddCyrillicEvidence(const std::string& text, CyrillicEvidence& evidence);

// The Unicode code point of a Windows-1251 byte (0x98, unassigned, maps
// to U+0098).
uint32_t AnsiToCodePoint(uint8_t c);
// Windows-1251 and UTF-8: characters 1251 lacks become '?', malformed
// UTF-8 bytes too.
std::string AnsiToUtf8(std::string ansi);
// One code point (below U+10000) as UTF-8.
std::string CodePointToUtf8(uint32_t code);
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace tabulon
