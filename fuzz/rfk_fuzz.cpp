// Fuzz entry: the bytes as the RFK payments table subs_clt.dbf, opened and imported
// into a firm's files in a temporary folder, over every date.
#include <cstddef>
#include <cstdint>

#include "fuzz/import_session.h"
#include "import/rfk.h"

int zelk_fuzz_rfk(const std::uint8_t* data, std::size_t size) {
  zelk::fuzz::ImportSession session;
  if (!session.ok()) return 0;
  zelk::fuzz::writeBytes(session.path("subs_clt.dbf"), data, size);
  // Opened straight, not through its manager: a table that does not open ends the
  // program there.
  auto& sub = zelk::dict::SUBS_CLT();
  if (sub.open(zelk::storage::mode::kRead | zelk::storage::mode::kDenyNone) != 0) return 0;
  zelk::fuzz::checkRun(zelk::import::runRfk(0, zelk::kLastDay, session.accounts(), {}));
  sub.close();
  return 0;
}
