#include "app/frame.h"

#include <cstdio>

#include "dictionary/files.h"
#include "dictionary/managers.h"
#include "platform/framework/errors.h"

namespace zelk::app {

// The frame holds the firm list open for its whole life. Until the window layer
// stands it opens the list, reports it and closes.
void MAIN() {
  fw::globalErrors().SetProcedureName("Main");
  dict::Relate::F_NAME->Open();
  std::printf("zelk: started; the firm list holds %llu firm(s)\n",
              static_cast<unsigned long long>(dict::F_NAME().records()));
  dict::Relate::F_NAME->Close();
  fw::globalErrors().SetProcedureName();
}

}  // namespace zelk::app
