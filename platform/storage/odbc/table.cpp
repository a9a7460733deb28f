#include "platform/storage/odbc/table.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/core/hex.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"
#include "platform/storage/odbc/connection.h"
#include "platform/storage/odbc/odbc.h"
#include "platform/storage/odbc/values.h"
#include "platform/storage/sharelock.h"

namespace zelk::storage::odbc {
namespace {

ErrorState make(int code) { return errorOf(code); }

// A parameter: a field, its value taken from a record image.
struct Param {
  int field;
  const char* image;
};

// A prepared statement with its buffers; result columns are bound once.
class Prepared {
 public:
  Prepared() = default;
  Prepared(const Prepared&) = delete;
  Prepared& operator=(const Prepared&) = delete;
  ~Prepared() {
    if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
  }
  SQLHSTMT h = SQL_NULL_HSTMT;
  std::vector<Value> columns;  // every declared field, when the statement reads rows
  std::vector<Value> params;
};

struct OrderCol {
  int field;
  bool descending;
};

// Where a reading goes on from.
struct Anchor {
  enum Kind {
    None,     // the start (NEXT) or the end (PREVIOUS) of the order
    AtValue,  // a key value: NEXT from the first record at or after it, PREVIOUS back from the last at or before
    AtRow,    // a record's place (RESET): NEXT and PREVIOUS read that record first
    OnRow,    // the record last read: NEXT reads the one after it, PREVIOUS the one before
  };
  Kind kind = None;
  std::string image;  // a record holding the values
};

// Whether records follow the last one of a page, as far as known.
enum class More { No, Yes, Unknown };

class OdbcFile final : public Backend {
 public:
  explicit OdbcFile(const FileDecl& decl) : decl_(decl) {}
  ~OdbcFile() override { close(); }

  ErrorState open(const std::string& table, std::uint8_t m);

  ErrorState close() override;
  ErrorState setRecordOrder() override;
  ErrorState setKeyOrder(int key, const char* at) override;
  ErrorState next(char* rec) override {
    return waiting([&] { return nextRow(rec); });
  }
  ErrorState previous(char* rec) override {
    return waiting([&] { return previousRow(rec); });
  }
  ErrorState get(int key, char* rec) override {
    return waiting([&] { return getRow(key, rec); });
  }
  ErrorState add(char* rec) override {
    return waiting([&] { return addRow(rec); });
  }
  ErrorState put(const char* rec) override {
    return waiting([&] { return putRow(rec); });
  }
  ErrorState erase() override {
    return waiting([&] { return eraseRow(); });
  }
  ErrorState flush() override { return {}; }
  ErrorState send(std::string_view, std::string& reply) override {
    reply.clear();
    return {};
  }
  ErrorState lock() override;
  ErrorState unlock() override;
  ErrorState records(std::uint64_t& n) override {
    return waiting([&] { return countRows(n); });
  }
  std::string position() override;
  ErrorState reset(std::string_view position) override;
  ErrorState reget(std::string_view position, char* rec) override;
  void watch() override { watchNext_ = true; }
  bool eof() const override { return eof_; }

 private:
  std::string quoted(std::string_view name) const;
  const std::vector<OrderCol>& orderOf(int key) const {
    return orders_[key < 0 ? decl_.keys.size() : static_cast<std::size_t>(key)];
  }
  const std::vector<OrderCol>& order() const { return orderOf(order_); }
  std::string selectFrom() const { return "SELECT " + columnList_ + " FROM " + table_; }
  std::string orderBy(const std::vector<OrderCol>& o, bool forward) const;
  std::string condition(std::size_t count, bool forward, bool inclusive, const char* image,
                        std::vector<Param>& params) const;
  std::string identityCondition(const char* image, std::vector<Param>& params) const;
  std::string sameValues(const std::vector<int>& fields, const char* image, std::vector<Param>& params) const;
  bool parsePosition(std::string_view p, int& key, std::string& image) const;

  Prepared* prepare(const std::string& sql, bool readsRows, ErrorState& e);
  ErrorState execute(Prepared& st, const std::vector<Param>& params);
  ErrorState readRows(const std::string& sql, const std::vector<Param>& params, std::size_t limit,
                      std::vector<std::string>& rows);
  ErrorState change(const std::string& sql, const std::vector<Param>& params, SQLLEN& affected);
  ErrorState fetch(bool forward, const Anchor& from, std::size_t limit, std::vector<std::string>& rows);
  ErrorState reread(const char* image, bool& found, std::string& row);

  // A statement run again while another connection's lock outlasts the wait and the
  // busy question says to wait again; inside a transaction that the failure undid, not.
  template <class Statement>
  ErrorState waiting(Statement statement) {
    for (;;) {
      ErrorState e = statement();
      if (e.code != kFileLocked || (inTransaction_ && con_.failureEndsTransaction()) || !askToWaitAgain(name_))
        return e;
    }
  }
  ErrorState nextRow(char* rec);
  ErrorState previousRow(char* rec);
  ErrorState getRow(int key, char* rec);
  ErrorState addRow(char* rec);
  ErrorState putRow(const char* rec);
  ErrorState eraseRow();
  ErrorState countRows(std::uint64_t& n);

  void deliver(const std::string& row, char* rec);
  void forgetPage();
  ErrorState endTransaction(bool commit);

  const FileDecl& decl_;
  Connection con_;
  bool writable_ = false;
  bool inTransaction_ = false;
  std::string name_;  // the table as named, for the busy question
  std::string table_;
  std::string columnList_;
  std::vector<std::string> columns_;            // quoted names, one per field
  std::vector<int> identity_;                   // the fields that identify a row
  std::vector<std::vector<OrderCol>> orders_;   // per key; the last is record order
  std::map<std::string, std::unique_ptr<Prepared>> statements_;

  int order_ = -1;  // the key read in; -1 record order
  Anchor anchor_;
  std::vector<std::string> page_;  // rows in the order, around the anchor
  int pos_ = -1;                   // index of the anchor row in page_; -1: page_ follows it
  More moreAfter_ = More::Unknown;
  std::string current_;  // the current record; empty when there is none
  bool eof_ = false;
  bool watchNext_ = false, watched_ = false;
};

std::string OdbcFile::quoted(std::string_view name) const {
  const std::string& q = con_.quote();
  std::string out;
  if (name.find('`') != std::string_view::npos) {
    for (char c : name) {
      if (c == '`') out += q;
      else out += c;
    }
    return out;
  }
  out = q;
  for (char c : name) {
    out += c;
    if (!q.empty() && c == q[0] && q.size() == 1) out += c;
  }
  return out + q;
}

ErrorState OdbcFile::open(const std::string& table, std::uint8_t m) {
  writable_ = (m & mode::kAccessMask) != mode::kRead;
  if (ErrorState e = con_.connect(connectionString()); e.code) return e;

  name_ = table;
  table_ = quoted(table);
  for (const FieldDesc& f : decl_.fields) {
    columns_.push_back(quoted(columnName(f)));
    if (!columnList_.empty()) columnList_ += ", ";
    columnList_ += columns_.back();
  }
  // A row is identified by the primary key, else the first unique key, else all of it.
  const KeyDecl* id = nullptr;
  for (const KeyDecl& k : decl_.keys)
    if (k.attrs & kPrimary) {
      id = &k;
      break;
    }
  if (!id)
    for (const KeyDecl& k : decl_.keys)
      if (k.unique()) {
        id = &k;
        break;
      }
  if (id) {
    for (const KeyComponent& c : id->components) identity_.push_back(c.field);
  } else {
    for (std::size_t i = 0; i < decl_.fields.size(); ++i)
      if (decl_.fields[i].type != FieldType::Memo) identity_.push_back(static_cast<int>(i));
  }
  for (const KeyDecl& k : decl_.keys) {
    std::vector<OrderCol> o;
    for (const KeyComponent& c : k.components) o.push_back({c.field, c.descending});
    if (!k.unique()) {
      // The tie-breaker follows the direction of the key's last component.
      bool desc = o.empty() ? false : o.back().descending;
      for (int f : identity_)
        if (std::none_of(o.begin(), o.end(), [f](const OrderCol& c) { return c.field == f; }))
          o.push_back({f, desc});
    }
    orders_.push_back(std::move(o));
  }
  std::vector<OrderCol> byRecord;
  for (int f : identity_) byRecord.push_back({f, false});
  orders_.push_back(std::move(byRecord));

  // The table, then its columns. Only a missing table is a missing file: a locked,
  // damaged or unreadable database is a driver error with the data source's text.
  ErrorState found = waiting([&] {
    Diag probe;
    ErrorState e = con_.exec("SELECT 1 FROM " + table_ + " WHERE 1 = 0", &probe);
    if (e.code && isMissingTable(probe)) {
      e.code = kFileNotFound;
      e.text = std::string(errorText(kFileNotFound));
    }
    if (e.code == 0) e = con_.exec(selectFrom() + " WHERE 1 = 0");
    return e;
  });
  if (found.code) return found;
  // SQLite takes a quoted name it does not know for a text constant: the catalogue tells.
  std::vector<std::string> have;
  if (con_.columnsOf(table, have)) {
    for (const FieldDesc& f : decl_.fields) {
      std::string want;
      for (char c : columnName(f))
        if (c != '`') want += c;
      if (std::none_of(have.begin(), have.end(), [&](const std::string& h) { return cp::sameAsciiName(h, want); })) {
        ErrorState e = make(kDriverError);
        e.fileText = "column " + want + " not found in table " + table;
        return e;
      }
    }
  }
  return {};
}

ErrorState OdbcFile::close() {
  ErrorState e;
  if (inTransaction_) e = endTransaction(true);
  statements_.clear();
  con_.disconnect();
  return e;
}

std::string OdbcFile::orderBy(const std::vector<OrderCol>& o, bool forward) const {
  std::string s = " ORDER BY ";
  bool first = true;
  for (const OrderCol& c : o) {
    if (!first) s += ", ";
    first = false;
    s += columns_[c.field];
    s += (c.descending == forward) ? " DESC" : " ASC";
  }
  return s;
}

// The records beyond the first `count` order columns of image, in the reading
// direction; inclusive takes in the records with those very values.
std::string OdbcFile::condition(std::size_t count, bool forward, bool inclusive, const char* image,
                                std::vector<Param>& params) const {
  const std::vector<OrderCol>& o = order();
  count = std::min(count, o.size());
  auto op = [&](std::size_t i, bool last) {
    std::string s = (o[i].descending == forward) ? "<" : ">";
    if (last && inclusive) s += "=";
    return s;
  };
  bool same = true;
  for (std::size_t i = 1; i < count; ++i) same = same && o[i].descending == o[0].descending;
  std::string s;
  if (count == 1 || same) {
    std::string cols, marks;
    for (std::size_t i = 0; i < count; ++i) {
      if (i) {
        cols += ", ";
        marks += ", ";
      }
      cols += columns_[o[i].field];
      marks += "?";
      params.push_back({o[i].field, image});
    }
    if (count == 1) return cols + " " + op(0, true) + " ?";
    return "(" + cols + ") " + op(0, true) + " (" + marks + ")";
  }
  for (std::size_t j = 0; j < count; ++j) {
    if (j) s += " OR ";
    s += "(";
    for (std::size_t i = 0; i < j; ++i) {
      s += columns_[o[i].field] + " = ? AND ";
      params.push_back({o[i].field, image});
    }
    s += columns_[o[j].field] + " " + op(j, j + 1 == count) + " ?)";
    params.push_back({o[j].field, image});
  }
  return "(" + s + ")";
}

std::string OdbcFile::identityCondition(const char* image, std::vector<Param>& params) const {
  return sameValues(identity_, image, params);
}

// The records whose fields hold image's values.
std::string OdbcFile::sameValues(const std::vector<int>& fields, const char* image, std::vector<Param>& params) const {
  std::string s;
  for (int f : fields) {
    if (!s.empty()) s += " AND ";
    s += columns_[f] + " = ?";
    params.push_back({f, image});
  }
  return s;
}

Prepared* OdbcFile::prepare(const std::string& sql, bool readsRows, ErrorState& e) {
  auto it = statements_.find(sql);
  if (it != statements_.end()) return it->second.get();
  auto st = std::make_unique<Prepared>();
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, con_.dbc(), &st->h))) {
    st->h = SQL_NULL_HSTMT;
    e = driverError(diagnose(SQL_HANDLE_DBC, con_.dbc()));
    return nullptr;
  }
  std::vector<SQLCHAR> text(sql.begin(), sql.end());
  text.push_back(0);
  if (!SQL_SUCCEEDED(SQLPrepare(st->h, text.data(), SQL_NTS))) {
    e = driverError(diagnose(SQL_HANDLE_STMT, st->h));
    return nullptr;
  }
  if (readsRows) {
    st->columns.reserve(decl_.fields.size());
    for (const FieldDesc& f : decl_.fields) st->columns.emplace_back(f, con_.utf8());
    for (std::size_t i = 0; i < st->columns.size(); ++i) {
      Value& v = st->columns[i];
      if (!SQL_SUCCEEDED(SQLBindCol(st->h, static_cast<SQLUSMALLINT>(i + 1), v.ctype, v.ptr(), v.capacity(), &v.ind))) {
        e = driverError(diagnose(SQL_HANDLE_STMT, st->h));
        return nullptr;
      }
    }
  }
  Prepared* p = st.get();
  statements_.emplace(sql, std::move(st));
  return p;
}

ErrorState OdbcFile::execute(Prepared& st, const std::vector<Param>& params) {
  // A statement's text fixes the fields of its parameters.
  if (st.params.size() != params.size()) {
    st.params.clear();
    st.params.reserve(params.size());
    for (const Param& p : params) st.params.emplace_back(decl_.fields[p.field], con_.utf8());
  }
  for (std::size_t i = 0; i < params.size(); ++i) {
    Value& v = st.params[i];
    fromField(decl_.fields[params[i].field], params[i].image, v);
    SQLRETURN r = SQLBindParameter(st.h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, v.ctype, v.sqltype,
                                   v.columnSize, 0, v.ptr(), v.capacity(), &v.ind);
    if (!SQL_SUCCEEDED(r)) return driverError(diagnose(SQL_HANDLE_STMT, st.h));
  }
  SQLRETURN r = SQLExecute(st.h);
  if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) return writeError(diagnose(SQL_HANDLE_STMT, st.h));
  return {};
}

ErrorState OdbcFile::readRows(const std::string& sql, const std::vector<Param>& params, std::size_t limit,
                              std::vector<std::string>& rows) {
  rows.clear();
  ErrorState e;
  Prepared* st = prepare(sql, true, e);
  if (!st) return e;
  if (e = execute(*st, params); e.code) return e;
  std::string row(decl_.recordSize, '\0');
  while (rows.size() < limit) {
    SQLRETURN r = SQLFetch(st->h);
    if (r == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(r)) {
      e = driverError(diagnose(SQL_HANDLE_STMT, st->h));
      break;
    }
    clearRecord(decl_, row.data());
    for (std::size_t i = 0; i < decl_.fields.size(); ++i) toField(decl_.fields[i], st->columns[i], row.data());
    rows.push_back(row);
  }
  SQLFreeStmt(st->h, SQL_CLOSE);
  return e;
}

ErrorState OdbcFile::change(const std::string& sql, const std::vector<Param>& params, SQLLEN& affected) {
  affected = 0;
  ErrorState e;
  Prepared* st = prepare(sql, false, e);
  if (!st) return e;
  if (e = execute(*st, params); e.code) return e;
  if (!SQL_SUCCEEDED(SQLRowCount(st->h, &affected))) affected = 0;
  SQLFreeStmt(st->h, SQL_CLOSE);
  return {};
}

ErrorState OdbcFile::fetch(bool forward, const Anchor& from, std::size_t limit, std::vector<std::string>& rows) {
  std::vector<Param> params;
  std::string sql = selectFrom();
  const char* image = from.image.data();
  switch (from.kind) {
    case Anchor::None: break;
    case Anchor::AtValue: {
      std::size_t n = decl_.keys[static_cast<std::size_t>(order_)].components.size();
      sql += " WHERE " + condition(n, forward, true, image, params);
      break;
    }
    case Anchor::AtRow: sql += " WHERE " + condition(order().size(), forward, true, image, params); break;
    case Anchor::OnRow: sql += " WHERE " + condition(order().size(), forward, false, image, params); break;
  }
  sql += orderBy(order(), forward) + " LIMIT " + numberText(limit);
  return readRows(sql, params, limit, rows);
}

void OdbcFile::deliver(const std::string& row, char* rec) {
  std::memcpy(rec, row.data(), decl_.recordSize);
  current_ = row;
  watched_ = watchNext_;
  watchNext_ = false;
}

void OdbcFile::forgetPage() {
  page_.clear();
  pos_ = -1;
  moreAfter_ = More::Unknown;
}

ErrorState OdbcFile::setRecordOrder() {
  order_ = -1;
  anchor_ = Anchor{};
  forgetPage();
  eof_ = false;
  return {};
}

ErrorState OdbcFile::setKeyOrder(int key, const char* at) {
  if (key < 0 || static_cast<std::size_t>(key) >= decl_.keys.size()) return make(kInvalidKeyFile);
  order_ = key;
  anchor_ = Anchor{};
  if (at) {
    anchor_.kind = Anchor::AtValue;
    anchor_.image.assign(at, decl_.recordSize);
  }
  forgetPage();
  eof_ = false;
  return {};
}

ErrorState OdbcFile::nextRow(char* rec) {
  if (pos_ + 1 < static_cast<int>(page_.size())) {
    ++pos_;
  } else {
    std::vector<std::string> rows;
    if (ErrorState e = fetch(true, anchor_, kPageRows + 1, rows); e.code) return e;
    if (rows.empty()) {
      eof_ = true;
      return make(kRecordNotAvailable);
    }
    moreAfter_ = rows.size() > static_cast<std::size_t>(kPageRows) ? More::Yes : More::No;
    rows.resize(std::min<std::size_t>(rows.size(), kPageRows));
    page_ = std::move(rows);
    pos_ = 0;
  }
  deliver(page_[static_cast<std::size_t>(pos_)], rec);
  anchor_.kind = Anchor::OnRow;
  anchor_.image = current_;
  eof_ = false;
  if (pos_ + 1 == static_cast<int>(page_.size())) {
    if (moreAfter_ == More::Unknown) {
      // The end of a page read backwards: the next page tells whether this was the last.
      std::vector<std::string> rows;
      if (fetch(true, anchor_, kPageRows + 1, rows).code == 0) {
        moreAfter_ = rows.size() > static_cast<std::size_t>(kPageRows) ? More::Yes : More::No;
        rows.resize(std::min<std::size_t>(rows.size(), kPageRows));
        eof_ = rows.empty();
        page_ = std::move(rows);
        pos_ = -1;
      }
    } else {
      eof_ = moreAfter_ == More::No;
    }
  }
  return {};
}

ErrorState OdbcFile::previousRow(char* rec) {
  if (pos_ >= 1) {
    --pos_;
  } else {
    std::vector<std::string> rows;
    if (ErrorState e = fetch(false, anchor_, kPageRows, rows); e.code) return e;
    if (rows.empty()) {
      eof_ = false;
      return make(kRecordNotAvailable);
    }
    std::reverse(rows.begin(), rows.end());
    moreAfter_ = anchor_.kind == Anchor::None ? More::No : More::Unknown;
    page_ = std::move(rows);
    pos_ = static_cast<int>(page_.size()) - 1;
  }
  deliver(page_[static_cast<std::size_t>(pos_)], rec);
  anchor_.kind = Anchor::OnRow;
  anchor_.image = current_;
  eof_ = false;
  return {};
}

ErrorState OdbcFile::getRow(int key, char* rec) {
  if (key < 0 || static_cast<std::size_t>(key) >= decl_.keys.size()) return make(kInvalidKeyFile);
  const KeyDecl& k = decl_.keys[static_cast<std::size_t>(key)];
  std::vector<Param> params;
  std::string sql = selectFrom() + " WHERE ";
  for (std::size_t i = 0; i < k.components.size(); ++i) {
    if (i) sql += " AND ";
    sql += columns_[k.components[i].field] + " = ?";
    params.push_back({k.components[i].field, rec});
  }
  sql += orderBy(orderOf(key), true) + " LIMIT 1";
  std::vector<std::string> rows;
  if (ErrorState e = readRows(sql, params, 1, rows); e.code) return e;
  if (rows.empty()) return make(kRecordNotFound);
  deliver(rows.front(), rec);
  return {};
}

ErrorState OdbcFile::addRow(char* rec) {
  if (!writable_) return make(kAccessDenied);
  std::vector<Param> params;
  std::string marks;
  for (std::size_t i = 0; i < decl_.fields.size(); ++i) {
    marks += i ? ", ?" : "?";
    params.push_back({static_cast<int>(i), rec});
  }
  SQLLEN affected = 0;
  ErrorState e = change("INSERT INTO " + table_ + " (" + columnList_ + ") VALUES (" + marks + ")", params, affected);
  if (e.code) return e;
  forgetPage();
  current_.assign(rec, decl_.recordSize);
  watched_ = false;
  return {};
}

ErrorState OdbcFile::reread(const char* image, bool& found, std::string& row) {
  std::vector<Param> params;
  std::string sql = selectFrom() + " WHERE " + identityCondition(image, params);
  std::vector<std::string> rows;
  if (ErrorState e = readRows(sql, params, 1, rows); e.code) return e;
  found = !rows.empty();
  if (found) row = std::move(rows.front());
  return {};
}

ErrorState OdbcFile::putRow(const char* rec) {
  if (!writable_) return make(kAccessDenied);
  if (current_.empty()) return make(kRecordNotAvailable);
  const bool watched = watched_;
  const std::string was = current_;
  std::vector<Param> params;
  std::string sql = "UPDATE " + table_ + " SET ";
  for (std::size_t i = 0; i < decl_.fields.size(); ++i) {
    if (i) sql += ", ";
    sql += columns_[i] + " = ?";
    params.push_back({static_cast<int>(i), rec});
  }
  sql += " WHERE " + identityCondition(was.data(), params);

  const bool ownTransaction = watched && !inTransaction_;
  if (ownTransaction) {
    if (ErrorState e = con_.setAutocommit(false); e.code) return e;
    inTransaction_ = true;
  }
  ErrorState e;
  SQLLEN affected = 0;
  if (watched) {
    bool found = false;
    std::string row;
    e = reread(was.data(), found, row);
    if (e.code == 0 && (!found || row != was)) e = make(kRecordChanged);
  }
  if (e.code == 0) e = change(sql, params, affected);
  if (e.code == 0 && affected == 0) e = make(watched ? kRecordChanged : kRecordNotAvailable);
  if (ownTransaction) {
    ErrorState t = endTransaction(e.code == 0);
    if (e.code == 0) e = t;
  }
  if (e.code) return e;
  forgetPage();
  current_.assign(rec, decl_.recordSize);
  watched_ = false;
  return {};
}

ErrorState OdbcFile::eraseRow() {
  if (!writable_) return make(kAccessDenied);
  if (current_.empty()) return make(kRecordNotAvailable);
  std::vector<Param> params;
  const std::string was = current_;
  std::string sql = "DELETE FROM " + table_ + " WHERE " + identityCondition(was.data(), params);
  SQLLEN affected = 0;
  if (ErrorState e = change(sql, params, affected); e.code) return e;
  if (affected == 0) return make(kRecordNotAvailable);
  forgetPage();
  current_.clear();
  watched_ = false;
  return {};
}

ErrorState OdbcFile::lock() {
  if (!writable_) return make(kAccessDenied);
  if (inTransaction_) return {};
  if (ErrorState e = con_.setAutocommit(false); e.code) return e;
  inTransaction_ = true;
  return {};
}

ErrorState OdbcFile::unlock() {
  if (!inTransaction_) return {};
  return endTransaction(true);
}

ErrorState OdbcFile::endTransaction(bool commit) {
  // SQLite keeps a transaction whose commit found the database busy: it commits later.
  ErrorState e = commit ? waiting([&] { return con_.endTransaction(true); }) : con_.endTransaction(false);
  if (e.code && commit) con_.endTransaction(false);
  ErrorState a = con_.setAutocommit(true);
  inTransaction_ = false;
  if (con_.commitDropsStatements()) statements_.clear();
  return e.code ? e : a;
}

ErrorState OdbcFile::countRows(std::uint64_t& n) {
  n = 0;
  ErrorState e;
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, con_.dbc(), &h))) return driverError(diagnose(SQL_HANDLE_DBC, con_.dbc()));
  std::string sql = "SELECT COUNT(*) FROM " + table_;
  std::vector<SQLCHAR> text(sql.begin(), sql.end());
  text.push_back(0);
  SQLBIGINT count = 0;
  SQLLEN ind = 0;
  if (!SQL_SUCCEEDED(SQLExecDirect(h, text.data(), SQL_NTS)) ||
      !SQL_SUCCEEDED(SQLBindCol(h, 1, SQL_C_SBIGINT, &count, sizeof count, &ind)) || !SQL_SUCCEEDED(SQLFetch(h)))
    e = driverError(diagnose(SQL_HANDLE_STMT, h));
  else if (ind != SQL_NULL_DATA && count > 0)
    n = static_cast<std::uint64_t>(count);
  SQLFreeHandle(SQL_HANDLE_STMT, h);
  return e;
}

// "K<key>:" or "R:", then the current record's order fields as hex bytes.
std::string OdbcFile::position() {
  if (current_.empty()) return {};
  std::string out;
  if (order_ < 0) {
    out = "R";
  } else {
    out = "K" + numberText(order_);
  }
  out += ':';
  for (const OrderCol& c : order()) {
    const FieldDesc& f = decl_.fields[c.field];
    appendHex(out, std::string_view(current_).substr(f.offset, f.size));
  }
  return out;
}

// The order a position was taken in, and a record image holding its order fields.
bool OdbcFile::parsePosition(std::string_view p, int& key, std::string& image) const {
  key = -1;
  if (p.size() >= 2 && p[0] == 'R' && p[1] == ':') {
    p.remove_prefix(2);
  } else if (!p.empty() && p[0] == 'K') {
    auto r = std::from_chars(p.data() + 1, p.data() + p.size(), key);
    if (r.ec != std::errc() || r.ptr == p.data() + p.size() || *r.ptr != ':' || key < 0 ||
        static_cast<std::size_t>(key) >= decl_.keys.size())
      return false;
    p.remove_prefix(static_cast<std::size_t>(r.ptr - p.data()) + 1);
  } else {
    return false;
  }
  image.assign(decl_.recordSize, '\0');
  clearRecord(decl_, image.data());
  auto nibble = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::size_t at = 0;
  bool ok = true;
  for (const OrderCol& c : orderOf(key)) {
    const FieldDesc& f = decl_.fields[c.field];
    for (std::size_t i = 0; i < f.size && ok; ++i, at += 2) {
      int hi = at + 1 < p.size() ? nibble(p[at]) : -1;
      int lo = at + 1 < p.size() ? nibble(p[at + 1]) : -1;
      ok = hi >= 0 && lo >= 0;
      if (ok) image[f.offset + i] = static_cast<char>(hi << 4 | lo);
    }
  }
  return ok && at == p.size();
}

ErrorState OdbcFile::reset(std::string_view p) {
  int key = -1;
  std::string image;
  if (!parsePosition(p, key, image)) return make(kRecordNotAvailable);
  order_ = key;
  anchor_.kind = Anchor::AtRow;
  anchor_.image = std::move(image);
  forgetPage();
  eof_ = false;
  return {};
}

// The record whose order fields hold the position's values: the order's fields
// identify one record (a key that allows duplicates is ordered by the identity too).
ErrorState OdbcFile::reget(std::string_view p, char* rec) {
  const bool watch = std::exchange(watchNext_, false);  // a failed re-read watches nothing
  int key = -1;
  std::string image;
  if (!parsePosition(p, key, image)) return make(kRecordNotAvailable);
  current_.clear();
  watched_ = false;
  std::vector<int> fields;
  for (const OrderCol& c : orderOf(key)) fields.push_back(c.field);
  std::vector<Param> params;
  std::vector<std::string> rows;
  if (ErrorState e = readRows(selectFrom() + " WHERE " + sameValues(fields, image.data(), params), params, 1, rows);
      e.code)
    return e;
  if (rows.empty()) return make(kRecordNotAvailable);
  order_ = key;
  forgetPage();
  watchNext_ = watch;
  deliver(rows.front(), rec);
  anchor_.kind = Anchor::OnRow;
  anchor_.image = current_;
  eof_ = false;
  return {};
}

}  // namespace

ErrorState openTable(const FileDecl& decl, const std::string& name, std::uint8_t m, std::unique_ptr<Backend>& out) {
  auto f = std::make_unique<OdbcFile>(decl);
  ErrorState e = f->open(name, m);
  if (e.code == 0) out = std::move(f);
  return e;
}

}  // namespace zelk::storage::odbc
