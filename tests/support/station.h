#pragma once
// Another station: a child process that opens a file of the dictionary for reading and
// writing and holds its write lock, as a run of another program does, until the test
// lets it go.
#include <string>
#include <vector>

#include "platform/storage/file.h"
#include "support/heldbychild.h"

namespace zelk::test {

class LockingStation : public HeldByChild {
 public:
  // Returns once the child holds the lock (held() true) or has failed to take it.
  LockingStation(const storage::FileDecl& decl, const std::string& path)
      : HeldByChild([&](const std::function<void()>& holdUntilReleased) {
          std::vector<char> buffer(decl.recordSize);
          storage::File f(decl, buffer.data());
          f.setNameSource([path] { return path; });
          if (f.open(storage::mode::kReadWrite | storage::mode::kDenyNone) != 0 || f.lock() != 0) return 3;
          holdUntilReleased();
          f.unlock();
          return 0;
        }) {}
};

}  // namespace zelk::test
