// How a list reads its view: locators, page by page and file-loaded, the thumb,
// filters, its own row test and totals, refilling at the buffer and after its form.
#include <algorithm>
#include <fstream>

#include "lists/fixture.h"
#include "platform/storage/dat21/format.h"

namespace zelk::test {
namespace {

TEST_F(ListsTest, StepLocatorMovesToTheFirstRowAtOrAfterTheTypedCharacter) {
  for (int code : {1, 2, 3, 5, 8, 13, 21}) addFirm(code, "Фирма " + std::to_string(code));
  struct Case {
    int key;
    std::string highlighted;  // the code column
  };
  const Case cases[] = {{'4', "5"}, {'9', "13"}, {'0', "1"}, {'2', "2"}, {'A', "1"}};
  for (bool loaded : {false, true}) {
    SCOPED_TRACE(loaded ? "file-loaded" : "page by page");
    std::vector<std::string> seen;
    std::vector<int> buffer;
    for (const Case& c : cases) {
      then([&, key = c.key](ui::Window& w) { user.key(w, "?BROWSE:1", key); });
      then([&](ui::Window& w) {
        seen.push_back(highlighted(w));
        buffer.push_back(dict::F_NAME().rec.KOD);
      });
    }
    then([&](ui::Window& w) { user.press(w, "?CLOSE"); });
    ListOptions o;
    o.fileLoaded = loaded;
    o.locator = ListSetup::Locator::Step;
    runFirmList(o);
    std::vector<std::string> expected;
    std::vector<int> codes;
    for (const Case& c : cases) {
      expected.push_back(c.highlighted);
      codes.push_back(std::stoi(c.highlighted));
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(buffer, codes);
  }
}

TEST_F(ListsTest, IncrementalLocatorBuildsUpItsTextAndBackspaceTakesItBack) {
  addAccount(1, "50", "Касса");
  addAccount(2, "51", "Расчетный счет");
  addAccount(3, "60", "Поставщики");
  addAccount(4, "60.1", "Авансы");
  addAccount(5, "62", "Покупатели");
  addAccount(6, "a1", "Прочее");
  struct Case {
    int key;
    const char* highlighted;
  };
  const Case cases[] = {{'6', "60"}, {'2', "62"}, {'\b', "60"}, {'0', "60"}, {'.', "60.1"},
                        {'\b', "60"}, {'\b', "60"}, {'\b', "50"}, {'a', "a1"}, {'z', "a1"}};
  for (bool loaded : {false, true}) {
    SCOPED_TRACE(loaded ? "file-loaded" : "page by page");
    std::vector<std::string> seen;
    for (const Case& c : cases) {
      then([&, key = c.key](ui::Window& w) { user.key(w, "?BROWSE:1", key); });
      then([&](ui::Window& w) { seen.push_back(highlighted(w)); });
    }
    // A click elsewhere starts a new search.
    then([&](ui::Window& w) { user.selectRow(w, "?BROWSE:1", 1); });
    then([&](ui::Window& w) { user.key(w, "?BROWSE:1", '5'); });
    then([&](ui::Window& w) {
      seen.push_back(highlighted(w));
      user.press(w, "?CLOSE");
    });
    ListOptions o;
    o.fileLoaded = loaded;
    o.locator = ListSetup::Locator::Incremental;
    runChartList(o);
    std::vector<std::string> expected;
    for (const Case& c : cases) expected.push_back(c.highlighted);
    expected.push_back("50");
    EXPECT_EQ(seen, expected);
  }
}

TEST_F(ListsTest, PageByPageListReadsOnlyAPageAtATime) {
  addFirms(1000);
  struct Case {
    const char* name;
    std::function<void(ui::Window&)> act;
    std::string first, highlighted;  // codes
    int thumb;
  };
  const Case cases[] = {
      {"page down", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::PageDown); }, "11", "11", 1},
      {"down inside the page", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollDown); }, "11", "12", 1},
      {"the last row", [&](ui::Window& w) { user.selectRow(w, "?BROWSE:1", 10); }, "11", "20", 2},
      {"down past the page", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollDown); }, "12", "21", 2},
      {"bottom", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollBottom); }, "991", "1000", 100},
      {"down at the end", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollDown); }, "991", "1000", 100},
      {"up inside the page", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollUp); }, "991", "999", 100},
      {"page up", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::PageUp); }, "981", "989", 99},
      {"top", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollTop); }, "1", "1", 0},
      {"up at the start", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollUp); }, "1", "1", 0},
      {"thumb to the middle", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollDrag, 50); }, "501",
       "501", 50},
      {"thumb to the end", [&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollDrag, 100); }, "991",
       "1000", 100},
  };
  std::uint64_t readsAtOpen = 0;
  int rowsAtOpen = 0;
  bool paged = false;
  struct Seen {
    std::string first, highlighted;
    int thumb, rows, code;
    std::uint64_t reads;
  };
  std::vector<Seen> seen;
  then([&](ui::Window& w) {
    readsAtOpen = TestList::running->BRW1.Reads;
    rowsAtOpen = w.rowCount(ctl::kList);
    paged = w.paged(ctl::kList);
  });
  for (const Case& c : cases) {
    then([&, act = c.act](ui::Window& w) {
      seen.push_back({{}, {}, 0, 0, 0, TestList::running->BRW1.Reads});
      act(w);
    });
    then([&](ui::Window& w) {
      Seen& s = seen.back();
      // The code column holds 3 digits: the name tells the firm.
      s.first = cell(w, 1, 1).substr(std::string("Фирма ").size());
      s.highlighted = highlighted(w, 1).substr(std::string("Фирма ").size());
      s.thumb = w.thumb(ctl::kList);
      s.rows = w.rowCount(ctl::kList);
      s.code = dict::F_NAME().rec.KOD;
      s.reads = TestList::running->BRW1.Reads - s.reads;
    });
  }
  then([&](ui::Window& w) { user.press(w, "?CLOSE"); });
  ListOptions o;
  o.step = ListSetup::Step::Long;
  runFirmList(o);

  EXPECT_TRUE(paged);
  EXPECT_EQ(rowsAtOpen, 10);
  EXPECT_LE(readsAtOpen, 14u);  // a page and the thumb's limits
  ASSERT_EQ(seen.size(), std::size(cases));
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(seen[i].first, cases[i].first);
    EXPECT_EQ(seen[i].highlighted, cases[i].highlighted);
    EXPECT_EQ(seen[i].code, std::stoi(cases[i].highlighted));
    EXPECT_EQ(seen[i].thumb, cases[i].thumb);
    EXPECT_EQ(seen[i].rows, 10);
    EXPECT_LE(seen[i].reads, 26u);
  }
}

// A record that cannot be read asks for the rebuild (notice 30), which drops it and
// says so; the list goes on past it.
TEST_F(ListsTest, ADamagedRecordIsDroppedByTheRebuildAndTheListGoesOnPastIt) {
  addFirms(30);
  dict::Relate::F_NAME->Close();
  {
    // Slot 15 gets a status that is neither active nor deleted.
    std::fstream f(dir / "F_NAME.DAT", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(storage::dat21::slotOffset(15, sizeof(dict::FnmRecord))));
    f.put('X');
  }
  dict::Relate::F_NAME->Open();
  std::vector<std::string> before, after;
  then([&](ui::Window& w) {
    before = column(w);
    w.userScroll(ctl::kList, ui::Event::PageDown);
  });
  then([&](ui::Window& w) {
    after = column(w);
    user.press(w, "?CLOSE");
  });
  ListOptions o;
  o.recordOrder = true;
  std::uint8_t answer = runFirmList(o);
  EXPECT_EQ(before, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
  EXPECT_EQ(after, (std::vector<std::string>{"11", "12", "13", "14", "16", "17", "18", "19", "20", "21"}));
  EXPECT_EQ(boxCaptions(), (std::vector<std::string>{"Неверный ключ", "Файл восстановлен"}));
  EXPECT_EQ(answer, fw::response::kCompleted);
}

TEST(ThumbSteps, PositionTheThumbByTheKeyValue) {
  dict::PlnRecord first, last, rec;
  const storage::FieldDesc& nomer = dict::PLN_DECL.fields[1];
  const storage::FieldDesc& kod = dict::PLN_DECL.fields[0];
  first.NOMER = "10";
  last.NOMER = "90";
  first.KOD = 100;
  last.KOD = 300;
  auto bytes = [](dict::PlnRecord& r) { return reinterpret_cast<char*>(&r); };

  fw::StepStringClass text;
  text.Init(1, fw::StepStringClass::kRunTime);
  text.bind(nomer, true);
  text.SetLimit(bytes(first), bytes(last));  // steps 1 .. 9
  fw::StepLongClass number;
  number.Init(1);
  number.bind(kod, false);
  number.SetLimit(bytes(first), bytes(last));
  struct Case {
    const char* nomer;
    int kod;
    int textThumb, numberThumb;
  };
  const Case cases[] = {{"10", 100, 0, 0}, {"15", 150, 0, 25}, {"50", 200, 50, 50},
                        {"90.1", 300, 100, 100}, {"05", 50, 0, 0}, {"A1", 400, 100, 100}};
  for (const Case& c : cases) {
    rec.NOMER = c.nomer;
    rec.KOD = static_cast<std::int16_t>(c.kod);
    EXPECT_EQ(text.GetPercentile(bytes(rec)), c.textThumb) << c.nomer;
    EXPECT_EQ(number.GetPercentile(bytes(rec)), c.numberThumb) << c.kod;
  }
  struct Drag {
    int thumb;
    const char* nomer;
    int kod;
  };
  for (const Drag& d : {Drag{0, "1", 100}, Drag{50, "5", 200}, Drag{75, "7", 250}, Drag{100, "9", 300}}) {
    text.SetValue(bytes(rec), d.thumb);
    number.SetValue(bytes(rec), d.thumb);
    EXPECT_EQ(rec.NOMER, d.nomer) << d.thumb;
    EXPECT_EQ(rec.KOD, d.kod) << d.thumb;
  }
}

TEST_F(ListsTest, TheThumbOfATextKeyMovesThePage) {
  int code = 1;
  for (char lead = '1'; lead <= '9'; ++lead)
    for (char second = '0'; second <= '4'; ++second) {
      std::string nomer{lead, second};
      addAccount(code++, nomer, "счет " + nomer);
    }
  std::string at, first;
  int thumb = -1;
  then([&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollDrag, 50); });
  then([&](ui::Window& w) {
    at = highlighted(w);
    first = cell(w, 1);
    thumb = w.thumb(ctl::kList);
    user.press(w, "?CLOSE");
  });
  ListOptions o;
  o.step = ListSetup::Step::String;
  runChartList(o);
  EXPECT_EQ(at, "50");
  EXPECT_EQ(first, "50");
  EXPECT_EQ(thumb, 50);
}

TEST_F(ListsTest, FileLoadedListHoldsTheWholeView) {
  addFirms(1000);
  int rows = 0;
  bool paged = true;
  std::string last;
  then([&](ui::Window& w) {
    rows = w.rowCount(ctl::kList);
    paged = w.paged(ctl::kList);
    last = cell(w, rows, 1);
    user.press(w, "?CLOSE");
  });
  ListOptions o;
  o.fileLoaded = true;
  runFirmList(o);
  EXPECT_EQ(rows, 1000);
  EXPECT_FALSE(paged);
  EXPECT_EQ(last, "Фирма 1000");
}

TEST_F(ListsTest, RecordOrderListShowsTheRecordsAsAdded) {
  for (int code : {5, 1, 3}) addFirm(code, "Фирма " + std::to_string(code));
  for (bool loaded : {false, true}) {
    std::vector<std::string> codes;
    then([&](ui::Window& w) {
      codes = column(w);
      user.press(w, "?CLOSE");
    });
    ListOptions o;
    o.recordOrder = true;
    o.fileLoaded = loaded;
    runFirmList(o);
    EXPECT_EQ(codes, (std::vector<std::string>{"5", "1", "3"}));
  }
}

TEST_F(ListsTest, FilterOverABoundFieldAndVariable) {
  addAccount(1, "50", "касса", 1);
  addAccount(2, "51", "банк", 2);
  addAccount(3, "60", "поставщики", 2);
  addAccount(4, "62", "покупатели", 1);
  addAccount(5, "70", "зарплата", 2);
  struct Case {
    const char* filter;
    int fir;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"(pln:fir=fir)", 2, {"51", "60", "70"}},
      {"(pln:fir=fir)", 1, {"50", "62"}},
      {"(pln:fir=fir)", 3, {}},
      {"PLN:FIR = FIR and pln:nomer >= '60'", 2, {"60", "70"}},
      {"not (pln:fir = fir) or pln:kod = 3", 2, {"50", "60", "62"}},
      {"pln:name = 'банк'", 0, {"51"}},
  };
  for (bool loaded : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.filter) + (loaded ? ", file-loaded" : ""));
      dict::FIR = static_cast<std::int16_t>(c.fir);
      std::vector<std::string> rows;
      then([&](ui::Window& w) {
        rows = column(w);
        user.press(w, "?CLOSE");
      });
      ListOptions o;
      o.fileLoaded = loaded;
      o.filter = ansi(c.filter);
      runChartList(o, [](TestList& tw, TestBrowse&) {
        tw.bind = [] { fw::bindName("fir", {nullptr, nullptr, {}, [] { return double(dict::FIR.load()); }}); };
      });
      EXPECT_EQ(rows, c.rows);
    }
  }
  EXPECT_EQ(boxCount(), 0u);
}

TEST_F(ListsTest, AFilterThatCannotBeUsedIsReportedOnceAndTheListGoesOnWithoutIt) {
  addAccount(1, "50", "касса", 1);
  addAccount(2, "51", "банк", 2);
  for (const char* filter : {"(pln:fir=fir", "pln:fir = nosuch"}) {
    SCOPED_TRACE(filter);
    boxes.clear();
    std::vector<std::string> rows;
    then([&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollBottom); });
    then([&](ui::Window& w) { w.userScroll(ctl::kList, ui::Event::ScrollTop); });
    then([&](ui::Window& w) {
      rows = column(w);
      user.press(w, "?CLOSE");
    });
    ListOptions o;
    o.filter = filter;
    runChartList(o);
    EXPECT_EQ(rows, (std::vector<std::string>{"50", "51"}));
    EXPECT_EQ(boxCaptions(), std::vector<std::string>{"Ошибка открытия представления"});
  }
}

// Notes the cursor the program shows with each box, then shows the box as before.
class CursorAtBoxes : public fw::BoxService {
 public:
  CursorAtBoxes(fw::BoxService& to, const ScriptedUser& user) : to_(to), user_(user) {}
  unsigned show(const fw::Box& box) override {
    cursors.push_back(user_.cursor());
    return to_.show(box);
  }
  std::vector<ui::Cursor> cursors;

 private:
  fw::BoxService& to_;
  const ScriptedUser& user_;
};

// Every filling, also one whose filter is reported as it starts, reads its rows and
// runs ResetFromView under the wait cursor, shows the arrow with a box and leaves the
// arrow behind.
TEST_F(ListsTest, EveryFillingReadsUnderTheWaitCursorAndLeavesTheArrow) {
  addFirms(3);
  addAccount(1, "50", "касса", 1);
  addAccount(2, "51", "банк", 1);
  using ui::Cursor;
  for (const char* filter : {"", "(pln:fir=fir"}) {
    SCOPED_TRACE(filter);
    boxes.clear();
    std::vector<Cursor> reading, fromView, between;
    then([&](ui::Window& w) {
      between.push_back(user.cursor());
      w.userScroll(ctl::kList, ui::Event::ScrollBottom);
    });
    then([&](ui::Window& w) {
      between.push_back(user.cursor());
      user.press(w, "?CLOSE");
    });
    CursorAtBoxes atBoxes(fw::boxService(), user);
    fw::setBoxService(&atBoxes);
    ListOptions o;
    o.filter = filter;
    auto prepare = [&](TestList&, TestBrowse& brw) {
      brw.keep = [&] {
        reading.push_back(user.cursor());
        return true;
      };
      brw.fromView = [&](TestBrowse&) { fromView.push_back(user.cursor()); };
    };
    std::uint8_t answer = *filter ? runChartList(o, prepare) : runFirmList(o, prepare);
    fw::setBoxService(&boxes);
    EXPECT_EQ(answer, fw::response::kCompleted);
    EXPECT_FALSE(reading.empty());
    EXPECT_EQ(std::count(reading.begin(), reading.end(), Cursor::Wait), std::ssize(reading));
    EXPECT_GE(fromView.size(), 2u);  // the opening and the scroll
    EXPECT_EQ(std::count(fromView.begin(), fromView.end(), Cursor::Wait), std::ssize(fromView));
    EXPECT_EQ(between, (std::vector<Cursor>{Cursor::Arrow, Cursor::Arrow}));
    EXPECT_EQ(atBoxes.cursors, std::vector<Cursor>(*filter ? 1 : 0, Cursor::Arrow));
    EXPECT_EQ(user.cursor(), Cursor::Arrow);
  }
}

TEST_F(ListsTest, OwnRowTestAndTotalsRunOverTheSameRowsAsTheList) {
  addFirms(9);
  struct Totals {
    int rows = 0, sum = 0;
  } totals;
  std::vector<std::string> shown;
  int fromViewAtOpen = -1, fromViewLater = -1;
  then([&](ui::Window& w) {
    shown = column(w);
    fromViewAtOpen = static_cast<TestBrowse&>(TestList::running->BRW1).fromViewCalls;
    w.userActivate();  // a refresh that finds the list filled does not read it again
  });
  then([&](ui::Window& w) {
    fromViewLater = static_cast<TestBrowse&>(TestList::running->BRW1).fromViewCalls;
    user.press(w, "?CLOSE");
  });
  ListOptions o;
  o.fileLoaded = true;
  runFirmList(o, [&](TestList&, TestBrowse& b) {
    b.keep = [] { return dict::F_NAME().rec.KOD % 2 == 1; };
    b.fromView = [&](TestBrowse& self) {
      totals = {};
      self.fw::ViewManager::Reset();
      while (self.Next() == 0) {
        self.SetQueueRecord();
        ++totals.rows;
        totals.sum += static_cast<int>(self.Queue().number(self.QueueRecord(), 0));
      }
    };
  });
  EXPECT_EQ(shown, (std::vector<std::string>{"1", "3", "5", "7", "9"}));
  EXPECT_EQ(totals.rows, 5);
  EXPECT_EQ(totals.sum, 25);
  EXPECT_EQ(fromViewAtOpen, 1);
  EXPECT_EQ(fromViewLater, 1);
}

TEST_F(ListsTest, ResetFromBufferFillsTheListAtTheRecordInTheBuffer) {
  addFirms(40);
  for (bool loaded : {false, true}) {
    SCOPED_TRACE(loaded ? "file-loaded" : "page by page");
    std::string at, first;
    then([&](ui::Window& w) { user.press(w, "?FIND"); });
    then([&](ui::Window& w) {
      at = highlighted(w);
      first = cell(w, 1);
      user.press(w, "?CLOSE");
    });
    ListOptions o;
    o.fileLoaded = loaded;
    runFirmList(o, [](TestList& tw, TestBrowse&) {
      tw.onFind = [](TestList& self) {
        dict::F_NAME().rec.KOD = 25;
        self.BRW1.ResetFromBuffer();
      };
    });
    EXPECT_EQ(at, "25");
    EXPECT_EQ(first, loaded ? "1" : "25");
  }
}

TEST_F(ListsTest, TheListIsRefreshedAfterItsFormReturns) {
  auto rename = [](std::uint8_t) {
    dict::F_NAME().rec.NAME = ansi("Новое имя");
    return dict::Access::F_NAME->Update() == 0 ? fw::response::kCompleted : fw::response::kCancelled;
  };
  auto insert = [](std::uint8_t) {
    dict::F_NAME().rec.NAME = ansi("Добавленная");
    return dict::Access::F_NAME->Insert() == 0 ? fw::response::kCompleted : fw::response::kCancelled;
  };
  auto erase = [](std::uint8_t) {
    return dict::Relate::F_NAME->Delete() == 0 ? fw::response::kCompleted : fw::response::kCancelled;
  };
  auto cancel = [](std::uint8_t) {
    dict::F_NAME().rec.NAME = ansi("не записано");
    return fw::response::kCancelled;
  };
  struct Case {
    const char* name;
    const char* button;
    std::function<std::uint8_t(std::uint8_t)> form;
    std::uint8_t listRequest;
    int formRequest;  // 0: no form
    int formCode;     // the highlighted firm, as the form saw it
    std::vector<std::string> names;
    std::string highlighted;  // its code
  };
  const Case cases[] = {
      {"change", "?CHANGE:4", rename, 0, fw::request::kChange, 2,
       {"Фирма 1", "Новое имя", "Фирма 3"}, "2"},
      {"cancelled change", "?CHANGE:4", cancel, 0, fw::request::kChange, 2,
       {"Фирма 1", "Фирма 2", "Фирма 3"}, "2"},
      {"insert", "?INSERT:4", insert, 0, fw::request::kInsert, 4,
       {"Фирма 1", "Фирма 2", "Фирма 3", "Добавленная"}, "4"},
      {"delete", "?DELETE:4", erase, 0, fw::request::kDelete, 2, {"Фирма 1", "Фирма 3"}, "3"},
      {"view", "?VIEW:3", cancel, 0, fw::request::kView, 2, {"Фирма 1", "Фирма 2", "Фирма 3"}, "2"},
      {"view from a list opened to view", "?VIEW:3", rename, fw::request::kView, 0, 0,
       {"Фирма 1", "Фирма 2", "Фирма 3"}, "2"},
  };
  for (bool loaded : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (loaded ? ", file-loaded" : ", page by page"));
      clearFirms();
      addFirm(1, "Фирма 1", "c:\\one");
      addFirm(2, "Фирма 2", "c:\\two");
      addFirm(3, "Фирма 3", "c:\\three");
      formCalls.clear();
      formAction = c.form;
      std::vector<std::string> names;
      std::string at;
      int focus = 0, resetsBefore = 0, resetsAfter = 0;
      then([&](ui::Window& w) { user.selectRow(w, "?BROWSE:1", 2); });
      then([&](ui::Window& w) {
        resetsBefore = TestList::running->resets;
        user.press(w, c.button);
      });
      then([&](ui::Window& w) {
        names = column(w, 1);
        at = highlighted(w);
        focus = w.focus();
        resetsAfter = TestList::running->resets;
        user.press(w, "?CLOSE");
      });
      dict::GLOBALREQUEST = c.listRequest;
      ListOptions o;
      o.fileLoaded = loaded;
      runFirmList(o, {});
      EXPECT_EQ(names, c.names);
      EXPECT_EQ(at, c.highlighted);
      EXPECT_EQ(focus, ctl::kList);
      if (c.formRequest) {
        ASSERT_EQ(formCalls.size(), 1u);
        EXPECT_EQ(formCalls[0].request, c.formRequest);
        EXPECT_EQ(formCalls[0].code, c.formCode);
        // The whole record reaches the form, not only the list's columns.
        if (c.formRequest != fw::request::kInsert) EXPECT_EQ(formCalls[0].path, "c:\\two");
        else EXPECT_EQ(formCalls[0].path, "");
        EXPECT_GT(resetsAfter, resetsBefore);
      } else {
        EXPECT_TRUE(formCalls.empty());
      }
    }
  }
}

}  // namespace
}  // namespace zelk::test
