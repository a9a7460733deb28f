#pragma once
// The on-disk layout of 2.1 data files and their key files (see dat21.cpp for the
// design). Shared by the driver, its tests and the fuzz entry point.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/core/endian.h"

namespace zelk::storage::dat21 {

inline constexpr std::uint32_t kVersion = 1;

// Data file: two header copies, then the slots.
inline constexpr char kDataMagic[8] = {'Z', 'L', 'K', 'D', 'A', 'T', '2', '1'};
inline constexpr std::size_t kHeaderCopySize = 512;
inline constexpr std::size_t kHeaderSize = 2 * kHeaderCopySize;
inline constexpr std::size_t kMaxKeys = 27;

// Slot status bytes.
inline constexpr unsigned char kSlotActive = 'A';
inline constexpr unsigned char kSlotDeleted = 'D';

// Header flags (recorded at creation; the declaration decides).
inline constexpr std::uint32_t kFlagReclaim = 1;
inline constexpr std::uint32_t kFlagOem = 2;

// Deleted slots chain the free list through the first 4 record bytes; a record
// shorter than that keeps no free list.
inline constexpr std::size_t kFreeLinkSize = 4;

// What the header commits of one key file: the bytes of its entry log that count,
// their running CRC, and the epoch, raised whenever the key file is rewritten.
struct KeyCommit {
  std::uint64_t length = 0;
  std::uint32_t crc = 0;
  std::uint32_t epoch = 0;
};

struct DataHeader {
  std::uint32_t version = kVersion;
  std::uint32_t recordSize = 0;
  std::uint32_t keyCount = 0;
  std::uint32_t flags = 0;
  std::uint64_t generation = 0;  // raised by every committed change
  std::uint64_t slotCount = 0;
  std::uint64_t freeHead = 0;  // record number of the first free slot, 0 none
  std::uint64_t active = 0;    // active records
  std::uint64_t pending = 0;   // record number of an in-place change under way, 0 none
  std::array<KeyCommit, kMaxKeys> keys{};
};

// Copy i of the header lives at i * kHeaderCopySize; a header of generation g is
// written into copy g % 2.
void encodeHeader(const DataHeader& h, unsigned char* copy);
// False when the copy is not a sound header (magic, version, checksum, ranges).
bool decodeHeader(const unsigned char* copy, DataHeader& h);
// The sound copy with the highest generation among the two at both; bothSound, when
// given, tells whether the other copy is sound too.
bool pickHeader(const unsigned char* both, DataHeader& h, bool* bothSound = nullptr);

inline constexpr std::size_t slotSize(std::size_t recordSize) { return 1 + recordSize; }
inline constexpr std::uint64_t slotOffset(std::uint64_t recno, std::size_t recordSize) {
  return kHeaderSize + (recno - 1) * slotSize(recordSize);
}

// Key file: a header, then a log of fixed-length entries.
inline constexpr char kKeyMagic[8] = {'Z', 'L', 'K', 'K', 'E', 'Y', '2', '1'};
inline constexpr std::size_t kKeyHeaderSize = 64;
inline constexpr unsigned char kEntryInsert = '+';
inline constexpr unsigned char kEntryRemove = '-';
// An entry: its kind, the record number (4 bytes), the key's sort bytes.
inline constexpr std::size_t entrySize(std::size_t keyLength) { return 1 + 4 + keyLength; }

struct KeyFileHeader {
  std::uint32_t version = kVersion;
  std::uint32_t keyNumber = 0;  // 1 for .K01
  std::uint32_t keyLength = 0;
  std::uint64_t layout = 0;  // hash of the record length and the key's declaration
};
void encodeKeyHeader(const KeyFileHeader& h, unsigned char* out);
bool decodeKeyHeader(const unsigned char* in, KeyFileHeader& h);

// CRC-32 (IEEE), continued from a previous value (0 to start).
std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t n);

inline void put32(unsigned char* p, std::uint32_t v) { putLittle(p, v); }
inline void put64(unsigned char* p, std::uint64_t v) { putLittle(p, v); }
inline std::uint32_t get32(const unsigned char* p) { return getLittle<std::uint32_t>(p); }
inline std::uint64_t get64(const unsigned char* p) { return getLittle<std::uint64_t>(p); }

}  // namespace zelk::storage::dat21
