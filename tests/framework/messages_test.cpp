#include "app/messages.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>

#include "platform/core/codepage.h"
#include "platform/framework/errors.h"

namespace zelk {
namespace {

using fw::MessageEntry;

namespace msg = fw::msg;

std::map<std::uint16_t, MessageEntry> byId() {
  std::map<std::uint16_t, MessageEntry> m;
  for (const MessageEntry& e : app::defaultErrors()) m.emplace(e.id, e);
  return m;
}

TEST(MessageTable, OneEntryForEachIdWithItsTitleAndText) {
  // No two ids alike.
  for (std::size_t i = 1; i < msg::kEvery.size(); ++i) EXPECT_LT(msg::kEvery[i - 1], msg::kEvery[i]);
  std::map<std::uint16_t, int> seen;
  for (const MessageEntry& e : app::defaultErrors()) ++seen[e.id];
  EXPECT_EQ(seen.size(), msg::kEvery.size());
  fw::ErrorClass errors;
  errors.Init(app::defaultErrors());
  const auto table = byId();
  for (msg::Id id : msg::kEvery) {
    SCOPED_TRACE(id);
    ASSERT_EQ(seen[id], 1);  // one entry, shared with no other id
    const MessageEntry& e = table.at(id);
    EXPECT_FALSE(e.title.empty());
    EXPECT_FALSE(e.text.empty());
    EXPECT_EQ(errors.level(id), e.level);
    EXPECT_EQ(errors.title(id), ansi(e.title));  // held in 1251
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
  auto lines = fw::boxLines(ansi(table.at(msg::kRecordRead).text));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_FALSE(lines[0].empty());
  EXPECT_FALSE(lines[1].empty());
  EXPECT_GT(table.at(msg::kChangedWhileEditing).text.size(), table.at(msg::kConcurrency).text.size());
}

}  // namespace
}  // namespace zelk
