// The files an import holds under its write lock, seen from outside: another process
// reading them while the run goes on, and a writer killed between two write-backs.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "dictionary/declarations.h"
#include "import/loko.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/dbase/dbf_codec.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

namespace d21 = storage::dat21;

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string readHead(const std::string& path, std::size_t n) {
  std::string out(n, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(out.data(), static_cast<std::streamsize>(n));
  out.resize(static_cast<std::size_t>(in.gcount()));
  return out;
}

// What an outside reader finds wrong with dbi.dbf as it stands ("" when nothing): the
// header's count of records must all be there, each with a deletion flag.
std::string dbfFault(const std::string& bytes, std::uint32_t& count) {
  if (bytes.size() < storage::dbase::kHeaderSize) return "short header";
  auto u = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
  count = u(4) | u(5) << 8 | u(6) << 16 | static_cast<std::uint32_t>(u(7)) << 24;
  const std::size_t header = u(8) | u(9) << 8, record = u(10) | u(11) << 8;
  if (record == 0 || bytes.size() < header + std::size_t{count} * record) return "count past the records";
  for (std::size_t i = 0; i < count; ++i) {
    const char flag = bytes[header + i * record];
    if (flag != storage::dbase::kLive && flag != storage::dbase::kDeleted) return "record without a flag";
  }
  return {};
}

// The same for prt.dat: a sound header whose slots are all there, and, unless a
// change is under way or was committed while the slots were read (the file is read
// without its lock), as many active slots as it counts.
std::string datFault(const std::string& path, std::uint64_t& active) {
  const std::string bytes = readWhole(path);
  d21::DataHeader h, after;
  if (bytes.size() < d21::kHeaderSize || !d21::pickHeader(reinterpret_cast<const unsigned char*>(bytes.data()), h))
    return "torn header";
  const std::string again = readHead(path, d21::kHeaderSize);
  if (again.size() < d21::kHeaderSize || !d21::pickHeader(reinterpret_cast<const unsigned char*>(again.data()), after))
    return "torn header";
  const bool still = after.generation == h.generation;
  const std::size_t slot = d21::slotSize(h.recordSize);
  if (bytes.size() < d21::kHeaderSize + h.slotCount * slot) return "slot count past the slots";
  std::uint64_t seen = 0;
  for (std::uint64_t r = 1; r <= h.slotCount; ++r) {
    const auto status = static_cast<unsigned char>(bytes[d21::slotOffset(r, h.recordSize)]);
    if (status == d21::kSlotActive) ++seen;
    else if (status != d21::kSlotDeleted) return "slot without a status";
  }
  if (still && h.pending == 0 && seen != h.active) return "active count off";
  active = h.active;
  return {};
}

class WriteBack : public ImportTest {};

TEST_F(WriteBack, AReaderSeesEveryLookAConsistentFileWhileAnImportRuns) {
  constexpr int kOld = 12000, kNew = 15000;  // several write-backs of each file
  openFiles();
  previousRun(kOld);
  std::string statement;
  for (int i = 0; i < kNew; ++i)
    statement += lokoGroup({"100.00", std::to_string(i + 1), "01-03-2024", "10.00", "purpose", "payer", "payee"});
  const std::string path = write("loko.txt", statement);

  int stop[2], report[2];
  ASSERT_EQ(pipe(stop), 0);
  ASSERT_EQ(pipe(report), 0);
  const pid_t reader = fork();
  if (reader == 0) {
    close(stop[1]);
    close(report[0]);
    fcntl(stop[0], F_SETFL, O_NONBLOCK);
    int looks = 0, midway = 0;
    std::string fault;
    char c;
    while (fault.empty() && read(stop[0], &c, 1) < 0) {
      std::uint32_t count = 0;
      std::uint64_t active = 0;
      fault = dbfFault(readWhole(dict::P_DBI.str()), count);
      if (fault.empty()) fault = datFault(dict::P_PRT.str(), active);
      ++looks;
      if (count > kOld && count < kOld + kNew) ++midway;
    }
    const std::string line = fault + "|" + std::to_string(looks) + "|" + std::to_string(midway);
    if (::write(report[1], line.data(), line.size()) < 0) _exit(2);
    _exit(0);
  }
  close(stop[0]);
  close(report[1]);
  const import::ImportResult r = import::runLoko(path, accounts, {});
  close(stop[1]);
  std::string seen(256, '\0');
  seen.resize(static_cast<std::size_t>(std::max<ssize_t>(0, read(report[0], seen.data(), seen.size()))));
  close(report[0]);
  int status = 0;
  waitpid(reader, &status, 0);

  EXPECT_EQ(r.outcome, import::Outcome::Done);
  EXPECT_EQ(r.count.value_or(0), kNew);
  EXPECT_EQ(seen.substr(0, seen.find('|')), "") << seen;  // no fault; then looks and looks midway
  EXPECT_EQ(postings().size(), std::size_t{kNew});
  EXPECT_EQ(rows().size(), std::size_t{kNew});
}

// The child: a previous run's records written back, then more added and some
// deleted under the lock, not written back, when it is killed.
TEST_F(WriteBack, AWriterKilledBetweenWriteBacksLosesNothingWrittenBack) {
  constexpr int kBack = 300;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t writer = fork();
  if (writer == 0) {
    close(ready[0]);
    openFiles();
    auto& dbi = dict::DBI();
    auto& prt = dict::PRT();
    if (dbi.lock() != 0 || prt.lock() != 0) _exit(1);
    previousRun(kBack);
    if (dbi.flush() != 0 || prt.flush() != 0) _exit(1);  // the write-back
    for (auto* f : {static_cast<storage::File*>(&dbi), static_cast<storage::File*>(&prt)}) {
      f->set();
      for (int i = 0; i < kBack / 2 && f->next() == 0; ++i)
        if (f->erase() != 0) _exit(1);
    }
    for (int i = kBack + 1; i <= kBack + 100; ++i) {
      prt.clearBuffer();
      prt.rec.KOD = static_cast<std::int16_t>(i);
      dbi.clearBuffer();
      dbi.rec.NNOPER = i;
      if (prt.add() != 0 || dbi.add() != 0) _exit(1);
    }
    if (::write(ready[1], "k", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  kill(writer, SIGKILL);
  int status = 0;
  waitpid(writer, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  d21::DataHeader h;
  const std::string dat = readWhole(dict::P_PRT.str());
  ASSERT_TRUE(d21::pickHeader(reinterpret_cast<const unsigned char*>(dat.data()), h));
  EXPECT_EQ(h.pending, 0u);  // no change was under way: nothing to rebuild
  openFiles();
  EXPECT_EQ(boxCount(), 0u);
  const auto p = postings();
  const auto r = rows();
  ASSERT_EQ(p.size(), std::size_t{kBack});
  ASSERT_EQ(r.size(), std::size_t{kBack});
  for (int i = 0; i < kBack; ++i) {
    EXPECT_EQ(p[static_cast<std::size_t>(i)].NNOPER.get(), i + 1);
    EXPECT_EQ(r[static_cast<std::size_t>(i)].KOD.get(), i + 1);
  }
}

}  // namespace
}  // namespace zelk::test
