#pragma once
// The declarations of the eight files and the two statement files: storage format,
// fields with their external names, keys with their attributes, and the key
// descriptions the file managers register.
#include <span>
#include <string_view>

#include "dictionary/records.h"
#include "platform/storage/file.h"

namespace zelk::dict {

// Key numbers, in declaration order.
namespace prt { enum Key { KEY_1 }; }
namespace pln { enum Key { KEY_1, KEY_2 }; }
namespace fnm { enum Key { KEY_1 }; }
namespace ana { enum Key { KEY_CODE, GRUP, KEY_KEY, NAME1, OPER_ANAL }; }
namespace par {
enum Key {
  KEY__CODE, KEY__NAME, KEY__NSVIDET, KEY__NUMPASSP, KEY__SCODE, KEY__SERPASSP, KEY_COD_BUD_P,
  FULLCODE, NAME, NOM_SVIDET, PASSP_NUM, PASSP_SER, S_CODE, S_NAME, S_NSVIDET, S_NUMPASSP,
  S_SERPASSP, S_TAG_INN, ST_CODE, ST_NAME, ST_NSVIDET, ST_NUMPASP, ST_SERPASP, TAG_ID_2,
  TAG_NAME, TAG_SELF, TAG_STATNP
};
}

extern const storage::FileDecl PRT_DECL;
extern const storage::FileDecl PLN_DECL;
extern const storage::FileDecl LVO_DECL;
extern const storage::FileDecl ANALIT_DECL;
extern const storage::FileDecl DBI_DECL;
extern const storage::FileDecl PARTNER_DECL;
extern const storage::FileDecl SUBS_CLT_DECL;
extern const storage::FileDecl F_NAME_DECL;
extern const storage::FileDecl LOKO_VIX_DECL;  // statement lines of 255 characters
extern const storage::FileDecl BSS_VIX_DECL;   // statement lines of 1875 characters

// The description under which a key is registered with its file manager
// ("PRT:key_1", "par:fullcode" ...), in the key's declaration order.
std::span<const std::string_view> keyDescriptions(const storage::FileDecl& decl);

}  // namespace zelk::dict
