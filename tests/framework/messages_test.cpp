#include "app/messages.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/core/codepage.h"
#include "platform/framework/errors.h"

namespace zelk {
namespace {

using fw::MessageEntry;

struct TitleCase {
  std::uint16_t id;
  std::uint8_t level;
  const char* title;
};

// Every message: its level and title.
const TitleCase kTitles[] = {
    {1, 5, "Ошибка доступа к записи"},
    {2, 5, "Доступ запрещен"},
    {3, 1, "Запись добавлена"},
    {4, 5, "Ошибка добавления записи"},
    {5, 5, "Добавить новую запись?"},
    {6, 5, "Ошибка доступа к файлу"},
    {7, 5, "Запись не обновляется"},
    {8, 5, "Запись не обновляется"},
    {9, 5, "Ошибка чтения записи"},
    {10, 1, "Изменения будут потеряны!"},
    {11, 1, "Подтвердите Удаление"},
    {12, 3, "Ошибка создания файла"},
    {13, 5, "Запись не удаляется"},
    {14, 5, "Неверный запрос"},
    {15, 5, "Ошибка дублирования в ключе"},
    {16, 5, "Ошибка содержимого поля"},
    {17, 5, "Ошибка значения"},
    {18, 5, "Ошибка интервала"},
    {19, 5, "Ошибка интервала"},
    {20, 5, "Ошибка интервала"},
    {21, 5, "Ошибка загрузки файла"},
    {22, 3, "Ошибка разборки отчёта"},
    {23, 5, "Неверный запрос"},
    {24, 5, "Транзакция отменена"},
    {25, 5, "Нет записей"},
    {26, 3, "Ошибка доступа к файлу"},
    {27, 5, "Процедура не определена"},
    {28, 5, "Запись не обновляется"},
    {29, 3, "Ключ не построен"},
    {30, 5, "Неверный ключ"},
    {31, 5, "Запись не читается"},
    {33, 5, "Ошибка удаления связанной записи"},
    {34, 5, "Ошибка обновления связанной записи"},
    {35, 1, "Ошибка автоматического увеличения"},
    {36, 1, "Ошибка удаления записи"},
    {37, 1, "Ошибка перезаписи"},
    {38, 1, "Сохранение записи"},
    {39, 1, "Ошибка начала файла"},
    {40, 1, "Ошибка \"Конец Файла\""},
    {41, 5, "Неверный запрос"},
    {42, 2, "Ошибка использования файла"},
    {43, 5, "Ошибка открытия представления"},
    {44, 5, "Неподдерживаемый столбец фильтра"},
    {45, 5, "Ошибка SMTP"},
    {46, 5, "Ошибка NNTP"},
    {47, 5, "Ошибка Winsock"},
    {48, 3, "Ошибка разборки отчёта"},
    {49, 3, "Ошибка разборки отчёта"},
    {50, 3, "Ошибка разборки отчёта"},
    {51, 3, "Ошибка разборки отчёта"},
    {52, 5, "Ошибка генератора отчётов"},
    {53, 5, "Ошибка Генератора Отчётов"},
};

// The texts the program's own paths show, word for word.
const std::pair<std::uint16_t, const char*> kFixedTexts[] = {
    {1, "Ошибка: (%ErrorText) возникла при доступе к файлу %File.  Возвращаемся к предыдущему окну."},
    {2, "Невозможно производить запись в файл %File поэтому осуществляется только чтение."},
    {4, "Возникла ошибка при создании записи. Ошибка: %ErrorText."},
    {7, "Запись была изменена другой рабочей станцией."},
    {10, "Вы уверены что желаете отменить?"},
    {11, "Вы уверены что желаете удалить выделенную запись?"},
    {12, "Ошибка: (%ErrorText) создания %File."},
    {13, "Возникла ошибка (%ErrorText) при удалении записи из %File файла."},
    {14, "Эта форма не может быть использована для удаления записи"},
    {15, "Добавление этой записи создает дублирование для ключа: %Message"},
    {26, "Файл %File не может быть открыт.  Ошибка: %ErrorText."},
    {28, "Возникла ошибка (%ErrorText) при внесении изменений в файл %File."},
    {29, "Ошибка: (%ErrorText) восстановления ключа для %File."},
    {30, "Файл %File - ключ испорчен. Ключ необходимо перестроить."},
    {35, "Попытка автоматического нумерования этой записи привела к ошибке: %ErrorText. Попробовать еще раз?"},
    {36, "Возникла ошибка при удалении записи. Желаете попробовать удалить еще раз?"},
    {37, "Возникла ошибка при изменений записи. Желаете попробовать записать еще раз?"},
    {38, "Вы хотите записать изменения для этой записи?"},
    {41, "Эта форма не может быть использована для изменения записи"},
    {42, "Попытка работы с файлом (%File) до его открытия"},
    {43, "Ошибка: (%ErrorText) возникла при открытии текущего представления. Проигнорирован фильтр и интервал "
         "(Filter and Range Limits)."},
};

std::map<std::uint16_t, MessageEntry> byId() {
  std::map<std::uint16_t, MessageEntry> m;
  for (const MessageEntry& e : app::defaultErrors()) m.emplace(e.id, e);
  return m;
}

TEST(MessageTable, HoldsEveryIdOnceAndNoOther) {
  std::map<std::uint16_t, int> seen;
  for (const MessageEntry& e : app::defaultErrors()) ++seen[e.id];
  std::map<std::uint16_t, int> expected;
  for (const TitleCase& c : kTitles) expected[c.id] = 1;
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(seen.count(32), 0u);
}

TEST(MessageTable, LevelsAndTitlesAsLoaded) {
  fw::ErrorClass errors;
  errors.Init(app::defaultErrors());
  auto table = byId();
  for (const TitleCase& c : kTitles) {
    SCOPED_TRACE(c.id);
    ASSERT_EQ(table.count(c.id), 1u);
    EXPECT_EQ(table.at(c.id).level, c.level);
    EXPECT_EQ(table.at(c.id).title, c.title);
    EXPECT_EQ(errors.level(c.id), c.level);
    EXPECT_EQ(errors.title(c.id), ansi(c.title));  // held in 1251
  }
}

TEST(MessageTable, FixedTextsWordForWord) {
  auto table = byId();
  for (const auto& [id, text] : kFixedTexts) {
    SCOPED_TRACE(id);
    ASSERT_EQ(table.count(id), 1u);
    EXPECT_EQ(table.at(id).text, text);
  }
}

TEST(MessageTable, TitlesAndTextsFit1251AndItsLimit) {
  for (const MessageEntry& e : app::defaultErrors()) {
    SCOPED_TRACE(e.id);
    for (std::string_view s : {e.title, e.text}) {
      std::string a = ansi(s);
      EXPECT_LE(a.size(), 255u);
      EXPECT_FALSE(a.empty());
      EXPECT_EQ(cp::toUtf8(a), s);  // every character exists in 1251
    }
  }
}

TEST(MessageTable, NineShowsTwoLinesAndEightLengthensSeven) {
  auto table = byId();
  auto lines = fw::boxLines(ansi(table.at(9).text));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_FALSE(lines[0].empty());
  EXPECT_FALSE(lines[1].empty());
  EXPECT_GT(table.at(8).text.size(), table.at(7).text.size());
}

}  // namespace
}  // namespace zelk
