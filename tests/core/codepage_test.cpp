#include "platform/core/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace zelk {
namespace {

// The 66 Cyrillic letters in 1251 and in 866, in the same order: А-Я, а-я, Ё, ё.
std::string ansiLetters() {
  std::string s;
  for (int c = 0xC0; c <= 0xFF; ++c) s += static_cast<char>(c);
  s += '\xA8';
  s += '\xB8';
  return s;
}
std::string oemLetters() {
  std::string s;
  for (int c = 0x80; c <= 0xAF; ++c) s += static_cast<char>(c);  // А-Я, а-п
  for (int c = 0xE0; c <= 0xEF; ++c) s += static_cast<char>(c);  // р-я
  s += '\xF0';
  s += '\xF1';
  return s;
}

TEST(CodePage, CyrillicLettersBetween1251And866) {
  const std::string ansi1251 = ansiLetters(), oem866 = oemLetters();
  ASSERT_EQ(ansi1251.size(), 66u);
  EXPECT_EQ(cp::ansiToOem(ansi1251), oem866);
  EXPECT_EQ(cp::oemToAnsi(oem866), ansi1251);
  EXPECT_EQ(cp::oemToAnsi(cp::ansiToOem(ansi1251)), ansi1251);
  for (std::size_t i = 0; i < ansi1251.size(); ++i) {
    EXPECT_EQ(cp::ansiToOem(ansi1251[i]), oem866[i]) << i;
    EXPECT_EQ(cp::oemToAnsi(oem866[i]), ansi1251[i]) << i;
  }
}

TEST(CodePage, AsciiUnchangedAndInPlaceConversion) {
  std::string ascii;
  for (int c = 0; c < 128; ++c) ascii += static_cast<char>(c);
  EXPECT_EQ(cp::ansiToOem(ascii), ascii);
  EXPECT_EQ(cp::oemToAnsi(ascii), ascii);

  std::string buf = ansi("Счёт 60.1 №5");
  cp::ansiToOem(buf.data(), buf.size());
  EXPECT_EQ(buf, "\x91\xE7\xF1\xE2 60.1 \xFC" "5");
  cp::oemToAnsi(buf.data(), buf.size());
  EXPECT_EQ(buf, ansi("Счёт 60.1 №5"));
}

// A text converts as its bytes one by one do, wherever its blocks of sixteen begin and
// end: every byte, letters only, and a byte outside the letters among them.
TEST(CodePage, TextsConvertAsTheirBytesOneByOne) {
  std::string every;
  for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
  std::string letters;
  for (int i = 0; i < 3; ++i) letters += ansiLetters() + oemLetters();
  const std::string cases[] = {
      every,
      letters,
      std::string(20, '\xE0') + '\xB0' + std::string(20, '\x85') + '\xF0' + std::string(20, '\xC4'),
      cp::ansiToOem(ansi("Оплата по счёту 17 от 01.03.2024, НДС не облагается")),
      std::string(100, 'a') + letters,  // ASCII blocks passed at once, then letters
  };
  for (const std::string& text : cases) {
    for (std::size_t from = 0; from < 17; ++from) {
      for (std::size_t n = 0; from + n <= text.size(); n += n < 40 ? 1 : 7) {
        const std::string part = text.substr(from, n);
        std::string toOem = part, toAnsi = part, oneByOneOem = part, oneByOneAnsi = part;
        cp::ansiToOem(toOem.data(), toOem.size());
        cp::oemToAnsi(toAnsi.data(), toAnsi.size());
        for (char& c : oneByOneOem) c = cp::ansiToOem(c);
        for (char& c : oneByOneAnsi) c = cp::oemToAnsi(c);
        ASSERT_EQ(toOem, oneByOneOem) << "from " << from << ", " << n << " bytes";
        ASSERT_EQ(toAnsi, oneByOneAnsi) << "from " << from << ", " << n << " bytes";
      }
    }
  }
}

TEST(CodePage, CharactersMissingIn866BecomeOneByte) {
  // «, » and € have no place in 866: each stays one byte, the text keeps its length.
  const std::string s = ansi("a«b»c€");
  ASSERT_EQ(s.size(), 6u);
  const std::string o = cp::ansiToOem(s);
  ASSERT_EQ(o.size(), 6u);
  EXPECT_EQ(o[0], 'a');
  EXPECT_EQ(o[2], 'b');
  EXPECT_EQ(o[4], 'c');
}

TEST(CodePage, Utf8And1251) {
  EXPECT_EQ(ansi("Ёлка ёж"), "\xA8\xEB\xEA\xE0 \xB8\xE6");
  EXPECT_EQ(ansi("Задание выполнено").size(), 17u);
  EXPECT_EQ(cp::toUtf8(ansi("Не найден входной файл")), "Не найден входной файл");
  EXPECT_EQ(cp::toUtf8(ansiLetters()),
            "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюяЁё");
  EXPECT_EQ(cp::toUtf8(ansi("№ «РУБ» – €")), "№ «РУБ» – €");
  EXPECT_EQ(ansi("日本"), "??");          // 1251 lacks them
  EXPECT_EQ(cp::fromUtf8("a\xFF" "b"), "a?b");  // an invalid byte
  EXPECT_EQ(cp::fromUtf8("a\xD0"), "a?");       // a cut sequence
}

TEST(CodePage, LetterCase) {
  const std::string upper = ansi("АБВЯЁQZ1"), lower = ansi("абвяёqz1");
  for (std::size_t i = 0; i < upper.size(); ++i) {
    EXPECT_EQ(cp::upper(lower[i]), upper[i]) << i;
    EXPECT_EQ(cp::lower(upper[i]), lower[i]) << i;
  }
  const std::string all = ansiLetters();
  for (std::size_t i = 0; i < 32; ++i) EXPECT_EQ(cp::upper(all[32 + i]), all[i]) << i;
}

TEST(CodePage, NamesWithoutRegardToCase) {
  struct Case {
    const char* a;
    const char* b;
    bool name, ascii;  // sameName, sameAsciiName
  } cases[] = {
      {"?BUTTON4", "?button4", true, true},
      {"Имя", "ИМЯ", true, false},  // Cyrillic letters: only the program's names
      {"ёж", "ЁЖ", true, false},
      {"KOD", "KOD ", false, false},  // blanks count
      {"KOD", "KOT", false, false},
      {"", "", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cp::sameName(ansi(c.a), ansi(c.b)), c.name) << c.a << " " << c.b;
    EXPECT_EQ(cp::sameAsciiName(ansi(c.a), ansi(c.b)), c.ascii) << c.a << " " << c.b;
  }
}

}  // namespace
}  // namespace zelk
