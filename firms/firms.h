#pragma once
// The firm settings and the choice of the firm to work on: the firm list, the firm
// form and the firm choice, with the per-firm file names the choice builds.
#include <string>
#include <string_view>

#include "platform/core/text.h"

namespace zelk::firms {

// The firm list F_NAME: view, add, change, delete through the firm form; "&Выбрать"
// makes the highlighted firm the current firm code FIR.
void FNM_TAB();
// The firm form: one record of F_NAME for the request in GLOBALREQUEST (insert,
// change, delete, view); its answer in GLOBALRESPONSE.
void UPDATEF_NAME();
// The firm choice: the firm code FIR and the program-wide settings of that firm;
// "Запуск системы" runs the import menu S_ME.
void S_FIR();

// A per-firm file name: the folder without its trailing blanks (leading blanks
// stay), a backslash and the file's name, kept whole. A folder that already ends in
// a backslash gets a second one; a blank folder gives "\" and the name.
std::string firmFileName(std::string_view folder, std::string_view file);

// Takes firm FIR over from F_NAME (the calling thread's record buffer): the firm's
// name into name, its settings and file names into the program-wide variables. When
// no firm has the code (or the read fails) the record is cleared and every value is
// built from blanks. Answers whether the firm was found.
bool takeFirm(Text<50>& name);

}  // namespace zelk::firms
