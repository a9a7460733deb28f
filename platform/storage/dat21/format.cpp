#include "platform/storage/dat21/format.h"

#include <cstring>

namespace zelk::storage::dat21 {
namespace {

// Offsets inside one header copy.
constexpr std::size_t kOffVersion = 8, kOffRecordSize = 12, kOffKeyCount = 16, kOffFlags = 20;
constexpr std::size_t kOffGeneration = 24, kOffSlotCount = 32, kOffFreeHead = 40, kOffActive = 48;
constexpr std::size_t kOffPending = 56, kOffKeys = 64, kKeyCommitSize = 16;
constexpr std::size_t kOffHeaderCrc = kHeaderCopySize - 4;
static_assert(kOffKeys + kMaxKeys * kKeyCommitSize <= kOffHeaderCrc);

// Offsets inside a key file header.
constexpr std::size_t kOffKeyVersion = 8, kOffKeyNumber = 12, kOffKeyLength = 16, kOffLayout = 24;
constexpr std::size_t kOffKeyCrc = kKeyHeaderSize - 4;

// Record numbers are 4 bytes in key entries.
constexpr std::uint64_t kMaxSlots = 0xFFFFFFFFu;

// Slicing-by-8 tables: t[0] is the plain byte table, t[k] advances k more bytes.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;
constexpr CrcTables makeCrcTables() {
  CrcTables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::uint32_t i = 0; i < 256; ++i)
    for (std::size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}
constexpr CrcTables kCrc = makeCrcTables();

}  // namespace

std::uint32_t crc32(std::uint32_t crc, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo = crc ^ get32(p), hi = get32(p + 4);
    crc = kCrc[7][lo & 0xFF] ^ kCrc[6][(lo >> 8) & 0xFF] ^ kCrc[5][(lo >> 16) & 0xFF] ^ kCrc[4][lo >> 24] ^
          kCrc[3][hi & 0xFF] ^ kCrc[2][(hi >> 8) & 0xFF] ^ kCrc[1][(hi >> 16) & 0xFF] ^ kCrc[0][hi >> 24];
  }
  for (; n > 0; --n, ++p) crc = kCrc[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

namespace {

// A header block (a data header's copy, a key file's header): zeroed with its magic
// in front, and sealed with the CRC of the bytes before crcAt.
void startBlock(unsigned char* out, std::size_t size, const char (&magic)[8]) {
  std::memset(out, 0, size);
  std::memcpy(out, magic, sizeof magic);
}
void sealBlock(unsigned char* out, std::size_t crcAt) { put32(out + crcAt, crc32(0, out, crcAt)); }
bool soundBlock(const unsigned char* in, const char (&magic)[8], std::size_t crcAt) {
  return std::memcmp(in, magic, sizeof magic) == 0 && get32(in + crcAt) == crc32(0, in, crcAt);
}

}  // namespace

void encodeHeader(const DataHeader& h, unsigned char* c) {
  startBlock(c, kHeaderCopySize, kDataMagic);
  put32(c + kOffVersion, h.version);
  put32(c + kOffRecordSize, h.recordSize);
  put32(c + kOffKeyCount, h.keyCount);
  put32(c + kOffFlags, h.flags);
  put64(c + kOffGeneration, h.generation);
  put64(c + kOffSlotCount, h.slotCount);
  put64(c + kOffFreeHead, h.freeHead);
  put64(c + kOffActive, h.active);
  put64(c + kOffPending, h.pending);
  for (std::size_t k = 0; k < kMaxKeys; ++k) {
    unsigned char* p = c + kOffKeys + k * kKeyCommitSize;
    put64(p, h.keys[k].length);
    put32(p + 8, h.keys[k].crc);
    put32(p + 12, h.keys[k].epoch);
  }
  sealBlock(c, kOffHeaderCrc);
}

bool decodeHeader(const unsigned char* c, DataHeader& h) {
  if (!soundBlock(c, kDataMagic, kOffHeaderCrc)) return false;
  DataHeader d;
  d.version = get32(c + kOffVersion);
  d.recordSize = get32(c + kOffRecordSize);
  d.keyCount = get32(c + kOffKeyCount);
  d.flags = get32(c + kOffFlags);
  d.generation = get64(c + kOffGeneration);
  d.slotCount = get64(c + kOffSlotCount);
  d.freeHead = get64(c + kOffFreeHead);
  d.active = get64(c + kOffActive);
  d.pending = get64(c + kOffPending);
  for (std::size_t k = 0; k < kMaxKeys; ++k) {
    const unsigned char* p = c + kOffKeys + k * kKeyCommitSize;
    d.keys[k].length = get64(p);
    d.keys[k].crc = get32(p + 8);
    d.keys[k].epoch = get32(p + 12);
  }
  if (d.version != kVersion || d.recordSize == 0 || d.keyCount > kMaxKeys) return false;
  if (d.slotCount > kMaxSlots || d.freeHead > d.slotCount || d.active > d.slotCount ||
      d.pending > d.slotCount)
    return false;
  h = d;
  return true;
}

bool pickHeader(const unsigned char* both, DataHeader& h, bool* bothSound) {
  DataHeader a, b;
  bool okA = decodeHeader(both, a);
  bool okB = decodeHeader(both + kHeaderCopySize, b);
  if (bothSound) *bothSound = okA && okB;
  if (okA && okB) h = a.generation >= b.generation ? a : b;
  else if (okA) h = a;
  else if (okB) h = b;
  return okA || okB;
}

void encodeKeyHeader(const KeyFileHeader& h, unsigned char* out) {
  startBlock(out, kKeyHeaderSize, kKeyMagic);
  put32(out + kOffKeyVersion, h.version);
  put32(out + kOffKeyNumber, h.keyNumber);
  put32(out + kOffKeyLength, h.keyLength);
  put64(out + kOffLayout, h.layout);
  sealBlock(out, kOffKeyCrc);
}

bool decodeKeyHeader(const unsigned char* in, KeyFileHeader& h) {
  if (!soundBlock(in, kKeyMagic, kOffKeyCrc)) return false;
  h.version = get32(in + kOffKeyVersion);
  h.keyNumber = get32(in + kOffKeyNumber);
  h.keyLength = get32(in + kOffKeyLength);
  h.layout = get64(in + kOffLayout);
  return h.version == kVersion;
}

}  // namespace zelk::storage::dat21
