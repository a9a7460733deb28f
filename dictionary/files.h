#pragma once
// Each thread's instances of the eight files: record buffer, open state, position.
#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/storage/file.h"

namespace zelk::dict {

template <class R>
using FileOf = storage::TypedFile<R>;

// The calling thread's instances (made by makeFileInstances).
FileOf<FnmRecord>& F_NAME();
FileOf<SubRecord>& SUBS_CLT();
FileOf<ParRecord>& PARTNER();
FileOf<DbiRecord>& DBI();
FileOf<AnaRecord>& ANALIT();
FileOf<LvoRecord>& LVO();
FileOf<PlnRecord>& PLN();
FileOf<PrtRecord>& PRT();

// Thread start and end: the eight instances in the order F_NAME, SUBS_CLT, PARTNER,
// DBI, ANALIT, LVO, PLN, PRT, released in the reverse order.
void makeFileInstances();
void releaseFileInstances();
bool haveFileInstances();

// The storage drivers of the dictionary's files, registered once per process.
void registerDrivers();

}  // namespace zelk::dict
