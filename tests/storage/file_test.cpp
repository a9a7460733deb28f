// A file keeps its declaration: it takes a declaration that outlives it, never a
// temporary one (checked when this compiles).
#include <type_traits>

#include "platform/core/fields.h"
#include "platform/storage/file.h"

namespace zelk::test {
namespace {

using storage::File;
using storage::FileDecl;
using storage::TypedFile;

struct Rec {
  Int32 n;
};

static_assert(std::is_constructible_v<File, const FileDecl&, char*>);
static_assert(!std::is_constructible_v<File, FileDecl, char*>);
static_assert(!std::is_constructible_v<File, const FileDecl, char*>);
static_assert(std::is_constructible_v<TypedFile<Rec>, const FileDecl&>);
static_assert(!std::is_constructible_v<TypedFile<Rec>, FileDecl>);

}  // namespace
}  // namespace zelk::test
