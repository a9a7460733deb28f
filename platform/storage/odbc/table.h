#pragma once
// The ODBC driver's table: one open File over one table of the data source, on a
// connection of its own. Internal to the driver.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/storage/file.h"

namespace zelk::storage::odbc {

// The driver's open statement: the table called name, in open mode m.
ErrorState openTable(const FileDecl& decl, const std::string& name, std::uint8_t m, std::unique_ptr<Backend>& out);

}  // namespace zelk::storage::odbc
