#include "import/reader.h"

namespace zelk::import {

std::optional<Event> nextRecord(storage::File& file) {
  if (file.next() == 0) return std::nullopt;
  if (storage::errorCode() == storage::kRecordNotAvailable) return End{};
  return ReadFailed{file.name(), storage::lastError()};
}

}  // namespace zelk::import
