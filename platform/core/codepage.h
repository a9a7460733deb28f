#pragma once
// Code pages: the program holds text as Windows Cyrillic (1251); some files store
// the DOS Cyrillic code page (866); the screen and the source files speak UTF-8.
#include <string>
#include <string_view>

namespace zelk::cp {

// Byte-for-byte conversions between 1251 (ANSI) and 866 (OEM). A character that the
// target code page lacks becomes its closest look-alike, else '?'.
char ansiToOem(char c);
char oemToAnsi(char c);
void ansiToOem(char* s, std::size_t n);
void oemToAnsi(char* s, std::size_t n);
// dst gets src's n bytes converted, then blanks up to size (n <= size). src is read
// by whole blocks of sixteen: the bytes up to src + n rounded up to sixteen must be
// readable.
void oemToAnsi(char* dst, std::size_t size, const char* src, std::size_t n);
std::string ansiToOem(std::string_view s);
std::string oemToAnsi(std::string_view s);

// UTF-8 <-> 1251. A character 1251 lacks becomes '?'; invalid UTF-8 bytes become '?'.
std::string fromUtf8(std::string_view utf8);
std::string toUtf8(std::string_view ansi);

// Letter case in 1251 (Latin and Cyrillic letters).
char upper(char c);
char lower(char c);
// The text with every letter in upper case.
std::string upper(std::string_view s);

// Names of the program (procedures, controls, settings, files' labels) in 1251: equal
// without regard to the case of Latin and Cyrillic letters.
bool sameName(std::string_view a, std::string_view b);
// Names of outside formats (dBase columns, SQL columns): equal without regard to the
// case of ASCII letters; every other byte compares as it is.
bool sameAsciiName(std::string_view a, std::string_view b);

}  // namespace zelk::cp

namespace zelk {
// A text of the program written in the source as UTF-8, as the program holds it (1251).
inline std::string ansi(std::string_view utf8) { return cp::fromUtf8(utf8); }
}  // namespace zelk
