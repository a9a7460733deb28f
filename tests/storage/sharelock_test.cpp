// The sharing modes between opens of one file: another program's flock() never holds
// an open, a file system that refuses locks is an error, and two opens that claim at
// once never both get what they deny each other.
#include "platform/storage/sharelock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "support/tempdir.h"

namespace zelk::test {
namespace {

using namespace zelk::storage;

constexpr std::uint8_t kWriterDenyingWriters = mode::kReadWrite | mode::kDenyWrite;

TEST(ShareLock, AnotherProgramsFlockDoesNotHoldAnOpen) {
  TempDir dir;
  std::ofstream(dir / "f") << "x";
  for (int kind : {LOCK_EX, LOCK_SH}) {
    int other = ::open((dir / "f").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(other, kind), 0);
    int fd = ::open((dir / "f").c_str(), O_RDWR);
    ShareLock s;
    EXPECT_EQ(s.acquire(fd, kWriterDenyingWriters).code, 0);
    s.release();
    ::close(fd);
    ::close(other);
  }
}

// A descriptor on which the system takes no lock stands for a share that refuses them.
TEST(ShareLock, LocksTheFileSystemRefusesAreADriverError) {
  TempDir dir;
  std::ofstream(dir / "f") << "x";
  int fd = ::open((dir / "f").c_str(), O_PATH);
  ShareLock s;
  const ErrorState e = s.acquire(fd, kWriterDenyingWriters);
  EXPECT_EQ(e.code, kDriverError);
  EXPECT_NE(e.fileText.find("refuses file locks"), std::string::npos) << e.fileText;
  ::close(fd);
}

TEST(ShareLock, OpensClaimingAtOnceNeverBothDenyEachOtherWriting) {
  TempDir dir;
  std::ofstream(dir / "f") << "x";
  constexpr int kTimes = 300;
  std::atomic<int> holders{0}, both{0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  // Each opener gets the file kTimes, trying again while the other holds it (how often
  // depends on the machine's load; once the other is done, nothing stands in the way).
  auto opener = [&](std::atomic<int>& got) {
    while (got < kTimes && std::chrono::steady_clock::now() < deadline) {
      int fd = ::open((dir / "f").c_str(), O_RDWR);
      ShareLock s;
      if (s.acquire(fd, kWriterDenyingWriters).code == 0) {
        ++got;
        if (++holders > 1) ++both;
        std::this_thread::yield();
        --holders;
        s.release();
      }
      ::close(fd);
    }
  };
  std::atomic<int> gotA{0}, gotB{0};
  std::thread a(opener, std::ref(gotA)), b(opener, std::ref(gotB));
  a.join();
  b.join();
  EXPECT_EQ(both.load(), 0);
  EXPECT_EQ(gotA.load(), kTimes);
  EXPECT_EQ(gotB.load(), kTimes);
}

}  // namespace
}  // namespace zelk::test
