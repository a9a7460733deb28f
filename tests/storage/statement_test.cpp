// The drivers' shared skeleton: a statement's hold on the lock, let go on every way
// out, and the read-ahead, the file's records with the staged ones over them.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/storage/io.h"
#include "platform/storage/readahead.h"
#include "platform/storage/staging.h"
#include "platform/storage/statementlock.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

using namespace zelk::storage;

// Whether another open of the file gets its write lock now.
bool otherGetsWriteLock(const std::string& path) {
  Fd fd(openRegular(path.c_str(), O_RDWR));
  ShareLock other;
  other.setWaitSeconds(0);
  if (other.acquire(fd.get(), mode::kReadWrite | mode::kDenyNone).code) return false;
  const bool got = other.lockWrite().code == 0;
  if (got) other.unlockOne();
  other.release();
  return got;
}

TEST(StatementLock, HeldForTheStatementAndLetGoOnEveryWayOut) {
  TempDir dir;
  const std::string path = dir / "f";
  std::ofstream(path) << "x";
  Fd fd(openRegular(path.c_str(), O_RDWR));
  ShareLock share;
  ASSERT_EQ(share.acquire(fd.get(), mode::kReadWrite | mode::kDenyNone).code, 0);
  auto statement = [&](StatementLock::Kind kind, bool failEarly) -> int {
    StatementLock s(share, kind);
    if (s.error.code) return s.error.code;
    EXPECT_EQ(share.depth(), 1);
    EXPECT_FALSE(otherGetsWriteLock(path));
    if (failEarly) return kFileSystemError;
    return 0;
  };
  for (StatementLock::Kind kind : {StatementLock::Kind::Read, StatementLock::Kind::Write})
    for (bool failEarly : {false, true}) {
      statement(kind, failEarly);
      EXPECT_EQ(share.depth(), 0);
      EXPECT_TRUE(otherGetsWriteLock(path));
    }
  // Under a lock held across statements the statement takes and lets go nothing.
  ASSERT_EQ(share.lockWrite().code, 0);
  {
    StatementLock s(share, StatementLock::Kind::Write, true);
    EXPECT_EQ(s.error.code, 0);
  }
  EXPECT_EQ(share.depth(), 1);
  share.unlockOne();
  share.release();
}

// A lock another open holds is the statement's error, and nothing is let go for it.
TEST(StatementLock, ALockHeldElsewhereIsTheStatementsError) {
  TempDir dir;
  const std::string path = dir / "f";
  std::ofstream(path) << "x";
  Fd mine(openRegular(path.c_str(), O_RDWR)), theirs(openRegular(path.c_str(), O_RDWR));
  ShareLock share, other;
  ASSERT_EQ(share.acquire(mine.get(), mode::kReadWrite | mode::kDenyNone).code, 0);
  ASSERT_EQ(other.acquire(theirs.get(), mode::kReadWrite | mode::kDenyNone).code, 0);
  ASSERT_EQ(other.lockWrite().code, 0);
  share.setWaitSeconds(0);
  {
    StatementLock s(share, StatementLock::Kind::Read);
    EXPECT_EQ(s.error.code, kFileLocked);
  }
  EXPECT_EQ(share.depth(), 0);
  other.unlockOne();
  other.release();
  share.release();
}

// Records of 4 bytes "rNNN" in a file; the staged ones "sNNN".
std::string record(char kind, int i) {
  std::string r(1, kind);
  r += std::to_string(1000 + i).substr(1);
  return r;
}

TEST(ReadAhead, HoldsTheFilesRecordsWithTheStagedOnesOver) {
  TempDir dir;
  const std::string path = dir / "f";
  {
    std::ofstream out(path);
    out << "head";
    for (int i = 0; i < 10; ++i) out << record('r', i);
  }
  Fd fd(openRegular(path.c_str(), O_RDONLY));
  Staging staged(4);
  staged.put(3, record('s', 3).data());
  staged.put(10, record('s', 10).data());  // appended: past the file's end
  staged.put(11, record('s', 11).data());
  staged.put(13, record('s', 13).data());  // after a gap: not held
  ReadAhead ahead(4);
  // Records 2 .. 13, the file's 2 .. 9 read, then the staged ones up to the gap.
  EXPECT_EQ(ahead.fill(fd.get(), 4 + 2 * 4, 2, 12, 8, staged), 10);
  EXPECT_EQ(ahead.first(), 2u);
  EXPECT_EQ(ahead.end(), 12u);
  const char* want[] = {"r002", "s003", "r004", "r005", "r006", "r007", "r008", "r009", "s010", "s011"};
  for (std::uint64_t i = 2; i < 12; ++i) EXPECT_EQ(std::string(ahead.at(i), 4), want[i - 2]) << i;
  EXPECT_EQ(ahead.find(1), nullptr);
  EXPECT_EQ(ahead.find(12), nullptr);
  // A change made is copied in where the window holds the record.
  ahead.update(5, "c005");
  ahead.update(12, "c012");
  EXPECT_EQ(std::string(ahead.at(5), 4), "c005");
  EXPECT_EQ(ahead.find(12), nullptr);
  // The file ending sooner than asked: what was read.
  EXPECT_EQ(ahead.fill(fd.get(), 4 + 8 * 4, 8, 6, 6, Staging(4)), 2);
  ahead.drop();
  EXPECT_FALSE(ahead.valid());
}

TEST(ReadAhead, APassReadsMoreAtEachStep) {
  TempDir dir;
  const std::string path = dir / "f";
  {
    std::ofstream out(path);
    for (int i = 0; i < 100; ++i) out << record('r', i);
  }
  Fd fd(openRegular(path.c_str(), O_RDONLY));
  const Staging none(4);
  ReadAhead ahead(4);
  EXPECT_EQ(ahead.span(0, true, 1, 16), 1u);
  std::uint64_t at = 0;
  for (std::uint64_t want : {1, 2, 4, 8, 16, 16}) {
    const std::uint64_t n = ahead.span(at, true, 1, 16);
    EXPECT_EQ(n, want) << at;
    ahead.fill(fd.get(), at * 4, at, n, n, none);
    at += n;
  }
  // Elsewhere than where the window ends: the start again; backward from its start: more.
  EXPECT_EQ(ahead.span(at + 5, true, 2, 16), 2u);
  EXPECT_EQ(ahead.span(ahead.first() - 1, false, 1, 64), 32u);
  EXPECT_EQ(ahead.span(ahead.first() - 1, true, 1, 64), 1u);
}

}  // namespace
}  // namespace zelk::test
