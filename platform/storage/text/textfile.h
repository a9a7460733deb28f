#pragma once
// Statement text files read line by line: one record is one line, held in the
// declaration's single text field (the whole record when it declares none).
//
// Reading rules:
// - A line ends at CR LF, which is not part of it; a lone CR or LF is an ordinary
//   character. The end of the file ends the last line.
// - Ctrl-Z ends the file. A read that starts at a Ctrl-Z fails and leaves the record
//   blank; a Ctrl-Z inside a line ends that line, so the read after it fails so.
// - A TAB becomes blanks up to the next column that is a multiple of 8 (never past the
//   record).
// - A longer line is cut at the record length; the rest, up to its CR LF, is skipped.
// - The record is filled with blanks first; the line is converted 866 -> 1251 when the
//   declaration stores the DOS code page.
// - A read after the last line fails with kRecordNotAvailable and leaves the record as
//   it was.
// The file is read through a fixed buffer, never loaded whole. It opens with the
// access the mode asks (so a read-only file does not open for reading and writing)
// and its sharing through ShareLock; it is never written: ADD, PUT, DELETE give
// kNotSupported. SET goes back to the first line; POSITION is the byte offset of the
// current line and RESET reads from there.
#include "platform/storage/file.h"

namespace zelk::storage::textfile {

Driver driver();
// The same files with every line read by the general rules, the ordinary line's
// shortcut left out: what the shortcut is checked against.
Driver longWayDriver();

}  // namespace zelk::storage::textfile
