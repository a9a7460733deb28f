#include "import/reader.h"

namespace zelk::import {

Event endOf(const storage::File& file) {
  if (storage::errorCode() == storage::kRecordNotAvailable) return End{};
  return ReadFailed{file.name(), storage::lastError()};
}

}  // namespace zelk::import
