#include "platform/storage/record.h"
#include "platform/framework/filter.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/core/fields.h"
#include "platform/core/numread.h"
#include "platform/core/text.h"

namespace zelk::fw {
namespace {

using storage::FieldDesc;
using storage::FieldType;

enum class Op : std::uint8_t { Eq, Ne, Lt, Gt, Le, Ge };

enum class Tok : std::uint8_t { End, Number, Text, Name, LParen, RParen, Minus, Not, And, Or, Cmp, Bad };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // a name, a text constant
  double number = 0;
  Op op = Op::Eq;
};

bool nameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool nameChar(unsigned char c) { return nameStart(c) || (c >= '0' && c <= '9') || c == ':'; }

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Token next() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
    Token t;
    if (i_ >= s_.size()) return t;
    unsigned char c = static_cast<unsigned char>(s_[i_]);
    auto two = [&](char a, char b) { return i_ + 1 < s_.size() && s_[i_] == a && s_[i_ + 1] == b; };
    auto cmp = [&](Op op, std::size_t len) {
      t.kind = Tok::Cmp;
      t.op = op;
      i_ += len;
      return t;
    };
    if (two('<', '>') || two('~', '=')) return cmp(Op::Ne, 2);
    if (two('<', '=') || two('=', '<')) return cmp(Op::Le, 2);
    if (two('>', '=') || two('=', '>')) return cmp(Op::Ge, 2);
    switch (c) {
      case '=': return cmp(Op::Eq, 1);
      case '<': return cmp(Op::Lt, 1);
      case '>': return cmp(Op::Gt, 1);
      case '(': ++i_; t.kind = Tok::LParen; return t;
      case ')': ++i_; t.kind = Tok::RParen; return t;
      case '-': ++i_; t.kind = Tok::Minus; return t;
      case '~': ++i_; t.kind = Tok::Not; return t;
      case '\'':
      case '"': return quoted(static_cast<char>(c));
      default: break;
    }
    if ((c >= '0' && c <= '9') || (c == '.' && i_ + 1 < s_.size() && s_[i_ + 1] >= '0' && s_[i_ + 1] <= '9')) {
      std::size_t start = i_;
      while (i_ < s_.size() && ((s_[i_] >= '0' && s_[i_] <= '9') || s_[i_] == '.')) ++i_;
      auto r = std::from_chars(s_.data() + start, s_.data() + i_, t.number);
      t.kind = (r.ec == std::errc() && r.ptr == s_.data() + i_) ? Tok::Number : Tok::Bad;
      return t;
    }
    if (nameStart(c)) {
      std::size_t start = i_;
      while (i_ < s_.size() && nameChar(static_cast<unsigned char>(s_[i_]))) ++i_;
      t.text = std::string(s_.substr(start, i_ - start));
      std::string w = cp::upper(t.text);
      if (w == "AND") t.kind = Tok::And;
      else if (w == "OR") t.kind = Tok::Or;
      else if (w == "NOT") t.kind = Tok::Not;
      else t.kind = Tok::Name;
      return t;
    }
    t.kind = Tok::Bad;
    t.text = std::string(1, static_cast<char>(c));
    ++i_;
    return t;
  }

 private:
  // A quoted text; a doubled quote stands for the quote itself.
  Token quoted(char q) {
    Token t;
    ++i_;
    for (;;) {
      if (i_ >= s_.size()) {
        t.kind = Tok::Bad;
        return t;
      }
      if (s_[i_] == q) {
        if (i_ + 1 < s_.size() && s_[i_ + 1] == q) {
          t.text.push_back(q);
          i_ += 2;
          continue;
        }
        ++i_;
        break;
      }
      t.text.push_back(s_[i_++]);
    }
    t.kind = Tok::Text;
    return t;
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

using storage::fieldNumber;

}  // namespace

struct Filter::Node {
  enum class Kind : std::uint8_t { Number, Text, Field, Variable, Neg, Not, And, Or, Cmp };
  Kind kind = Kind::Number;
  Op op = Op::Eq;
  int a = -1, b = -1;
  double number = 0;
  std::string text;
  BoundName bound;
  mutable std::string scratch;  // a variable's text while it is compared
};

struct Filter::Impl {
  std::vector<Node> nodes;
  int root = -1;

  struct Value {
    bool isText = false;
    double number = 0;
    std::string_view text;
  };

  static double asNumber(const Value& v) { return v.isText ? readDecimalNumber(v.text) : v.number; }
  static bool truth(const Value& v) { return v.isText ? !trimRight(v.text).empty() : v.number != 0; }

  Value eval(int n) const {
    const Node& x = nodes[static_cast<std::size_t>(n)];
    Value v;
    switch (x.kind) {
      case Node::Kind::Number:
        v.number = x.number;
        return v;
      case Node::Kind::Text:
        v.isText = true;
        v.text = x.text;
        return v;
      case Node::Kind::Field: {
        const FieldDesc& f = *x.bound.field;
        if (f.type == FieldType::Text || f.type == FieldType::Memo) {
          v.isText = true;
          v.text = std::string_view(x.bound.buffer + f.offset, f.size);
        } else {
          v.number = fieldNumber(f, x.bound.buffer);
        }
        return v;
      }
      case Node::Kind::Variable:
        if (x.bound.number) {
          v.number = x.bound.number();
        } else {
          x.scratch = x.bound.text();
          v.isText = true;
          v.text = x.scratch;
        }
        return v;
      case Node::Kind::Neg:
        v.number = -asNumber(eval(x.a));
        return v;
      case Node::Kind::Not:
        v.number = truth(eval(x.a)) ? 0 : 1;
        return v;
      case Node::Kind::And:
        v.number = truth(eval(x.a)) && truth(eval(x.b)) ? 1 : 0;
        return v;
      case Node::Kind::Or:
        v.number = truth(eval(x.a)) || truth(eval(x.b)) ? 1 : 0;
        return v;
      case Node::Kind::Cmp: {
        Value l = eval(x.a), r = eval(x.b);
        int c;
        if (l.isText && r.isText) {
          auto o = compareText(l.text, r.text);
          c = o < 0 ? -1 : (o > 0 ? 1 : 0);
        } else {
          double a = asNumber(l), b = asNumber(r);
          c = a < b ? -1 : (a > b ? 1 : 0);
        }
        bool res = false;
        switch (x.op) {
          case Op::Eq: res = c == 0; break;
          case Op::Ne: res = c != 0; break;
          case Op::Lt: res = c < 0; break;
          case Op::Gt: res = c > 0; break;
          case Op::Le: res = c <= 0; break;
          case Op::Ge: res = c >= 0; break;
        }
        v.number = res ? 1 : 0;
        return v;
      }
    }
    return v;
  }
};

namespace {

// Recursive descent over the tokens; every rule leaves the next token in tok_.
class Parser {
 public:
  Parser(std::string_view s, std::vector<Filter::Node>& nodes) : lex_(s), nodes_(nodes) { tok_ = lex_.next(); }

  int parse(Filter::Error& err) {
    int n = orExpr();
    if (n >= 0 && tok_.kind != Tok::End) fail(kBadExpression, "unexpected text after the expression");
    if (error_.code) {
      err = error_;
      return -1;
    }
    return n;
  }

 private:
  using Kind = Filter::Node::Kind;

  int add(Filter::Node n) {
    nodes_.push_back(std::move(n));
    return static_cast<int>(nodes_.size()) - 1;
  }
  int binary(Kind k, int a, int b, Op op = Op::Eq) {
    Filter::Node n;
    n.kind = k;
    n.a = a;
    n.b = b;
    n.op = op;
    return add(std::move(n));
  }
  int fail(int code, std::string text) {
    if (!error_.code) error_ = {code, std::move(text)};
    return -1;
  }

  // operand { op operand }, grouped from the left.
  int chain(Tok op, Kind kind, int (Parser::*operand)()) {
    int a = (this->*operand)();
    while (a >= 0 && tok_.kind == op) {
      tok_ = lex_.next();
      int b = (this->*operand)();
      if (b < 0) return -1;
      a = binary(kind, a, b);
    }
    return a;
  }
  int orExpr() { return chain(Tok::Or, Kind::Or, &Parser::andExpr); }
  int andExpr() { return chain(Tok::And, Kind::And, &Parser::notExpr); }
  int notExpr() {
    if (tok_.kind == Tok::Not) {
      tok_ = lex_.next();
      int a = notExpr();
      return a < 0 ? -1 : binary(Kind::Not, a, -1);
    }
    return cmpExpr();
  }
  int cmpExpr() {
    int a = unary();
    if (a >= 0 && tok_.kind == Tok::Cmp) {
      Op op = tok_.op;
      tok_ = lex_.next();
      int b = unary();
      if (b < 0) return -1;
      a = binary(Kind::Cmp, a, b, op);
    }
    return a;
  }
  int unary() {
    if (tok_.kind == Tok::Minus) {
      tok_ = lex_.next();
      int a = unary();
      return a < 0 ? -1 : binary(Kind::Neg, a, -1);
    }
    return primary();
  }
  int primary() {
    Token t = std::move(tok_);
    tok_ = lex_.next();
    Filter::Node n;
    switch (t.kind) {
      case Tok::Number:
        n.kind = Kind::Number;
        n.number = t.number;
        return add(std::move(n));
      case Tok::Text:
        n.kind = Kind::Text;
        n.text = std::move(t.text);
        return add(std::move(n));
      case Tok::Name: {
        const BoundName* b = findBound(t.text);
        if (!b) return fail(kUnknownName, "unknown name " + t.text);
        n.kind = b->field ? Kind::Field : Kind::Variable;
        n.bound = *b;
        if (n.kind == Kind::Variable && !n.bound.number && !n.bound.text)
          return fail(kUnknownName, "name " + t.text + " has no value");
        return add(std::move(n));
      }
      case Tok::LParen: {
        int a = orExpr();
        if (a < 0) return -1;
        if (tok_.kind != Tok::RParen) return fail(kBadExpression, "missing )");
        tok_ = lex_.next();
        return a;
      }
      case Tok::End:
        return fail(kBadExpression, "the expression ends too early");
      default:
        return fail(kBadExpression, "unexpected " + (t.text.empty() ? std::string("symbol") : t.text));
    }
  }

  Lexer lex_;
  std::vector<Filter::Node>& nodes_;
  Token tok_;
  Filter::Error error_;
};

}  // namespace

Filter::Filter() : impl_(std::make_unique<Impl>()) {}
Filter::~Filter() = default;

std::unique_ptr<Filter> Filter::compile(std::string_view expr, Error* error) {
  std::unique_ptr<Filter> f(new Filter());
  Error err;
  Parser p(expr, f->impl_->nodes);
  f->impl_->root = p.parse(err);
  if (f->impl_->root < 0) {
    if (error) *error = std::move(err);
    return nullptr;
  }
  return f;
}

bool Filter::test() const { return Impl::truth(impl_->eval(impl_->root)); }

}  // namespace zelk::fw
