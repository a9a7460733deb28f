// A cleared record is the declaration's blank record, byte for byte, whether the file
// makes its cleared image on this call or copies the one it made before.
#include <gtest/gtest.h>

#include <vector>

#include "dictionary/declarations.h"
#include "platform/storage/file.h"

namespace zelk::test {
namespace {

TEST(ClearBuffer, EveryDeclarationsRecordClearsAsItsFieldsSay) {
  const storage::FileDecl* decls[] = {&dict::PRT_DECL,     &dict::PLN_DECL,      &dict::LVO_DECL,    &dict::ANALIT_DECL,
                                      &dict::DBI_DECL,     &dict::PARTNER_DECL,  &dict::SUBS_CLT_DECL, &dict::F_NAME_DECL,
                                      &dict::LOKO_VIX_DECL, &dict::BSS_VIX_DECL};
  for (const storage::FileDecl* d : decls) {
    SCOPED_TRACE(std::string(d->label));
    std::vector<char> expected(d->recordSize, '\xA5');
    storage::clearRecord(*d, expected.data());
    std::vector<char> buf(d->recordSize);
    storage::File f(*d, buf.data());
    for (const char dirt : {'\xA5', '\0'}) {  // the first call makes the image, the second copies it
      std::fill(buf.begin(), buf.end(), dirt);
      f.clearBuffer();
      EXPECT_EQ(buf, expected);
    }
  }
}

}  // namespace
}  // namespace zelk::test
