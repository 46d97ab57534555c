#include "U_Jet.h"

#include "U_Gbk.h"
#include "U_SqlFunctions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sqlite3.h>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Tokens and the tree of parentheses

namespace {

enum class K { Space, Word, Number, String, Param, Bracket, Op, Comma, Group };

struct TNode {
  K Kind;
  std::string Text;            // for Group: empty; children hold the inside
  std::vector<TNode> Children; // Group only
};

bool IsWordByte(unsigned char c) { return c >= 0x80 || std::isalnum(c) || c == '_'; }

bool WordIs(const TNode& n, const char* w) {
  return n.Kind == K::Word && n.Text.size() == std::strlen(w) && strncasecmp(n.Text.c_str(), w, n.Text.size()) == 0;
}

std::string DateLiteral(std::string_view inside) {
  if (auto d = NormalizeDateText(inside)) return "'" + *d + "'";
  std::string out = "'";
  out += inside; // not a date Jet would read either; let the statement fail or compare as text
  out += "'";
  return out;
}

// Splits into tokens and nests them by parentheses. Unbalanced text is left to SQLite's error.
std::vector<TNode> Tokenize(std::string_view s) {
  std::vector<std::vector<TNode>> stack(1);
  size_t i = 0, n = s.size();
  auto push = [&](K k, std::string t) { stack.back().push_back(TNode{k, std::move(t), {}}); };
  while (i < n) {
    unsigned char c = s[i];
    if (std::isspace(c)) {
      size_t j = i;
      while (j < n && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
      push(K::Space, std::string(s.substr(i, j - i)));
      i = j;
    } else if (c == '\'' || c == '"') {
      size_t j = i + 1;
      while (j < n) {
        if (s[j] == c) {
          if (j + 1 < n && s[j + 1] == c) { j += 2; continue; }
          break;
        }
        ++j;
      }
      std::string body(s.substr(i + 1, std::min(j, n) - i - 1));
      if (c == '"') { // Jet reads double quotes as a text literal too
        std::string t;
        for (size_t k = 0; k < body.size(); ++k) {
          if (body[k] == '"' && k + 1 < body.size() && body[k + 1] == '"') ++k;
          if (body[k] == '\'') t += '\'';
          t += body[k];
        }
        body = t;
      }
      push(K::String, "'" + body + "'");
      i = j + 1;
    } else if (c == '#') {
      size_t j = s.find('#', i + 1);
      if (j == std::string_view::npos) { push(K::Op, "#"); ++i; continue; }
      push(K::String, DateLiteral(s.substr(i + 1, j - i - 1)));
      i = j + 1;
    } else if (c == '[') {
      size_t j = s.find(']', i + 1);
      if (j == std::string_view::npos) j = n - 1;
      push(K::Bracket, "\"" + std::string(s.substr(i + 1, j - i - 1)) + "\"");
      i = j + 1;
    } else if (c == ':' && i + 1 < n && IsWordByte(s[i + 1])) {
      size_t j = i + 1;
      while (j < n && IsWordByte(s[j])) ++j;
      push(K::Param, std::string(s.substr(i, j - i)));
      i = j;
    } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      size_t j = i;
      while (j < n && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      if (j < n && IsWordByte(s[j])) { // a name that starts with digits
        while (j < n && IsWordByte(s[j])) ++j;
        push(K::Word, std::string(s.substr(i, j - i)));
      } else {
        push(K::Number, std::string(s.substr(i, j - i)));
      }
      i = j;
    } else if (IsWordByte(c)) {
      size_t j = i;
      while (j < n && IsWordByte(s[j])) ++j;
      push(K::Word, std::string(s.substr(i, j - i)));
      i = j;
    } else if (c == '(') {
      stack.emplace_back();
      ++i;
    } else if (c == ')') {
      if (stack.size() > 1) {
        TNode g{K::Group, {}, std::move(stack.back())};
        stack.pop_back();
        stack.back().push_back(std::move(g));
      } else {
        push(K::Op, ")");
      }
      ++i;
    } else if (c == ',') {
      push(K::Comma, ",");
      ++i;
    } else {
      std::string op(1, static_cast<char>(c));
      if (i + 1 < n && ((c == '<' && (s[i + 1] == '=' || s[i + 1] == '>')) || (c == '>' && s[i + 1] == '=') ||
                        (c == '!' && s[i + 1] == '=') || (c == '|' && s[i + 1] == '|')))
        op += s[i + 1];
      push(K::Op, op);
      i += op.size();
    }
  }
  while (stack.size() > 1) { // unclosed parenthesis: keep the text as it was
    TNode g{K::Group, {}, std::move(stack.back())};
    stack.pop_back();
    stack.back().push_back(std::move(g));
  }
  return std::move(stack[0]);
}

// ---------------------------------------------------------------------------------------------
// Rewriting

const char* const kRenamed[][2] = {
    {"Left", "jet_left"}, {"Right", "jet_right"}, {"Date", "jet_date"}, {"Now", "jet_now"},
    {"Mid", "substr"},    {"Len", "length"},      {"UCase", "upper"},   {"LCase", "lower"},
};

// Words that end an operand of + and -: the operand never reaches past them.
const char* const kDelimiters[] = {
    "Select", "Distinct", "From",   "Where", "And",    "Or",   "Not",   "As",     "On",    "Like",
    "Between", "In",      "Is",     "Order", "By",     "Group", "Having", "Union", "All",   "Set",
    "Values", "Into",     "Join",   "Left",  "Right",  "Inner", "Outer", "Asc",    "Desc",  "Top",
    "Exists", "Case",     "When",   "Then",  "Else",   "End",  "Insert", "Update", "Delete", "Limit"};

bool IsDelimiter(const TNode& n) {
  if (n.Kind == K::Comma) return true;
  if (n.Kind == K::Op) return n.Text == "=" || n.Text == "<" || n.Text == ">" || n.Text == "<=" ||
                              n.Text == ">=" || n.Text == "<>" || n.Text == "!=" || n.Text == ";";
  if (n.Kind == K::Word)
    for (const char* w : kDelimiters)
      if (WordIs(n, w)) return true;
  return false;
}

bool IsOperand(const TNode& n) {
  return n.Kind == K::Word || n.Kind == K::Number || n.Kind == K::String || n.Kind == K::Param ||
         n.Kind == K::Bracket || n.Kind == K::Group;
}

std::string Emit(const std::vector<TNode>& nodes);

std::string EmitNode(const TNode& n) {
  if (n.Kind == K::Group) return "(" + Emit(n.Children) + ")";
  return n.Text;
}

// The nodes as they stand; only the groups inside are rewritten.
std::string EmitPlain(const std::vector<TNode>& nodes) {
  std::string out;
  for (auto& n : nodes) out += EmitNode(n);
  return out;
}

std::string Trimmed(std::string s) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool IsDateTerm(const std::vector<TNode>& term) {
  std::vector<const TNode*> t;
  for (auto& n : term)
    if (n.Kind != K::Space) t.push_back(&n);
  if (t.size() == 2 && t[0]->Kind == K::Word && (t[0]->Text == "jet_date" || t[0]->Text == "jet_now") &&
      t[1]->Kind == K::Group)
    return true;
  return t.size() == 1 && t[0]->Kind == K::String && NormalizeDateText(t[0]->Text.substr(1, t[0]->Text.size() - 2));
}

// One operand run between delimiters: rewrites its binary + and date - as function calls,
// keeping the left-to-right order of Jet.
std::string EmitSegment(const std::vector<TNode>& seg) {
  std::vector<std::vector<TNode>> terms(1);
  std::vector<std::string> ops;
  const TNode* last = nullptr;
  for (const TNode& n : seg) {
    bool binary = n.Kind == K::Op && (n.Text == "+" || n.Text == "-") && last && IsOperand(*last);
    if (binary) {
      ops.push_back(n.Text);
      terms.emplace_back();
    } else {
      terms.back().push_back(n);
    }
    if (n.Kind != K::Space) last = &n;
  }
  bool rewrite = false;
  for (size_t i = 0; i < ops.size(); ++i)
    if (ops[i] == "+" || IsDateTerm(terms[i]) || IsDateTerm(terms[i + 1])) rewrite = true;
  if (!rewrite) return EmitPlain(seg);

  // Keep the blanks around the run so that "Where" and the run do not touch.
  std::string lead, trail;
  for (auto& n : terms.front()) {
    if (n.Kind != K::Space) break;
    lead += n.Text;
  }
  for (auto it = terms.back().rbegin(); it != terms.back().rend() && it->Kind == K::Space; ++it)
    trail = it->Text + trail;

  std::string acc = Trimmed(EmitPlain(terms[0]));
  bool accDate = IsDateTerm(terms[0]);
  for (size_t i = 0; i < ops.size(); ++i) {
    std::string rhs = Trimmed(EmitPlain(terms[i + 1]));
    bool rhsDate = IsDateTerm(terms[i + 1]);
    if (ops[i] == "+") acc = "jet_plus(" + acc + "," + rhs + ")";
    else if (accDate || rhsDate) acc = "jet_minus(" + acc + "," + rhs + ")";
    else acc = "(" + acc + "-" + rhs + ")";
    accDate = false;
  }
  return lead + acc + trail;
}

// Rewrites one level (the inside of a pair of parentheses, or the whole statement).
std::string Emit(const std::vector<TNode>& in) {
  // Select [Distinct] Top N: drop the Top and limit the rows at the end of this level.
  std::vector<TNode> nodes;
  std::string limit;
  for (size_t i = 0; i < in.size(); ++i) {
    if (WordIs(in[i], "Top") && i + 2 < in.size() && in[i + 1].Kind == K::Space && in[i + 2].Kind == K::Number) {
      limit = in[i + 2].Text;
      i += 2;
      if (i + 1 < in.size() && in[i + 1].Kind == K::Space) ++i;
      continue;
    }
    nodes.push_back(in[i]);
  }

  std::string out;
  size_t unionAt = std::string::npos, orderAt = std::string::npos;
  std::vector<TNode> seg;
  auto flush = [&] {
    if (!seg.empty()) out += EmitSegment(seg);
    seg.clear();
  };
  for (auto& n : nodes) {
    if (IsDelimiter(n)) {
      flush();
      if (WordIs(n, "Union") && unionAt == std::string::npos) unionAt = out.size();
      if (WordIs(n, "Order") && unionAt != std::string::npos) orderAt = out.size();
      out += n.Text;
    } else {
      seg.push_back(n);
    }
  }
  flush();
  // A Union's own Order By stays outside what the limit of its first member wraps.
  std::string body = out, order;
  if (orderAt != std::string::npos) {
    body = out.substr(0, orderAt);
    order = out.substr(orderAt);
  }
  if (!limit.empty() && unionAt != std::string::npos) {
    // Jet limits only the first member; SQLite's LIMIT would cut the whole compound.
    body = "Select * From (" + Trimmed(body.substr(0, unionAt)) + " LIMIT " + limit + ") " + body.substr(unionAt);
  }
  if (!order.empty()) {
    // Jet sorts a Union by the names of its result; SQLite would look them up in the tables
    // of the first member, where a name both tables have is ambiguous.
    return "Select * From (" + Trimmed(body) + ") " + order;
  }
  if (limit.empty() || unionAt != std::string::npos) return body;
  size_t e = body.find_last_not_of(" \t\r\n;");
  return body.substr(0, e + 1) + " LIMIT " + limit;
}

void RenameTokens(std::vector<TNode>& nodes) {
  for (size_t i = 0; i < nodes.size(); ++i) {
    TNode& n = nodes[i];
    if (n.Kind == K::Group) {
      RenameTokens(n.Children);
      continue;
    }
    if (n.Kind != K::Word) continue;
    bool afterDot = i > 0 && nodes[i - 1].Kind == K::Op && nodes[i - 1].Text == ".";
    bool call = i + 1 < nodes.size() && nodes[i + 1].Kind == K::Group;
    if (afterDot) continue;
    if (call) {
      for (auto& r : kRenamed)
        if (WordIs(n, r[0])) n.Text = r[1];
    } else if (WordIs(n, "True")) {
      n = TNode{K::Number, "1", {}};
    } else if (WordIs(n, "False")) {
      n = TNode{K::Number, "0", {}};
    }
  }
}

} // namespace

std::string JetToSqlite(std::string_view jet) {
  std::vector<TNode> nodes = Tokenize(jet);
  RenameTokens(nodes);
  return Emit(nodes);
}

// ---------------------------------------------------------------------------------------------
// Dates and numbers

namespace {

struct TDateTime {
  int Y = 0, M = 0, D = 0, h = 0, n = 0, s = 0;
  bool HasTime = false;
};

bool ReadInt(std::string_view t, size_t& i, int maxDigits, int& out) {
  size_t start = i;
  out = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && i - start < static_cast<size_t>(maxDigits))
    out = out * 10 + (t[i++] - '0');
  return i > start;
}

bool DaysInRange(int y, int m, int d) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1) return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

std::optional<TDateTime> ParseDate(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  TDateTime r;
  size_t i = 0;
  if (!ReadInt(t, i, 4, r.Y) || i != 4) return std::nullopt;
  if (i >= t.size() || (t[i] != '/' && t[i] != '-')) return std::nullopt;
  char sep = t[i++];
  if (!ReadInt(t, i, 2, r.M) || i >= t.size() || t[i] != sep) return std::nullopt;
  ++i;
  if (!ReadInt(t, i, 2, r.D)) return std::nullopt;
  if (!DaysInRange(r.Y, r.M, r.D)) return std::nullopt;
  if (i == t.size()) return r;
  if (t[i] != ' ' && t[i] != 'T') return std::nullopt;
  while (i < t.size() && (t[i] == ' ' || t[i] == 'T')) ++i;
  if (!ReadInt(t, i, 2, r.h) || i >= t.size() || t[i] != ':') return std::nullopt;
  ++i;
  if (!ReadInt(t, i, 2, r.n)) return std::nullopt;
  if (i < t.size() && t[i] == ':') {
    ++i;
    if (!ReadInt(t, i, 2, r.s)) return std::nullopt;
    if (i < t.size() && t[i] == '.') { // fractions of a second are dropped
      ++i;
      while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
    }
  }
  if (i != t.size() || r.h > 23 || r.n > 59 || r.s > 59) return std::nullopt;
  r.HasTime = r.h || r.n || r.s;
  return r;
}

std::string FormatDate(const TDateTime& d) {
  char buf[32];
  if (d.HasTime)
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", d.Y, d.M, d.D, d.h, d.n, d.s);
  else
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", d.Y, d.M, d.D);
  return buf;
}

// Days since a fixed origin, for differences only.
long DayNumber(int y, int m, int d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

double Serial(const TDateTime& d) { return DayNumber(d.Y, d.M, d.D) + (d.h * 3600 + d.n * 60 + d.s) / 86400.0; }

std::mutex gClockMutex;
TJetClock gClock;

std::string NowText() {
  {
    std::lock_guard lock(gClockMutex);
    if (gClock) return gClock();
  }
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
  return buf;
}

} // namespace

std::optional<std::string> NormalizeDateText(std::string_view text) {
  auto d = ParseDate(text);
  if (!d) return std::nullopt;
  return FormatDate(*d);
}

std::string FormatReal(double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", d);
    return std::string(buf) == "-0" ? "0" : buf;
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, r.ptr);
}

bool ParseNumber(std::string_view t, double& out) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  auto r = std::from_chars(t.data(), t.data() + t.size(), out);
  return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

void SetJetClock(TJetClock clock) {
  std::lock_guard lock(gClockMutex);
  gClock = std::move(clock);
}

// ---------------------------------------------------------------------------------------------
// Functions of the connection

namespace {



void FnLeft(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (sqlite3_value_type(a[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, Utf8Left(ArgText(a[0]), std::max<long>(0, sqlite3_value_int(a[1]))));
}

void FnRight(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (sqlite3_value_type(a[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, Utf8Right(ArgText(a[0]), std::max<long>(0, sqlite3_value_int(a[1]))));
}

void FnPlus(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (sqlite3_value_type(a[0]) == SQLITE_NULL || sqlite3_value_type(a[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  bool n0 = IsNumeric(a[0]), n1 = IsNumeric(a[1]);
  if (n0 && n1) {
    if (sqlite3_value_type(a[0]) == SQLITE_INTEGER && sqlite3_value_type(a[1]) == SQLITE_INTEGER)
      return sqlite3_result_int64(ctx, sqlite3_value_int64(a[0]) + sqlite3_value_int64(a[1]));
    return sqlite3_result_double(ctx, sqlite3_value_double(a[0]) + sqlite3_value_double(a[1]));
  }
  // A number and a text that reads as a number are added; otherwise the texts are joined.
  double x, y;
  if ((n0 || n1) && ParseNumber(ArgText(a[0]), x) && ParseNumber(ArgText(a[1]), y)) return ResultNumber(ctx, x + y);
  ResultText(ctx, ArgText(a[0]) + ArgText(a[1]));
}

void FnMinus(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (sqlite3_value_type(a[0]) == SQLITE_NULL || sqlite3_value_type(a[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  auto d0 = IsNumeric(a[0]) ? std::nullopt : ParseDate(ArgText(a[0]));
  auto d1 = IsNumeric(a[1]) ? std::nullopt : ParseDate(ArgText(a[1]));
  if (d0 && d1) return ResultNumber(ctx, Serial(*d0) - Serial(*d1));
  if (d0 && IsNumeric(a[1])) { // a date less a number of days is a date
    double s = Serial(*d0) - sqlite3_value_double(a[1]);
    long day = static_cast<long>(std::floor(s));
    // Back from a day number to a calendar date.
    long z = day, era = (z >= 0 ? z : z - 146096) / 146097, doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365, doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153, d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
    long y = yoe + era * 400 + (m <= 2);
    long secs = std::lround((s - day) * 86400);
    TDateTime r{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d), static_cast<int>(secs / 3600),
                static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60), secs != 0};
    return ResultText(ctx, FormatDate(r));
  }
  sqlite3_result_double(ctx, sqlite3_value_double(a[0]) - sqlite3_value_double(a[1]));
}

void FnDate(sqlite3_context* ctx, int, sqlite3_value**) { ResultText(ctx, NowText().substr(0, 10)); }
void FnNow(sqlite3_context* ctx, int, sqlite3_value**) { ResultText(ctx, NowText()); }

void FnCstr(sqlite3_context* ctx, int, sqlite3_value** a) {
  switch (sqlite3_value_type(a[0])) {
  case SQLITE_NULL: return sqlite3_result_null(ctx);
  case SQLITE_INTEGER: return ResultText(ctx, std::to_string(sqlite3_value_int64(a[0])));
  case SQLITE_FLOAT: return ResultText(ctx, FormatReal(sqlite3_value_double(a[0])));
  default: return ResultText(ctx, ArgText(a[0]));
  }
}

void FnDateDiff(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (sqlite3_value_type(a[1]) == SQLITE_NULL || sqlite3_value_type(a[2]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::string unit = ArgText(a[0]);
  for (auto& c : unit) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto d0 = ParseDate(ArgText(a[1])), d1 = ParseDate(ArgText(a[2]));
  if (!d0 || !d1) {
    std::string msg = "DateDiff: 不是日期: " + (d0 ? ArgText(a[2]) : ArgText(a[1]));
    return sqlite3_result_error(ctx, msg.c_str(), -1);
  }
  long r;
  if (unit == "d" || unit == "y" || unit == "w") r = DayNumber(d1->Y, d1->M, d1->D) - DayNumber(d0->Y, d0->M, d0->D);
  else if (unit == "ww") r = (DayNumber(d1->Y, d1->M, d1->D) - DayNumber(d0->Y, d0->M, d0->D)) / 7;
  else if (unit == "m") r = (d1->Y * 12 + d1->M) - (d0->Y * 12 + d0->M);
  else if (unit == "q") r = (d1->Y * 4 + (d1->M - 1) / 3) - (d0->Y * 4 + (d0->M - 1) / 3);
  else if (unit == "yyyy") r = d1->Y - d0->Y;
  else if (unit == "h") r = static_cast<long>(std::floor(Serial(*d1) * 24 + 1e-9) - std::floor(Serial(*d0) * 24 + 1e-9));
  else if (unit == "n") r = static_cast<long>(std::floor(Serial(*d1) * 1440 + 1e-9) - std::floor(Serial(*d0) * 1440 + 1e-9));
  else if (unit == "s") r = std::lround((Serial(*d1) - Serial(*d0)) * 86400);
  else return sqlite3_result_error(ctx, ("DateDiff: 不认识的间隔 " + unit).c_str(), -1);
  sqlite3_result_int64(ctx, r);
}

} // namespace

void RegisterJetFunctions(sqlite3* db) {
  struct {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
  } const fns[] = {
      {"jet_left", 2, FnLeft, true},   {"jet_right", 2, FnRight, true}, {"jet_plus", 2, FnPlus, true},
      {"jet_minus", 2, FnMinus, true}, {"jet_date", 0, FnDate, false},  {"jet_now", 0, FnNow, false},
      {"Cstr", 1, FnCstr, true},       {"DateDiff", 3, FnDateDiff, false},
  };
  for (auto& f : fns) {
    int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
    if (sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db));
  }
}
