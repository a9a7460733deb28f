// A list with the program's real form pattern as its update form, and a list on a
// thread of its own while the main thread's list stays usable.
#include <atomic>
#include <chrono>
#include <thread>

#include "app/patterns/form.h"
#include "app/startup.h"
#include "lists/fixture.h"

namespace zelk::test {
namespace {

// The firm form: 1 code, 2 name, 3 OK, 4 close.
ui::WindowDef firmFormDef() {
  dict::FnmRecord& r = dict::F_NAME().rec;
  ui::WindowDef d;
  d.key = "TEST$form";
  d.label = "QUICKWINDOW";
  d.title = ansi("Фирма");
  d.at = {20, 20, 200, 80};
  auto entry = [](const char* name, const char* picture, ui::Use use) {
    ui::ControlDef c;
    c.kind = Kind::Entry;
    c.name = name;
    c.picture = picture;
    c.use = std::move(use);
    return c;
  };
  auto button = [](const char* name, const char* text) {
    ui::ControlDef c;
    c.kind = Kind::Button;
    c.name = name;
    c.text = ansi(text);
    return c;
  };
  d.controls = {entry("?KOD", "n3b", ui::use(r.KOD)), entry("?NAME", "s50", ui::use(r.NAME)),
                button("?OK", "&OK"), button("?CANCEL", "&Закрыть")};
  return d;
}

app::HistoryCopy& firmHistory() {
  thread_local app::HistoryCopy h;
  return h;
}

void firmFormWindow() {
  app::WindowSetup s;
  s.procedureName = "test_form";
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::F_NAME; }};
  s.buttons = {{"?CANCEL", fw::response::kCancelled}};
  app::FormSetup f;
  f.access = []() -> fw::FileManager* { return dict::Access::F_NAME; };
  f.relate = []() -> fw::RelationManager* { return dict::Relate::F_NAME; };
  f.history = firmHistory;
  f.okControl = "?OK";
  f.viewTitle = ansi("Просмотр записи");
  ui::Window window(firmFormDef());
  app::FormPattern thisWindow(window, s, f);
  app::respond(thisWindow);
}

TEST_F(ListsTest, ChangeAndCancelledInsertThroughTheFormPattern) {
  addFirms(3);
  std::vector<std::string> afterChange, afterInsert;
  std::string formName, at;
  then([&](ui::Window& w) { user.doubleClick(w, "?BROWSE:1", 2); });
  then([&](ui::Window& form) {
    formName = cp::toUtf8(trimRight(form.text(2)));
    user.type(form, "?NAME", ansi("Переименована"));
    user.press(form, "?OK");
  });
  then([&](ui::Window& w) {
    afterChange = column(w, 1);
    at = highlighted(w);
    user.press(w, "?INSERT:4");
  });
  then([&](ui::Window& form) { user.close(form); });  // the form gives its number back
  then([&](ui::Window& w) {
    afterInsert = column(w, 1);
    user.press(w, "?CLOSE");
  });
  app::ListSetup ls = firmListSetup({});
  ls.updateForm = firmFormWindow;
  runList(listDef(firmTitle(), ansi(kFirmFormat)),
          listWindowSetup("firm_list", []() -> fw::RelationManager* { return dict::Relate::F_NAME; }), ls);
  EXPECT_EQ(formName, "Фирма 2");
  EXPECT_EQ(afterChange, (std::vector<std::string>{"Фирма 1", "Переименована", "Фирма 3"}));
  EXPECT_EQ(at, "2");
  EXPECT_EQ(afterInsert, afterChange);
  EXPECT_EQ(dict::F_NAME().records(), 3u);
  EXPECT_TRUE(user.finished());
}

// Sets a flag when its thread has ended (thread-local objects go after the thread's end steps).
struct ThreadEnded {
  std::atomic<bool>* flag = nullptr;
  ~ThreadEnded() {
    if (flag) flag->store(true);
  }
};

bool waitFor(const std::atomic<bool>& flag) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!flag && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return flag;
}

TEST_F(ListsTest, AListOnASecondThreadWhileTheMainListStaysUsable) {
  addFirms(3);
  addAccount(1, "50", "касса");
  addAccount(2, "51", "банк");
  addAccount(3, "60", "поставщики");
  dict::PLN_AK = 0;
  std::atomic<bool> ended{false};
  std::atomic<bool> otherThread{false};
  std::string mainAt;
  int mainCode = 0;
  const std::thread::id mainThread = std::this_thread::get_id();
  then([&](ui::Window&) {
    app::START(
        [&] {
          thread_local ThreadEnded mark;
          mark.flag = &ended;
          ListOptions o;
          o.fileLoaded = true;
          runChartList(o, [&](TestList& tw, TestBrowse&) {
            otherThread = tw.win().owner() != mainThread;
            tw.onSelect = [] { dict::PLN_AK = dict::PLN().rec.KOD; };
          });
        },
        50000);
  });
  then([&](ui::Window& a) {
    ui::Window& b = user.window(chartTitle());
    user.selectRow(b, "?BROWSE:1", 2);
    user.selectRow(a, "?BROWSE:1", 3);  // the main list takes input meanwhile
  });
  then([&](ui::Window& a) {
    mainAt = highlighted(a);
    mainCode = dict::F_NAME().rec.KOD;
    user.press(user.window(chartTitle()), "?SELECT:2");
  });
  then([&](ui::Window& a) {
    EXPECT_TRUE(waitFor(ended));
    user.press(a, "?CLOSE");
  });
  std::uint8_t answer = runFirmList();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(otherThread);
  EXPECT_EQ(dict::PLN_AK.load(), 2);
  EXPECT_EQ(mainAt, "3");
  EXPECT_EQ(mainCode, 3);
  EXPECT_EQ(answer, fw::response::kCompleted);
}

}  // namespace
}  // namespace zelk::test
