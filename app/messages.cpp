#include "app/messages.h"

#include <array>
#include <cstddef>

#include "platform/framework/messageids.h"

namespace zelk::app {
namespace {

using fw::MessageEntry;
namespace msg = fw::msg;
constexpr std::uint8_t kUser = fw::kUser, kProgram = fw::kProgram, kFatal = fw::kFatal, kNotify = fw::kNotify;

constexpr std::array<MessageEntry, msg::kEvery.size()> kDefaultErrors{{
    {msg::kRecordAccess, kNotify, "Ошибка доступа к записи",
     "Ошибка: (%ErrorText) возникла при доступе к файлу %File.  Возвращаемся к предыдущему окну."},
    {msg::kAccessDenied, kNotify, "Доступ запрещен",
     "Невозможно производить запись в файл %File поэтому осуществляется только чтение."},
    {msg::kAddAnother, kUser, "Запись добавлена", "Запись добавлена в файл %File. Желаете добавить еще одну запись?"},
    {msg::kAddFailed, kNotify, "Ошибка добавления записи", "Возникла ошибка при создании записи. Ошибка: %ErrorText."},
    {msg::kAddNewRecord, kNotify, "Добавить новую запись?", "Запись с ключом %Key не найдена в файле %File."},
    {msg::kFileAccess, kNotify, "Ошибка доступа к файлу", "Ошибка: (%ErrorText) возникла при доступе к файлу %File."},
    {msg::kConcurrency, kNotify, "Запись не обновляется", "Запись была изменена другой рабочей станцией."},
    {msg::kChangedWhileEditing, kNotify, "Запись не обновляется",
     "Запись была изменена другой рабочей станцией после того, как Вы начали ее изменять. "
     "Ваши изменения не записаны. Прочитайте запись заново и повторите изменения."},
    {msg::kRecordRead, kNotify, "Ошибка чтения записи",
     "Ошибка: (%ErrorText) возникла при чтении записи из файла %File.|Возвращаемся к предыдущему окну."},
    {msg::kConfirmCancel, kUser, "Изменения будут потеряны!", "Вы уверены что желаете отменить?"},
    {msg::kConfirmDelete, kUser, "Подтвердите Удаление", "Вы уверены что желаете удалить выделенную запись?"},
    {msg::kCreateFailed, kFatal, "Ошибка создания файла", "Ошибка: (%ErrorText) создания %File."},
    {msg::kDeleteFailed, kNotify, "Запись не удаляется",
     "Возникла ошибка (%ErrorText) при удалении записи из %File файла."},
    {msg::kDeleteIllegal, kNotify, "Неверный запрос", "Эта форма не может быть использована для удаления записи"},
    {msg::kDuplicateKey, kNotify, "Ошибка дублирования в ключе",
     "Добавление этой записи создает дублирование для ключа: %Message"},
    {msg::kFieldNotValid, kNotify, "Ошибка содержимого поля", "Поле %Field содержит недопустимое значение."},
    {msg::kFieldNotInList, kNotify, "Ошибка значения", "Значение поля %Field не входит в список допустимых значений."},
    {msg::kFieldOutOfRange, kNotify, "Ошибка интервала", "Значение поля %Field должно лежать в интервале %Message."},
    {msg::kFieldBelowRange, kNotify, "Ошибка интервала", "Значение поля %Field должно быть не меньше %Message."},
    {msg::kFieldAboveRange, kNotify, "Ошибка интервала", "Значение поля %Field должно быть не больше %Message."},
    {msg::kLoadFailed, kNotify, "Ошибка загрузки файла", "Ошибка: (%ErrorText) возникла при загрузке файла %File."},
    {msg::kReportFailed, kFatal, "Ошибка разборки отчёта", "Ошибка: (%ErrorText) возникла при разборке отчёта %File."},
    {msg::kInsertIllegal, kNotify, "Неверный запрос", "Эта форма не может быть использована для добавления записи"},
    {msg::kTransactionRolledBack, kNotify, "Транзакция отменена",
     "Ошибка: (%ErrorText) возникла при записи в файл %File. Все изменения транзакции отменены."},
    {msg::kNoRecords, kNotify, "Нет записей", "В файле %File нет ни одной записи."},
    {msg::kOpenFailed, kFatal, "Ошибка доступа к файлу", "Файл %File не может быть открыт.  Ошибка: %ErrorText."},
    {msg::kUndefinedProcedure, kNotify, "Процедура не определена", "Процедура %Message не определена."},
    {msg::kPutFailed, kNotify, "Запись не обновляется",
     "Возникла ошибка (%ErrorText) при внесении изменений в файл %File."},
    {msg::kRebuildFailed, kFatal, "Ключ не построен", "Ошибка: (%ErrorText) восстановления ключа для %File."},
    {msg::kRebuildKey, kNotify, "Неверный ключ", "Файл %File - ключ испорчен. Ключ необходимо перестроить."},
    {msg::kReadFailed, kNotify, "Запись не читается",
     "Ошибка: (%ErrorText) возникла при чтении записи из файла %File."},
    {msg::kRelatedDelete, kNotify, "Ошибка удаления связанной записи",
     "Запись файла %File не может быть удалена: на нее ссылаются записи других файлов."},
    {msg::kRelatedUpdate, kNotify, "Ошибка обновления связанной записи",
     "Ключ %Key записи файла %File не может быть изменен: на него ссылаются записи других файлов."},
    {msg::kAutoIncFailed, kUser, "Ошибка автоматического увеличения",
     "Попытка автоматического нумерования этой записи привела к ошибке: %ErrorText. Попробовать еще раз?"},
    {msg::kRetryDelete, kUser, "Ошибка удаления записи",
     "Возникла ошибка при удалении записи. Желаете попробовать удалить еще раз?"},
    {msg::kRetryUpdate, kUser, "Ошибка перезаписи",
     "Возникла ошибка при изменений записи. Желаете попробовать записать еще раз?"},
    {msg::kSaveRecord, kUser, "Сохранение записи", "Вы хотите записать изменения для этой записи?"},
    {msg::kTopOfFile, kUser, "Ошибка начала файла", "Достигнуто начало файла %File. Перейти к концу файла?"},
    {msg::kEndOfFile, kUser, "Ошибка \"Конец Файла\"", "Достигнут конец файла %File. Перейти к началу файла?"},
    {msg::kUpdateIllegal, kNotify, "Неверный запрос", "Эта форма не может быть использована для изменения записи"},
    {msg::kUseClosed, kProgram, "Ошибка использования файла", "Попытка работы с файлом (%File) до его открытия"},
    {msg::kViewFilter, kNotify, "Ошибка открытия представления",
     "Ошибка: (%ErrorText) возникла при открытии текущего представления. "
     "Проигнорирован фильтр и интервал (Filter and Range Limits)."},
    {msg::kFilterColumn, kNotify, "Неподдерживаемый столбец фильтра",
     "Столбец %Field не может быть использован в фильтре."},
    {msg::kSmtpFailed, kNotify, "Ошибка SMTP", "Ошибка при отправке почтового сообщения: %Message"},
    {msg::kNntpFailed, kNotify, "Ошибка NNTP", "Ошибка при отправке сообщения в группу новостей: %Message"},
    {msg::kWinsockFailed, kNotify, "Ошибка Winsock", "Ошибка сетевого соединения: %Message"},
    {msg::kReportOpen, kFatal, "Ошибка разборки отчёта", "Ошибка: (%ErrorText) возникла при открытии отчёта %File."},
    {msg::kReportRead, kFatal, "Ошибка разборки отчёта", "Ошибка: (%ErrorText) возникла при чтении отчёта %File."},
    {msg::kReportPage, kFatal, "Ошибка разборки отчёта", "Отчёт %File испорчен: неверное описание страницы."},
    {msg::kReportField, kFatal, "Ошибка разборки отчёта", "Отчёт %File испорчен: неверное описание поля %Field."},
    {msg::kReportBuild, kNotify, "Ошибка генератора отчётов", "Генератор отчётов не может построить отчёт: %Message"},
    {msg::kReportGenerator, kNotify, "Ошибка Генератора Отчётов",
     "Генератор отчётов не найден или не может быть запущен."},
}};

// The table holds one entry for each id, in the ids' order.
constexpr bool holdsEveryIdInOrder() {
  for (std::size_t i = 0; i < kDefaultErrors.size(); ++i)
    if (kDefaultErrors[i].id != msg::kEvery[i]) return false;
  return true;
}
static_assert(holdsEveryIdInOrder());

}  // namespace

std::span<const fw::MessageEntry> defaultErrors() { return kDefaultErrors; }

}  // namespace zelk::app
