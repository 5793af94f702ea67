// The code pages of table text, by their Windows numbers: the DOS, Windows,
// Macintosh and ISO single-byte pages that language-driver bytes and .cpg
// files name, DOS Russian (866) shown as the program always showed it
// (through the Windows-1251 look-alikes of text.h), and UTF-8. Text inside
// the program is UTF-8; these conversions are the only way table bytes
// become it and go back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tabulon {

constexpr int kUtf8CodePage = 65001;
constexpr int kDosRussianCodePage = 866;
constexpr int kWindowsRussianCodePage = 1251;

bool IsKnownCodePage(int code_page);
// Every known page but UTF-8 and 866, in the order of their numbers.
std::vector<int> GetSingleByteCodePages();
// The DOS ("OEM") pages.
bool IsDosCodePage(int code_page);
// The page of the other family for the same letters: 866 and 1251, 850
// (437, 860, 861, 863, 865) and 1252, 852 and 1250, 737 and 1253, 857 and
// 1254, 862 and 1255. 0 where there is none (UTF-8, Macintosh, ISO, Thai,
// Baltic, Arabic).
int CodePageTwin(int code_page);

// A code page as .cpg files and users write it, blanks around it and case
// ignored: "1251", "CP1251", "ANSI 1251", "OEM 866", "windows-1252",
// "IBM437", "UTF-8", "UTF8", "65001", "88591" or "ISO-8859-1", "KOI8-R".
// 0 for a name of no known page (a bare "OEM" or "ANSI" names none).
int CodePageOfName(const std::string& name);

// Table bytes as UTF-8 text. Every byte has a form: UTF-8 bytes that are
// no character read as U+FFFD each.
std::string DecodeText(int code_page, const std::string& bytes);
// The bytes of the stored character that starts at bytes[at]: 1 in a
// single-byte page, the whole sequence (or 1 for a stray byte) in UTF-8.
size_t StoredCharacterLength(int code_page, const std::string& bytes, size_t at);
// UTF-8 text in the page's bytes, strictly: false at the first character
// the page lacks (or a malformed byte), which missing then holds (UTF-8).
bool EncodeText(int code_page, const std::string& utf8, std::string& bytes, std::string& missing);

// The next code point of UTF-8 text at i (i moves past it); a byte that
// starts no well-formed character gives false and moves one byte.
bool NextCodePoint(const std::string& utf8, size_t& i, uint32_t& code);
void AppendCodePoint(std::string& utf8, uint32_t code);
// The small letter of a capital in the Latin, Greek and Cyrillic scripts
// (every other code point stays).
uint32_t LowerCodePoint(uint32_t code);
// UTF-8 text with its capitals made small (malformed bytes kept).
std::string LowerUtf8(const std::string& utf8);

}  // namespace tabulon
