#pragma once
// The numbers of the program's messages: each raiser names its message here, and the
// program's message table (app/messages.cpp) holds one entry for each.
#include <array>
#include <cstdint>

// Every message: its name and number (32 is no message).
#define ZELK_MESSAGE_IDS(M)      \
  M(kRecordAccess, 1)            \
  M(kAccessDenied, 2)            \
  M(kAddAnother, 3)              \
  M(kAddFailed, 4)               \
  M(kAddNewRecord, 5)            \
  M(kFileAccess, 6)              \
  M(kConcurrency, 7)             \
  M(kChangedWhileEditing, 8)     \
  M(kRecordRead, 9)              \
  M(kConfirmCancel, 10)          \
  M(kConfirmDelete, 11)          \
  M(kCreateFailed, 12)           \
  M(kDeleteFailed, 13)           \
  M(kDeleteIllegal, 14)          \
  M(kDuplicateKey, 15)           \
  M(kFieldNotValid, 16)          \
  M(kFieldNotInList, 17)         \
  M(kFieldOutOfRange, 18)        \
  M(kFieldBelowRange, 19)        \
  M(kFieldAboveRange, 20)        \
  M(kLoadFailed, 21)             \
  M(kReportFailed, 22)           \
  M(kInsertIllegal, 23)          \
  M(kTransactionRolledBack, 24)  \
  M(kNoRecords, 25)              \
  M(kOpenFailed, 26)             \
  M(kUndefinedProcedure, 27)     \
  M(kPutFailed, 28)              \
  M(kRebuildFailed, 29)          \
  M(kRebuildKey, 30)             \
  M(kReadFailed, 31)             \
  M(kRelatedDelete, 33)          \
  M(kRelatedUpdate, 34)          \
  M(kAutoIncFailed, 35)          \
  M(kRetryDelete, 36)            \
  M(kRetryUpdate, 37)            \
  M(kSaveRecord, 38)             \
  M(kTopOfFile, 39)              \
  M(kEndOfFile, 40)              \
  M(kUpdateIllegal, 41)          \
  M(kUseClosed, 42)              \
  M(kViewFilter, 43)             \
  M(kFilterColumn, 44)           \
  M(kSmtpFailed, 45)             \
  M(kNntpFailed, 46)             \
  M(kWinsockFailed, 47)          \
  M(kReportOpen, 48)             \
  M(kReportRead, 49)             \
  M(kReportPage, 50)             \
  M(kReportField, 51)            \
  M(kReportBuild, 52)            \
  M(kReportGenerator, 53)

namespace zelk::fw::msg {

enum Id : std::uint16_t {
#define ZELK_MESSAGE_ID(name, number) name = number,
  ZELK_MESSAGE_IDS(ZELK_MESSAGE_ID)
#undef ZELK_MESSAGE_ID
};

// Every id, in increasing order.
inline constexpr std::array kEvery = {
#define ZELK_MESSAGE_ID(name, number) name,
    ZELK_MESSAGE_IDS(ZELK_MESSAGE_ID)
#undef ZELK_MESSAGE_ID
};

}  // namespace zelk::fw::msg
