#include "platform/storage/dat21/rebuild.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/storage/dat21/dat21.h"
#include "platform/storage/dat21/fileio.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/dat21/keyindex.h"
#include "platform/storage/dat21/keylog.h"
#include "platform/storage/dat21/sortkey.h"
#include "platform/storage/io.h"
#include "platform/storage/sharelock.h"

namespace zelk::storage::dat21 {
namespace {

ErrorState writeHeader(int fd, const DataHeader& h) {
  unsigned char buf[kHeaderCopySize];
  encodeHeader(h, buf);
  if (!writeAt(fd, buf, sizeof buf, (h.generation % 2) * kHeaderCopySize)) return lastErrno();
  return {};
}

// What a build could not keep, for the user ("" when it kept everything).
std::string salvageNote(std::uint64_t dropped, bool headerDamaged, std::uint64_t recovered) {
  std::string note;
  if (dropped) note = std::to_string(dropped) + " record(s) could not be read and were dropped";
  if (headerDamaged && recovered == 0) {
    if (!note.empty()) note += "; ";
    note += "a header copy was damaged: the last change may be lost";
  }
  return note;
}

}  // namespace

ErrorState buildFile(const FileDecl& decl, const std::string& name) {
  if (int c = checkDecl(decl)) return make(c);
  const std::string path = dataPath(name);
  Fd fd(openRegular(path.c_str(), O_RDWR));
  if (!fd.valid()) return openErrno();
  ShareLock share;
  if (ErrorState e = share.acquire(fd.get(), mode::kReadWrite | mode::kDenyNone); e.code) return e;
  const ReleaseOnExit release{share};
  if (ErrorState e = share.lockWrite(); e.code) return e;
  unsigned char raw[kHeaderSize];
  ssize_t got = readAt(fd.get(), raw, sizeof raw, 0);
  if (got < 0) return lastErrno();
  DataHeader h;
  bool bothSound = false;
  if (static_cast<std::size_t>(got) != sizeof raw || !pickHeader(raw, h, &bothSound)) return make(kInvalidDataFile);
  if (h.recordSize != decl.recordSize) return make(kInvalidRecordDeclaration);

  const std::size_t rsize = decl.recordSize, ssize = slotSize(rsize);
  const std::uint64_t whole = (fileSize(fd.get()) - kHeaderSize) / ssize;  // slots wholly in the file
  std::uint64_t slots = std::min(h.slotCount, whole);
  std::uint64_t dropped = h.slotCount - slots;  // cut short at the end
  std::uint64_t recovered = 0;
  const auto intact = [&](std::uint64_t recno, bool& ok) {
    unsigned char status = 0;
    ok = readAt(fd.get(), &status, 1, slotOffset(recno, rsize)) == 1;
    return ok && (status == kSlotActive || status == kSlotDeleted);
  };
  if (!bothSound) {
    bool ok = true;
    while (slots < whole && intact(slots + 1, ok)) {
      ++slots;
      ++recovered;
    }
    if (!ok) return lastErrno();
  }

  std::vector<SortKey> codecs;
  std::vector<std::vector<Entry>> entries(decl.keys.size());
  for (std::size_t i = 0; i < decl.keys.size(); ++i) codecs.emplace_back(decl, i);
  struct FreeSlot {
    std::uint64_t recno;
    std::uint32_t link;  // what it holds now
    bool damaged;        // its status byte must be written too
  };
  std::vector<FreeSlot> freeSlots;
  std::uint64_t active = 0;
  const std::uint64_t per = std::max<std::uint64_t>(1, kReadAheadBytes / ssize);
  std::vector<char> chunk;
  std::string image, sk;
  for (std::uint64_t first = 1; first <= slots; first += per) {
    const std::uint64_t count = std::min(per, slots - first + 1);
    chunk.resize(static_cast<std::size_t>(count * ssize));
    ssize_t n = readAt(fd.get(), chunk.data(), chunk.size(), slotOffset(first, rsize));
    if (n < 0) return lastErrno();
    if (static_cast<std::size_t>(n) != chunk.size()) return make(kInvalidDataFile);
    for (std::uint64_t j = 0; j < count; ++j) {
      const char* slot = chunk.data() + j * ssize;
      const std::uint64_t recno = first + j;
      const auto status = static_cast<unsigned char>(slot[0]);
      if (status == kSlotActive) {
        ++active;
        image.assign(slot + 1, rsize);
        if (decl.oem) convertTextFields(decl, image.data(), false);
        for (std::size_t i = 0; i < codecs.size(); ++i)
          if (codecs[i].make(image.data(), sk)) entries[i].push_back({sk, static_cast<std::uint32_t>(recno)});
      } else {
        const bool damaged = status != kSlotDeleted;
        if (damaged) ++dropped;
        const std::uint32_t link =
            !damaged && rsize >= kFreeLinkSize ? get32(reinterpret_cast<const unsigned char*>(slot + 1)) : 0;
        freeSlots.push_back({recno, link, damaged});
      }
    }
  }
  // The free list in slot order, lowest first; a damaged slot becomes a free one.
  const bool chain = rsize >= kFreeLinkSize;
  for (std::size_t j = 0; j < freeSlots.size(); ++j) {
    const FreeSlot& f = freeSlots[j];
    std::uint32_t link = chain && j + 1 < freeSlots.size() ? static_cast<std::uint32_t>(freeSlots[j + 1].recno) : 0;
    if (!f.damaged && (!chain || f.link == link)) continue;
    // The status byte and the link after it; the status only where it was damaged.
    unsigned char b[1 + kFreeLinkSize] = {kSlotDeleted};
    put32(b + 1, link);
    const std::size_t from = f.damaged ? 0 : 1, to = chain ? sizeof b : 1;
    if (!writeAt(fd.get(), b + from, to - from, slotOffset(f.recno, rsize) + from)) return lastErrno();
  }
  DataHeader nh = h;
  for (std::size_t i = 0; i < codecs.size(); ++i) {
    std::sort(entries[i].begin(), entries[i].end(), EntryLess{});
    KeyCommit c;
    if (ErrorState e = writeKeySnapshot(keyPath(path, i), codecs[i], i, entries[i], c, nullptr, true); e.code)
      return e;
    c.epoch = h.keys[i].epoch + 1;
    nh.keys[i] = c;
  }
  for (std::size_t i = codecs.size(); i < kMaxKeys; ++i) nh.keys[i] = KeyCommit{};
  nh.keyCount = static_cast<std::uint32_t>(codecs.size());
  nh.flags = declFlags(decl);
  nh.slotCount = slots;
  nh.freeHead = chain && !freeSlots.empty() ? freeSlots.front().recno : 0;
  nh.active = active;
  nh.pending = 0;
  // Both copies, so that a damaged one is replaced; the second is the newer.
  for (int copy = 1; copy <= 2; ++copy) {
    nh.generation = h.generation + static_cast<std::uint64_t>(copy);
    if (ErrorState e = writeHeader(fd.get(), nh); e.code) return e;
  }
  ErrorState done;
  done.fileText = salvageNote(dropped, !bothSound, recovered);
  return done;
}

}  // namespace zelk::storage::dat21
