// The one writer of the imports, run from a reader of events held in memory into a
// firm's real files.
#include <utility>
#include <vector>

#include "import/writer.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

using namespace zelk::dict;
using import::Outcome;

class EventsReader : public import::Reader {
 public:
  explicit EventsReader(std::vector<import::Event> events) : events_(std::move(events)) {}
  int open() override { return 0; }
  import::Event next() override { return at_ < events_.size() ? events_[at_++] : import::End{}; }

 private:
  std::vector<import::Event> events_;
  std::size_t at_ = 0;
};

class Writer : public ImportTest {
 protected:
  void SetUp() override {
    ImportTest::SetUp();
    openFiles();
  }
  import::ImportResult run(std::vector<import::Event> events) {
    EventsReader reader(std::move(events));
    return import::writePostings(reader, accounts, progress());
  }
  static import::Document posting(double amount) {
    import::Document d;
    d.amount = amount;
    d.direction = import::Direction::Received;
    return d;
  }
};

// Nothing past the limit is written: not the balance that comes before the document
// past it either.
TEST_F(Writer, NothingPastTheLimitIsWritten) {
  std::vector<import::Event> events{import::Balance{1, day(2024, 3, 1)}};
  for (int i = 0; i < import::kMaxPostings; ++i) events.emplace_back(posting(1));
  events.emplace_back(import::Balance{2, day(2024, 3, 2)});
  events.emplace_back(posting(2));
  const auto r = run(std::move(events));
  EXPECT_EQ(r.outcome, Outcome::TooMany);
  EXPECT_EQ(r.count, import::kMaxPostings);
  EXPECT_EQ(postings().size(), std::size_t{import::kMaxPostings});
  ASSERT_EQ(balances().size(), 1u);
  EXPECT_EQ(balances()[0].OST.get(), 1);
  EXPECT_EQ(balances()[0].DATA.get(), day(2024, 3, 1));
}

// A read that fails ends the run with its file's message; what was posted before it
// stays, the balance's day set in place included.
TEST_F(Writer, AFailedReadEndsTheRunWithItsFile) {
  storage::ErrorState e;
  e.code = storage::kFileSystemError;
  e.text = std::string(storage::errorText(e.code));
  import::Document row = posting(5);
  row.counterparty = "ООО";
  const auto r = run({import::Balance{7, 0}, import::BalanceDay{day(2024, 3, 1)}, row,
                      import::ReadFailed{"/firm/vypiska.txt", e}, posting(6)});
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_TRUE(r.message.empty());
  EXPECT_EQ(r.count, 1);
  ASSERT_TRUE(r.failure);
  EXPECT_EQ(r.failure->message, fw::msg::kReadFailed);
  EXPECT_EQ(r.failure->file, "/firm/vypiska.txt");
  EXPECT_EQ(r.failure->error.code, storage::kFileSystemError);
  ASSERT_EQ(postings().size(), 1u);
  EXPECT_EQ(postings()[0].SUMMA.get(), 5);
  EXPECT_EQ(postings()[0].NNOPER.get(), 1);
  ASSERT_EQ(rows().size(), 1u);
  ASSERT_EQ(balances().size(), 1u);
  EXPECT_EQ(balances()[0].OST.get(), 7);
  EXPECT_EQ(balances()[0].DATA.get(), day(2024, 3, 1));
}

}  // namespace
}  // namespace zelk::test
