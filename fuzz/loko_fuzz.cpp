// Fuzz entry: the bytes as an On-soft/Loko-Bank statement file, imported into a
// firm's files in a temporary folder.
#include <cstddef>
#include <cstdint>

#include "fuzz/import_session.h"
#include "import/loko.h"

int zelk_fuzz_loko(const std::uint8_t* data, std::size_t size) {
  zelk::fuzz::ImportSession session;
  if (!session.ok()) return 0;
  const std::string statement = session.path("statement.txt");
  zelk::fuzz::writeBytes(statement, data, size);
  zelk::fuzz::checkRun(zelk::import::runLoko(statement, session.accounts(), {}));
  return 0;
}
