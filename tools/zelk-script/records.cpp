// The records of the dictionary's files as JSON lines, and the flat JSON objects a
// script compares them with.
#include <charconv>
#include <cmath>
#include <cstring>
#include <thread>

#include "app/startup.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/core/fields.h"
#include "platform/core/hex.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"
#include "tools/zelk-script/runner.h"

namespace zelk::script {
namespace {

template <class F>
auto load(const char* p) {
  F v;
  std::memcpy(static_cast<void*>(&v), p, sizeof v);
  return v;
}

JsonValue number(double d) {
  if (!std::isfinite(d)) return {};
  return {JsonValue::Kind::Number, d, {}};
}

JsonValue text(std::string utf8) { return {JsonValue::Kind::String, 0, std::move(utf8)}; }

std::string padded(int v, int width) {
  std::string s(static_cast<std::size_t>(width), '0');
  for (int i = width - 1; i >= 0 && v > 0; --i, v /= 10) s[static_cast<std::size_t>(i)] = static_cast<char>('0' + v % 10);
  return s;
}

void writeString(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (u < 0x20) {
          out += "\\u00";
          appendHex(out, std::string_view(&c, 1));
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void appendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A reader of one flat JSON object.
class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::optional<JsonObject> object(std::string& error) {
    JsonObject o;
    space();
    if (!eat('{')) return bad(error, "an object starts with {");
    space();
    if (!eat('}')) {
      for (;;) {
        space();
        std::string key;
        if (!string(key)) return bad(error, "a member name in quotes");
        space();
        if (!eat(':')) return bad(error, ": after a member name");
        space();
        JsonValue v;
        if (peek() == '"') {
          v.kind = JsonValue::Kind::String;
          if (!string(v.text)) return bad(error, "a closed string");
        } else if (s_.substr(i_, 4) == "null") {
          i_ += 4;
        } else if (!numberValue(v)) {
          return bad(error, "a string, a number or null");
        }
        o.emplace_back(std::move(key), std::move(v));
        space();
        if (eat(',')) continue;
        if (eat('}')) break;
        return bad(error, ", or }");
      }
    }
    space();
    if (i_ != s_.size()) return bad(error, "nothing after the object");
    return o;
  }

 private:
  std::optional<JsonObject> bad(std::string& error, const char* wanted) {
    error = "expected " + std::string(wanted) + " at character " + numberText(i_ + 1);
    return std::nullopt;
  }
  char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  bool eat(char c) {
    if (peek() != c) return false;
    ++i_;
    return true;
  }
  void space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
  }
  bool hex4(unsigned& v) {
    if (i_ + 4 > s_.size()) return false;
    auto r = std::from_chars(s_.data() + i_, s_.data() + i_ + 4, v, 16);
    if (r.ptr != s_.data() + i_ + 4) return false;
    i_ += 4;
    return true;
  }
  bool string(std::string& out) {
    if (!eat('"')) return false;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned cp = 0;
          if (!hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && s_.substr(i_, 2) == "\\u") {
            i_ += 2;
            unsigned lo = 0;
            if (!hex4(lo)) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          }
          appendUtf8(out, cp);
          break;
        }
        default: return false;
      }
    }
    return false;
  }
  bool numberValue(JsonValue& v) {
    std::size_t start = i_;
    if (peek() == '-') ++i_;
    while (i_ < s_.size() && std::strchr("0123456789.eE+-", s_[i_])) ++i_;
    double d = 0;
    auto r = std::from_chars(s_.data() + start, s_.data() + i_, d);
    if (i_ == start || r.ec != std::errc() || r.ptr != s_.data() + i_) return false;
    v = number(d);
    return true;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

struct DictionaryFile {
  const storage::FileDecl* decl;
  storage::File& (*instance)();
};

const DictionaryFile kFiles[] = {
    {&dict::F_NAME_DECL, [] () -> storage::File& { return dict::F_NAME(); }},
    {&dict::SUBS_CLT_DECL, [] () -> storage::File& { return dict::SUBS_CLT(); }},
    {&dict::PARTNER_DECL, [] () -> storage::File& { return dict::PARTNER(); }},
    {&dict::DBI_DECL, [] () -> storage::File& { return dict::DBI(); }},
    {&dict::ANALIT_DECL, [] () -> storage::File& { return dict::ANALIT(); }},
    {&dict::LVO_DECL, [] () -> storage::File& { return dict::LVO(); }},
    {&dict::PLN_DECL, [] () -> storage::File& { return dict::PLN(); }},
    {&dict::PRT_DECL, [] () -> storage::File& { return dict::PRT(); }},
};

std::string failure(const std::string& what, const storage::File& f) {
  const storage::ErrorState& e = storage::lastError();
  std::string s = what + " " + std::string(f.decl().label) + " (" + cp::toUtf8(f.name()) + "): " + e.text + " (" +
                  numberText(e.code) + ")";
  if (!e.fileText.empty()) s += ": " + cp::toUtf8(e.fileText);
  return s;
}

}  // namespace

JsonObject recordValues(const storage::FileDecl& decl, const char* record) {
  JsonObject o;
  for (const storage::FieldDesc& f : decl.fields) {
    const char* p = record + f.offset;
    JsonValue v;
    switch (f.type) {
      case storage::FieldType::Text:
      case storage::FieldType::Memo:
        v = text(cp::toUtf8(trimRight(std::string_view(p, f.size))));
        break;
      case storage::FieldType::Int16: v = number(load<Int16>(p).get()); break;
      case storage::FieldType::Int32: v = number(load<Int32>(p).get()); break;
      case storage::FieldType::UInt8: v = number(static_cast<unsigned char>(*p)); break;
      case storage::FieldType::Real: v = number(load<Real>(p).get()); break;
      case storage::FieldType::Packed6: v = number(static_cast<double>(load<Packed6>(p).get())); break;
      case storage::FieldType::Date: {
        std::int32_t day = load<DateField>(p).day();
        if (date::valid(day)) {
          date::Ymd d = date::fromDay(day);
          v = text(padded(d.year, 4) + "-" + padded(d.month, 2) + "-" + padded(d.day, 2));
        }
        break;
      }
    }
    o.emplace_back(std::string(decl.prefix) + ":" + std::string(f.name), std::move(v));
  }
  return o;
}

std::string toJson(const JsonObject& o) {
  std::string out = "{";
  for (const auto& [key, v] : o) {
    if (out.size() > 1) out += ',';
    writeString(out, key);
    out += ':';
    switch (v.kind) {
      case JsonValue::Kind::Null: out += "null"; break;
      case JsonValue::Kind::String: writeString(out, v.text); break;
      case JsonValue::Kind::Number: out += numberText(v.number); break;
    }
  }
  return out + "}";
}

std::optional<JsonObject> parseJsonObject(std::string_view text, std::string& error) {
  return Parser(text).object(error);
}

const storage::FileDecl* dictionaryFile(std::string_view label) {
  for (const DictionaryFile& f : kFiles)
    if (cp::sameName(f.decl->label, label)) return f.decl;
  return nullptr;
}

int keyNumber(const storage::FileDecl& decl, std::string_view key) {
  int n = 0;
  auto r = std::from_chars(key.data(), key.data() + key.size(), n);
  if (r.ec == std::errc() && r.ptr == key.data() + key.size())
    return n >= 1 && n <= static_cast<int>(decl.keys.size()) ? n : 0;
  std::size_t colon = key.find(':');
  if (colon != std::string_view::npos) {
    if (!cp::sameName(key.substr(0, colon), decl.prefix)) return 0;
    key.remove_prefix(colon + 1);
  }
  for (std::size_t k = 0; k < decl.keys.size(); ++k)
    if (cp::sameName(decl.keys[k].name, key)) return static_cast<int>(k) + 1;
  return 0;
}

bool readRecords(const storage::FileDecl& decl, int key, std::vector<JsonObject>& out, std::string& error) {
  const DictionaryFile* which = nullptr;
  for (const DictionaryFile& f : kFiles)
    if (f.decl == &decl) which = &f;
  if (!which) {
    error = "not a file of the dictionary";
    return false;
  }
  bool ok = true;
  std::thread reader([&] {
    app::threadStart();
    storage::File& f = which->instance();
    if (f.open(storage::mode::kRead | storage::mode::kDenyNone) != 0) {
      error = failure("cannot open", f);
      ok = false;
    } else {
      int r = key ? f.set(key - 1) : f.set();
      while (r == 0 && (r = f.next()) == 0) out.push_back(recordValues(decl, f.buffer()));
      if (r != storage::kRecordNotAvailable) {
        error = failure("cannot read", f);
        ok = false;
      }
      f.close();
    }
    app::threadEnd();
  });
  reader.join();
  return ok;
}

}  // namespace zelk::script
