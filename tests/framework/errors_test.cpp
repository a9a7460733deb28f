#include "platform/framework/errors.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <optional>
#include <thread>

#include "app/messages.h"
#include "platform/core/codepage.h"
#include "platform/framework/scriptedboxes.h"
#include "platform/storage/file.h"

namespace zelk::fw {
namespace {

// A manager loaded with one message of the given level and text.
struct OneMessage {
  explicit OneMessage(std::string_view text, std::uint8_t level = kNotify) : entry{7, level, "Заголовок", text} {
    errors.Init({&entry, 1});
  }
  MessageEntry entry;
  ErrorClass errors;
};

class ErrorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    globalErrorStatus() = ErrorStatusClass{};
    boxes.install();
  }
  void TearDown() override {
    boxes.uninstall();
    globalErrorStatus() = ErrorStatusClass{};
  }

  static void setStatus(int code, std::string text, int fileCode, std::string fileText) {
    ErrorStatusClass& st = globalErrorStatus();
    st.errorCode = code;
    st.errorText = std::move(text);
    st.fileErrorCode = fileCode;
    st.fileErrorText = std::move(fileText);
  }

  ScriptedBoxes boxes;
};

TEST_F(ErrorsTest, PlaceholdersFilledInOrder) {
  struct Case {
    const char* text;
    const char* file;
    const char* message;
    const char* expected;
  };
  const Case cases[] = {
      // %File is a prefix of the two longer names, %Error of %ErrorCode and %ErrorText.
      {"%FileErrorCode/%FileError/%File", "/f/dbi.dbf", "", "13/Permission denied//f/dbi.dbf"},
      {"%ErrorCode/%ErrorText/%Error", "", "", "2/File Not Found (2)/File Not Found"},
      {"%Key %Field %Message", "", "m", "PRT:KEY_1 FIR:KOD m"},
      {"[%Category]", "", "", "[]"},
      {"%Nothing %", "", "", "%Nothing %"},
      {"%File%File", "a", "", "aa"},
      // Later placeholders are filled after earlier ones, also in the values put in.
      {"%File", "x%Key", "", "xPRT:KEY_1"},
      {"%Message", "", "%File", "%File"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    setStatus(2, "File Not Found", 13, "Permission denied");
    ErrorStatusClass& st = globalErrorStatus();
    st.file = c.file;
    st.key = "PRT:KEY_1";
    st.field = "FIR:KOD";
    st.message = c.message;
    OneMessage m(c.text);
    EXPECT_EQ(m.errors.filledText(7), c.expected);
  }
}

TEST_F(ErrorsTest, ErrorTextCarriesTheFileSystemsTextFor90And100) {
  struct Case {
    int code;
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {5, "Access Denied", "(Access Denied (5))"},
      {90, "File System Error", "(File System Error (No space left on device))"},
      {100, "Driver Error", "(Driver Error (No space left on device))"},
  };
  OneMessage m("(%ErrorText)");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    setStatus(c.code, c.text, 28, "No space left on device");
    EXPECT_EQ(m.errors.filledText(7), c.expected);
  }
}

TEST_F(ErrorsTest, PreviousIsTheLastRaisedText) {
  MessageEntry table[] = {{1, kNotify, "A", "first %Message"}, {2, kNotify, "B", "after <%Previous>"}};
  ErrorClass errors;
  errors.Init(table);
  errors.ThrowMessage(1, "one");
  EXPECT_EQ(errors.Throw(2), 5);
  EXPECT_EQ(boxes.last().text, "after <first one>");
}

TEST_F(ErrorsTest, TakeFileErrorCopiesTheStorageError) {
  storage::setLastError({90, "File System Error", 28, "No space left on device"});
  ErrorStatusClass st;
  st.takeFileError();
  EXPECT_EQ(st.errorCode, 90);
  EXPECT_EQ(st.errorText, "File System Error");
  EXPECT_EQ(st.fileErrorCode, 28);
  EXPECT_EQ(st.fileErrorText, "No space left on device");
  storage::setLastError({});
}

TEST_F(ErrorsTest, ProcedureIsTheThreadsNewestName) {
  OneMessage m("in %Procedure");
  EXPECT_EQ(m.errors.filledText(7), "in %Procedure");  // nothing registered
  m.errors.SetProcedureName("Main");
  m.errors.SetProcedureName("s_fir   ");
  EXPECT_EQ(m.errors.procedureName(), "s_fir");

  std::string onThread, onThreadAfterDrop;
  std::thread t([&] {
    onThreadAfterDrop = m.errors.filledText(7);  // this thread has none yet
    m.errors.SetProcedureName("pln_tab1");
    m.errors.Throw(7);
    onThread = m.errors.filledText(7);
    m.errors.SetProcedureName();
  });
  t.join();
  EXPECT_EQ(onThreadAfterDrop, "in %Procedure");
  EXPECT_EQ(onThread, "in pln_tab1");
  EXPECT_EQ(boxes.last().text, "in pln_tab1");

  EXPECT_EQ(m.errors.filledText(7), "in s_fir");
  m.errors.SetProcedureName();
  EXPECT_EQ(m.errors.filledText(7), "in Main");
  m.errors.SetProcedureName();
  m.errors.SetProcedureName();  // nothing left to drop
  EXPECT_EQ(m.errors.procedureName(), "%Procedure");
}

TEST_F(ErrorsTest, DuplicateKeyShowsTheKeyDescription) {
  ErrorClass errors;
  errors.Init(app::defaultErrors());
  EXPECT_EQ(errors.ThrowMessage(15, "PRT:key_1"), 5);
  ASSERT_EQ(boxes.count(), 1u);
  Box b = boxes.last();
  EXPECT_EQ(b.caption, ansi("Ошибка дублирования в ключе"));
  EXPECT_EQ(b.text, ansi("Добавление этой записи создает дублирование для ключа: PRT:key_1"));
}

TEST_F(ErrorsTest, ThrowFileNamesTheFileAndTakesItsError) {
  ErrorClass errors;
  errors.Init(app::defaultErrors());
  storage::setLastError({5, "Access Denied", 13, "Permission denied"});
  errors.ThrowFile(28, "/firm/prt.dat");
  EXPECT_EQ(boxes.last().text, ansi("Возникла ошибка (Access Denied (5)) при внесении изменений в файл /firm/prt.dat."));
  storage::setLastError({});
}

TEST_F(ErrorsTest, LevelsGiveTheirBoxesAndResults) {
  struct Case {
    std::uint8_t level;
    std::optional<unsigned> answer;  // none: the box's default
    std::uint8_t result;
    Icon icon;
    unsigned buttons;
    unsigned defaultButton;
  };
  const Case cases[] = {
      {kUser, kButtonYes, 0, Icon::Question, kButtonYes | kButtonNo, kButtonYes},
      {kUser, kButtonNo, 4, Icon::Question, kButtonYes | kButtonNo, kButtonYes},
      {kUser, std::nullopt, 0, Icon::Question, kButtonYes | kButtonNo, kButtonYes},
      {kCancel, kButtonYes, 0, Icon::Question, kButtonYes | kButtonNo, kButtonYes},
      {kCancel, kButtonNo, 4, Icon::Question, kButtonYes | kButtonNo, kButtonYes},
      {kCancel, kButtonCancel, 4, Icon::Question, kButtonYes | kButtonNo, kButtonYes},
      {kNotify, std::nullopt, 5, Icon::Exclamation, kButtonOk, kButtonOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.level));
    boxes.clear();
    if (c.answer) boxes.answer(*c.answer);
    OneMessage m("text|second", c.level);
    EXPECT_EQ(m.errors.Throw(7), c.result);
    ASSERT_EQ(boxes.count(), 1u);
    Box b = boxes.last();
    EXPECT_EQ(b.caption, ansi("Заголовок"));
    EXPECT_EQ(b.text, "text|second");
    EXPECT_EQ(b.icon, c.icon);
    EXPECT_EQ(b.buttons, c.buttons);
    EXPECT_EQ(b.defaultButton, c.defaultButton);
    EXPECT_EQ(boxes.pendingAnswers(), 0u);
  }
}

TEST_F(ErrorsTest, BenignShowsNothing) {
  OneMessage m("quiet", kBenign);
  EXPECT_EQ(m.errors.Throw(7), 0);
  EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(ErrorsTest, MessageAsksWithTheGivenButtons) {
  ErrorClass errors;
  errors.Init(app::defaultErrors());
  EXPECT_EQ(errors.Message(36, kButtonYes | kButtonNo | kButtonCancel, kButtonCancel), kButtonCancel);
  boxes.answer(kButtonYes);
  EXPECT_EQ(errors.Message(37, kButtonYes | kButtonNo | kButtonCancel, kButtonCancel), kButtonYes);
  auto shown = boxes.boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, ansi("Ошибка удаления записи"));
  EXPECT_EQ(shown[0].text, ansi("Возникла ошибка при удалении записи. Желаете попробовать удалить еще раз?"));
  EXPECT_EQ(shown[0].icon, Icon::Question);
  EXPECT_EQ(shown[0].buttons, kButtonYes | kButtonNo | kButtonCancel);
  EXPECT_EQ(shown[0].defaultButton, kButtonCancel);
}

TEST_F(ErrorsTest, UnknownIdIsANoticeSayingSo) {
  ErrorClass errors;
  errors.Init(app::defaultErrors());
  EXPECT_EQ(errors.Throw(32), 5);
  EXPECT_NE(boxes.last().text.find("32"), std::string::npos);
}

TEST_F(ErrorsTest, ConsoleBoxShowsEachLineAndAnswersTheDefault) {
  boxes.uninstall();
  ErrorClass errors;
  errors.Init(app::defaultErrors());
  setStatus(33, "Record Not Available", 0, "");
  globalErrorStatus().file = "prt.dat";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(errors.Throw(9), 5);
  EXPECT_EQ(errors.Throw(10), 0);  // the default "&Yes"
  std::string out = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(out,
            "*** Ошибка чтения записи\n"
            "Ошибка: (Record Not Available (33)) возникла при чтении записи из файла prt.dat.\n"
            "Возвращаемся к предыдущему окну.\n"
            "*** Изменения будут потеряны!\n"
            "Вы уверены что желаете отменить?\n");
}

TEST(BoxLines, BarsSplitLines) {
  EXPECT_EQ(boxLines("one"), std::vector<std::string>{"one"});
  EXPECT_EQ(boxLines("a|b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(boxLines("|"), (std::vector<std::string>{"", ""}));
}

TEST(ThreadData, StatusAndNumberArePerThread) {
  globalErrorStatus().file = "main";
  int mine = threadNumber();
  int other = 0;
  std::string otherFile = "unset";
  std::thread t([&] {
    other = threadNumber();
    otherFile = globalErrorStatus().file;
  });
  t.join();
  EXPECT_GE(mine, 1);
  EXPECT_EQ(threadNumber(), mine);
  EXPECT_NE(other, mine);
  EXPECT_GE(other, 1);
  EXPECT_EQ(otherFile, "");
  globalErrorStatus() = ErrorStatusClass{};
}

// The fatal stop: two boxes, then the process ends with exit code 0 and no exit
// handlers run (one would change the code to 3).
class FatalStop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

void raiseFatal(std::uint16_t id, std::string_view file) {
  std::atexit([] { _exit(3); });
  setBoxService(nullptr);
  ErrorClass errors;
  errors.Init(app::defaultErrors());
  storage::setLastError({2, "File Not Found", 2, "No such file or directory"});
  errors.ThrowFile(id, file);
  std::fputs("returned\n", stderr);
  _exit(4);
}

TEST_F(FatalStop, OpenFailureEndsAfterTheHaltBox) {
  EXPECT_EXIT(raiseFatal(26, "/data/firm1\\dbi.dbf"), ::testing::ExitedWithCode(0),
              "^\\*\\*\\* Ошибка доступа к файлу\n"
              "Файл /data/firm1\\\\dbi\\.dbf не может быть открыт\\.  Ошибка: File Not Found \\(2\\)\\."
              "  Press OK to end this application\n"
              "\\*\\*\\* Halt\n"
              "Ошибка доступа к файлу\n$");
}

TEST_F(FatalStop, ProgramAndUnknownLevelsStopToo) {
  EXPECT_EXIT(raiseFatal(42, "PRT"), ::testing::ExitedWithCode(0),
              "\\(PRT\\) до его открытия  Press OK to end this application\n"
              "\\*\\*\\* Halt\nОшибка использования файла\n$");
  EXPECT_EXIT(
      {
        setBoxService(nullptr);
        OneMessage m("odd", 9);
        m.errors.Throw(7);
        _exit(4);
      },
      ::testing::ExitedWithCode(0), "^\\*\\*\\* Заголовок\nodd  Press OK to end this application\n\\*\\*\\* Halt\nЗаголовок\n$");
}

TEST_F(FatalStop, ScriptedBoxesSeeBothBoxes) {
  EXPECT_EXIT(
      {
        ScriptedBoxes b;
        b.install();
        b.setEcho(true);
        OneMessage m("bad", kFatal);
        m.errors.Throw(7);
      },
      ::testing::ExitedWithCode(0), "^\\*\\*\\* Заголовок\nbad  Press OK to end this application\n\\*\\*\\* Halt\nЗаголовок\n$");
}

// A box that stays on screen on one thread holds up nothing on another.
class HeldBoxes : public BoxService {
 public:
  unsigned show(const Box& box) override {
    if (box.caption == "hold") {
      std::unique_lock lock(m_);
      showing_ = true;
      cv_.notify_all();
      cv_.wait(lock, [&] { return released_; });
    }
    return box.defaultButton;
  }
  void waitShowing() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return showing_; });
  }
  void release() {
    std::lock_guard lock(m_);
    released_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool showing_ = false, released_ = false;
};

TEST(ErrorsConcurrency, ABoxOnScreenBlocksNoOtherThread) {
  HeldBoxes held;
  setBoxService(&held);
  MessageEntry table[] = {{1, kUser, "hold", "%Procedure"}, {2, kNotify, "free", "%Procedure"}};
  ErrorClass errors;
  errors.Init(table);

  std::uint8_t heldResult = 99;
  std::thread lookup([&] {
    errors.SetProcedureName("pln_tab1");
    heldResult = errors.Throw(1);
    errors.SetProcedureName();
  });
  held.waitShowing();

  auto other = std::async(std::launch::async, [&] {
    errors.SetProcedureName("Main");
    std::uint8_t r = errors.Throw(2);
    std::string name = errors.procedureName();
    errors.SetProcedureName();
    return std::make_pair(r, name);
  });
  bool finished = other.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  held.release();
  lookup.join();
  EXPECT_TRUE(finished) << "the other thread waited for the box";
  auto [r, name] = other.get();
  EXPECT_EQ(r, 5);
  EXPECT_EQ(name, "Main");
  EXPECT_EQ(heldResult, 0);
  setBoxService(nullptr);
}

TEST(ErrorsConcurrency, TwoThreadsRaiseWithTheirOwnNames) {
  ScriptedBoxes boxes;
  boxes.install();
  OneMessage m("%Procedure %File");
  std::atomic<int> wrong{0};
  auto run = [&](std::string name) {
    for (int i = 0; i < 200; ++i) {
      m.errors.SetProcedureName(name);
      m.errors.SetFile(name + ".dat");
      m.errors.Throw(7);
      if (m.errors.filledText(7) != name + " " + name + ".dat") ++wrong;
      m.errors.SetProcedureName();
    }
  };
  std::thread a(run, "Main"), b(run, "pln_tab1");
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(boxes.count(), 400u);
  EXPECT_EQ(m.errors.procedureName(), "%Procedure");
  boxes.uninstall();
}

}  // namespace
}  // namespace zelk::fw
