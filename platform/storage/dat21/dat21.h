#pragma once
// The 2.1 data-file driver: fixed-length records in a data file (name.DAT) with one
// key file per key beside it (name.K01, name.K02 ...). Register it with
// registerDriver(DriverKind::Dat21, dat21::driver()).
#include "platform/storage/file.h"

namespace zelk::storage::dat21 {

Driver driver();

// The data file a declared name stands for (F_NAME -> F_NAME.DAT, resolved on disk),
// and the key file of key index (0-based) beside it.
std::string dataPath(const std::string& name);
std::string keyPath(const std::string& dataPath, std::size_t index);

}  // namespace zelk::storage::dat21
