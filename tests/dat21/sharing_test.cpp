// Several openers on one 2.1 data file: threads, processes, killed writers, sharing
// modes and file permissions.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "layouts.h"
#include "platform/storage/sharelock.h"

namespace zelk::dat21test {
namespace {

namespace fs = std::filesystem;

// Runs body in a child process and returns its exit code (-1 when it did not exit).
int inChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Dat21Test, OpenersSeeEachOthersChangesAndKeepTheirPlace) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(10), prt(20), prt(30), prt(40)});
  Opened<PrtRec> a(prtDecl(), path("prt.dat"));
  ASSERT_EQ(a.open(kShared), 0);
  a.set(0);
  a.next();
  ASSERT_EQ(a.next(), 0);
  ASSERT_EQ(a.rec.KOD.get(), 20);

  // Another thread's instance removes the next record and adds one before it, then
  // churns enough for its key log to be rewritten.
  const std::string keyFile = path("prt.K01");
  std::thread other([&] {
    Opened<PrtRec> b(prtDecl(), path("prt.dat"));
    ASSERT_EQ(b.open(kShared), 0);
    b.rec = prt(30);
    ASSERT_EQ(b.get(0), 0);
    ASSERT_EQ(b.erase(), 0);
    b.rec = prt(25);
    ASSERT_EQ(b.add(), 0);
    for (int i = 0; i < 1500; ++i) {
      b.rec = prt(100);
      ASSERT_EQ(b.add(), 0);
      ASSERT_EQ(b.erase(), 0);
    }
  });
  other.join();
  EXPECT_LT(fs::file_size(keyFile), 64u + 1500u * 7u);

  ASSERT_EQ(a.next(), 0);
  EXPECT_EQ(a.rec.KOD.get(), 25);
  ASSERT_EQ(a.next(), 0);
  EXPECT_EQ(a.rec.KOD.get(), 40);
  EXPECT_TRUE(a.eof());
  std::thread([&] {
    Opened<PrtRec> b(prtDecl(), path("prt.dat"));
    ASSERT_EQ(b.open(kShared), 0);
    b.rec = prt(45);
    ASSERT_EQ(b.add(), 0);
  }).join();
  EXPECT_FALSE(a.eof());
  ASSERT_EQ(a.next(), 0);
  EXPECT_EQ(a.rec.KOD.get(), 45);
  ASSERT_EQ(a.erase(), 0);
  EXPECT_EQ(a.records(), 4u);
  EXPECT_EQ(prtCodes(a), (std::vector<int>{10, 20, 25, 40}));
  EXPECT_EQ(prtCodes(a, -1), (std::vector<int>{10, 20, 25, 40}));
}

TEST_F(Dat21Test, WatchedRecordChangedElsewhereIsNotOverwritten) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1, "first")});
  Opened<PrtRec> a(prtDecl(), path("prt.dat")), b(prtDecl(), path("prt.dat"));
  ASSERT_EQ(a.open(kShared), 0);
  ASSERT_EQ(b.open(kShared), 0);
  for (bool watched : {true, false}) {
    a.rec = prt(1);
    if (watched) a.watch();
    ASSERT_EQ(a.get(0), 0);
    b.rec = prt(1);
    ASSERT_EQ(b.get(0), 0);
    b.rec.NAME = watched ? "by b" : "by b again";
    ASSERT_EQ(b.put(), 0);
    a.rec.NAME = "by a";
    EXPECT_EQ(a.put(), watched ? kRecordChanged : 0);
  }
  b.rec = prt(1);
  ASSERT_EQ(b.get(0), 0);
  EXPECT_EQ(b.rec.NAME, "by a");
}

TEST_F(Dat21Test, ProcessesNumberUnderTheLockWithoutGivingANumberTwice) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {});
  constexpr int kChildren = 3, kEach = 150;
  std::vector<pid_t> pids;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    if (pid == 0) {
      Opened<PrtRec> f(prtDecl(), path("prt.dat"));
      if (f.open(kShared) != 0) _exit(10);
      for (int i = 0; i < kEach; ++i) {
        if (f.lock() != 0) _exit(11);
        f.set(0);
        int r = f.previous();
        if (r != 0 && r != kRecordNotAvailable) _exit(12);
        const int next = r == 0 ? f.rec.KOD.get() + 1 : 1;
        f.rec = prt(next, "child");
        if (f.add() != 0) _exit(13);
        f.unlock();
      }
      _exit(0);
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  ASSERT_EQ(f.open(), 0);
  std::vector<int> expected;
  for (int i = 1; i <= kChildren * kEach; ++i) expected.push_back(i);
  EXPECT_EQ(prtCodes(f), expected);
  EXPECT_EQ(f.records(), expected.size());
}

// The child adds, rewrites and deletes records in a loop and reports each statement
// that returned; it is killed at some moment. Every reported change must be there.
// Under LOCK the changes are reported only once a FLUSH has written them back.
TEST_F(Dat21Test, WriterKilledMidWriteLosesNothingCommitted) {
  makeFile<LogRec>(logDecl, "log.dat", {});
  const std::string file = path("log.dat");
  int rebuilds = 0;
  const int delaysMs[] = {1, 3, 7, 15, 30, 60, 1, 5, 12, 25, 50, 80};
  for (int round = 0; round < 12; ++round) {
    const bool locked = round >= 6;
    SCOPED_TRACE(std::to_string(round) + (locked ? " under LOCK" : ""));
    const std::string report = path("report" + std::to_string(round));
    const std::int32_t base = round * 100000;
    pid_t pid = fork();
    if (pid == 0) {
      int out = ::open(report.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      Opened<LogRec> f(logDecl, file);
      if (out < 0 || f.open(kShared) != 0 || (locked && f.lock() != 0)) _exit(3);
      std::string told;
      auto tell = [&](char op, std::int32_t id) {
        char b[5] = {op};
        std::memcpy(b + 1, &id, 4);
        told.append(b, 5);
        if (locked) return;
        if (::write(out, told.data(), told.size()) != static_cast<ssize_t>(told.size())) _exit(4);
        told.clear();
      };
      for (std::int32_t i = 1;; ++i) {
        if (locked && i % 50 == 0) {  // a write-back; what it wrote is committed
          if (f.flush() != 0) _exit(10);
          if (::write(out, told.data(), told.size()) != static_cast<ssize_t>(told.size())) _exit(4);
          told.clear();
        }
        f.rec.ID = base + i;
        f.rec.NOTE = "added";
        if (f.add() != 0) _exit(5);
        tell('A', base + i);
        if (i % 3 == 0) {
          f.rec.ID = base + i - 1;
          if (f.get(0) != 0) _exit(6);
          f.rec.NOTE = "changed";
          if (f.put() != 0) _exit(7);
          tell('P', base + i - 1);
        }
        if (i % 5 == 0) {
          f.rec.ID = base + i - 2;
          if (f.get(0) != 0) _exit(8);
          if (f.erase() != 0) _exit(9);
          tell('D', base + i - 2);
        }
      }
    }
    for (int w = 0; w < 5000 && (!fs::exists(report) || fs::file_size(report) == 0); ++w)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(delaysMs[round]));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << WEXITSTATUS(status);

    std::set<std::int32_t> added, changed, deleted, maybeDeleted;
    const std::string r = readAll(report);
    for (std::size_t at = 0; at + 5 <= r.size(); at += 5) {
      std::int32_t id;
      std::memcpy(&id, r.data() + at + 1, 4);
      if (r[at] == 'A') {
        added.insert(id);
        if ((id - base) % 5 == 0) maybeDeleted.insert(id - 2);
      }
      if (r[at] == 'P') changed.insert(id);
      if (r[at] == 'D') deleted.insert(id);
    }
    ASSERT_FALSE(added.empty());
    if (locked)  // a write-back whose report the kill cut off may have deleted these too
      for (std::int32_t id : {*added.rbegin() - 1, *added.rbegin()}) maybeDeleted.insert(id);

    Opened<LogRec> f(logDecl, file);
    int opened = f.open(kShared);
    if (opened == kKeysMustBeRebuilt) {
      ++rebuilds;
      ASSERT_EQ(f.build(), 0);
      opened = f.open(kShared);
    }
    ASSERT_EQ(opened, 0);
    for (std::int32_t id : added) {
      f.rec.ID = id;
      int got = f.get(0);
      if (deleted.count(id)) {
        EXPECT_EQ(got, kRecordNotFound) << id;
      } else if (!maybeDeleted.count(id)) {
        ASSERT_EQ(got, 0) << id;
        if (changed.count(id)) {
          EXPECT_EQ(f.rec.NOTE, "changed") << id;
        }
      }
    }
    std::uint64_t inKeyOrder = 0, inRecordOrder = 0;
    for (f.set(0); f.next() == 0;) ++inKeyOrder;
    for (f.set(); f.next() == 0;) ++inRecordOrder;
    EXPECT_EQ(inKeyOrder, f.records());
    EXPECT_EQ(inRecordOrder, f.records());
  }
  RecordProperty("rebuilds", rebuilds);
}

TEST_F(Dat21Test, AnOpenDenyingWriteRefusesOtherWriters) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1)});
  Opened<PrtRec> a(prtDecl(), path("prt.dat")), b(prtDecl(), path("prt.dat"));
  ASSERT_EQ(a.open(mode::kReadWrite | mode::kDenyWrite), 0);
  EXPECT_EQ(b.open(kShared), kAccessDenied);
  ASSERT_EQ(b.open(mode::kRead | mode::kDenyNone), 0);
  b.rec = prt(1);
  EXPECT_EQ(b.get(0), 0);
  EXPECT_EQ(b.add(), kAccessDenied);
}

TEST_F(Dat21Test, ReadOnlyFileOpensForReadingOnly) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1, "only")});
  for (const char* f : {"prt.dat", "prt.K01"}) fs::permissions(path(f), fs::perms(0444));
  fs::permissions(dir.path(), fs::perms(0755));
  int code = inChild([&] {
    // Root ignores file permissions: look at them as nobody.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 77;
    if (::access(path("prt.dat").c_str(), R_OK) != 0) return 77;
    Opened<PrtRec> f(prtDecl(), path("prt.dat"));
    if (f.open(kShared) != kAccessDenied) return 1;
    if (f.open(mode::kRead | mode::kDenyNone) != 0) return 2;
    f.set();
    if (f.next() != 0 || !(f.rec.NAME == "only")) return 3;
    if (f.add() != kAccessDenied) return 4;
    return 0;
  });
  if (code == 77) GTEST_SKIP() << "cannot look at the file as another user";
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace zelk::dat21test

namespace zelk::dat21test {
namespace {

// Another station (a child process) holds the file's write lock for as long as an
// import runs. Opening never waits for it; a statement that waited its whole wait
// asks whether to wait again, and gives up only when told to.
TEST_F(Dat21Test, AStationHoldingTheWriteLockDelaysStatementsNotOpens) {
  makeFile<PrtRec>(prtDecl(), "prt.dat", {prt(1, "one")});
  int held[2], release[2];
  ASSERT_EQ(::pipe(held), 0);
  ASSERT_EQ(::pipe(release), 0);
  pid_t pid = fork();
  if (pid == 0) {
    Opened<PrtRec> f(prtDecl(), path("prt.dat"));
    if (f.open(kShared) != 0 || f.lock() != 0) _exit(3);
    char c = 1;
    if (::write(held[1], &c, 1) != 1) _exit(4);
    if (::read(release[0], &c, 1) != 1) _exit(5);
    f.unlock();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(held[0], &c, 1), 1);

  Opened<PrtRec> f(prtDecl(), path("prt.dat"));
  ASSERT_EQ(f.open(kShared), 0);  // the default wait is 10 seconds: no waiting here
  ASSERT_EQ(f.send("RECOVER=1"), 0);
  std::vector<std::string> asked;
  bool waitAgain = false;
  setLockBusyQuestion([&](const std::string& file) {
    asked.push_back(file);
    if (waitAgain) {
      char r = 1;
      EXPECT_EQ(::write(release[1], &r, 1), 1);  // the other station's run ends meanwhile
    }
    return waitAgain;
  });
  f.set(0);
  EXPECT_EQ(f.next(), kFileLocked);  // cancelled
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], fs::canonical(path("prt.dat")).string());
  waitAgain = true;
  f.set(0);
  EXPECT_EQ(f.next(), 0);  // waited again, and the lock came free
  EXPECT_EQ(f.rec.KOD.get(), 1);
  EXPECT_EQ(asked.size(), 2u);
  setLockBusyQuestion(nullptr);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int fd : {held[0], held[1], release[0], release[1]}) ::close(fd);
}

}  // namespace
}  // namespace zelk::dat21test

namespace zelk::dat21test {
namespace {

// Two stations add a record to a file that neither finds: each creates it when its
// open finds nothing, opens it and adds. Creation is exclusive, so the second opens
// the file the first made and both records are there, every time.
TEST_F(Dat21Test, TwoStationsCreatingOneFileAtOnceLoseNothing) {
  constexpr int kRounds = 40;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    const std::string file = path("r" + std::to_string(round) + ".dat");
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> pids;
    for (int station = 1; station <= 2; ++station) {
      pid_t pid = fork();
      if (pid == 0) {
        char c;
        if (::read(go[0], &c, 1) != 1) _exit(2);
        Opened<PrtRec> f(prtDecl(), file);
        int r = f.open(kShared);
        if (r == kFileNotFound) {  // as the file manager does
          if (f.createMissing() != 0) _exit(10 + lastError().code % 80);
          r = f.open(kShared);
        }
        if (r != 0) _exit(100 + r % 100);
        f.rec = prt(station, "station");
        _exit(f.add() == 0 ? 0 : 3);
      }
      pids.push_back(pid);
    }
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    for (pid_t pid : pids) {
      int status = 0;
      waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
    }
    ::close(go[0]);
    ::close(go[1]);
    Opened<PrtRec> f(prtDecl(), file);
    ASSERT_EQ(f.open(), 0);
    EXPECT_EQ(prtCodes(f), (std::vector<int>{1, 2}));
  }
  // Nothing is left beside the files.
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().string().find('~'), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace zelk::dat21test
