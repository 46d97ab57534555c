#include "U_TSqlFunctions.h"

#include "U_Gbk.h"
#include "U_SqlFunctions.h"

#include "U_Jet.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <stdexcept>

// ---------------------------------------------------------------------------------------------
// Dates

namespace {

struct TMoment {
  int Y, M, D, h, n, s;
};

// Days since 1970-01-01 of a calendar date, and back.
long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
  z += 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::string Stored(const TMoment& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.Y, t.M, t.D, t.h, t.n, t.s);
  return buf;
}

std::optional<TMoment> ParseStored(std::string_view s) {
  TMoment t{};
  if (s.size() != 19 || std::sscanf(std::string(s).c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &t.Y, &t.M, &t.D, &t.h, &t.n, &t.s) != 6)
    return std::nullopt;
  for (size_t i : {4u, 7u})
    if (s[i] != '-') return std::nullopt;
  if (s[10] != ' ' || s[13] != ':' || s[16] != ':') return std::nullopt;
  return t;
}

long long Seconds(const TMoment& t) {
  return DaysFromCivil(t.Y, t.M, t.D) * 86400LL + t.h * 3600 + t.n * 60 + t.s;
}

TMoment FromSeconds(long long secs) {
  long days = static_cast<long>(std::floor(secs / 86400.0));
  long rest = static_cast<long>(secs - days * 86400LL);
  TMoment t{};
  CivilFromDays(days, t.Y, t.M, t.D);
  t.h = static_cast<int>(rest / 3600);
  t.n = static_cast<int>(rest / 60 % 60);
  t.s = static_cast<int>(rest % 60);
  return t;
}

TMoment Now() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return TMoment{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace

std::optional<std::string> StoredDate(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::string("1900-01-01 00:00:00");
  std::string t(text);
  // 20140802 [time]: the unseparated form SQL Server reads in any language.
  if (t.size() >= 8 && t.find_first_not_of("0123456789") >= 8 && (t.size() == 8 || t[8] == ' ' || t[8] == 'T'))
    t = t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + t.substr(8);
  auto norm = NormalizeDateText(t); // "yyyy/mm/dd" or "yyyy/mm/dd hh:nn:ss"
  if (!norm) return std::nullopt;
  std::string s = *norm;
  for (auto& c : s)
    if (c == '/') c = '-';
  if (s.size() == 10) s += " 00:00:00";
  return s;
}

std::optional<std::string> PrintedDate(std::string_view stored) {
  auto t = ParseStored(stored);
  if (!t) return std::nullopt;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d", t->Y, t->M, t->D, t->h, t->n, t->s);
  return std::string(buf);
}

std::string ServerNow() { return Stored(Now()); }

std::string ServerDaysAgo(int days, int hour, int minute, int second) {
  TMoment n = Now();
  TMoment t{};
  CivilFromDays(DaysFromCivil(n.Y, n.M, n.D) - days, t.Y, t.M, t.D);
  t.h = hour;
  t.n = minute;
  t.s = second;
  return Stored(t);
}

// ---------------------------------------------------------------------------------------------
// Functions of the connection

namespace {

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

void Fail(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A date argument: a stored date or any date text the server reads.
std::optional<TMoment> ArgDate(sqlite3_value* v) {
  if (IsNumeric(v)) return std::nullopt;
  auto s = StoredDate(ArgText(v));
  if (!s) return std::nullopt;
  return ParseStored(*s);
}

void FnGetDate(sqlite3_context* ctx, int, sqlite3_value**) { ResultText(ctx, ServerNow()); }

void FnDateDiff(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (IsNull(a[1]) || IsNull(a[2])) return sqlite3_result_null(ctx);
  std::string unit = Lower(ArgText(a[0]));
  auto d0 = ArgDate(a[1]), d1 = ArgDate(a[2]);
  if (!d0 || !d1) return Fail(ctx, "从字符串转换日期和/或时间时，转换失败。");
  long long r;
  long days0 = DaysFromCivil(d0->Y, d0->M, d0->D), days1 = DaysFromCivil(d1->Y, d1->M, d1->D);
  if (unit == "d" || unit == "dd" || unit == "day" || unit == "dy" || unit == "y") r = days1 - days0;
  else if (unit == "m" || unit == "mm" || unit == "month") r = (d1->Y * 12 + d1->M) - (d0->Y * 12 + d0->M);
  else if (unit == "yy" || unit == "yyyy" || unit == "year") r = d1->Y - d0->Y;
  else if (unit == "q" || unit == "qq" || unit == "quarter") r = (d1->Y * 4 + (d1->M - 1) / 3) - (d0->Y * 4 + (d0->M - 1) / 3);
  else if (unit == "wk" || unit == "ww" || unit == "week") // weeks begin on Sunday; 1970-01-04 was one
    r = static_cast<long long>(std::floor((days1 + 4) / 7.0) - std::floor((days0 + 4) / 7.0));
  else if (unit == "hh" || unit == "hour") r = Seconds(*d1) / 3600 - Seconds(*d0) / 3600;
  else if (unit == "mi" || unit == "n" || unit == "minute") r = Seconds(*d1) / 60 - Seconds(*d0) / 60;
  else if (unit == "ss" || unit == "s" || unit == "second") r = Seconds(*d1) - Seconds(*d0);
  else return Fail(ctx, "DateDiff 不认识日期部分 " + unit + "。");
  sqlite3_result_int64(ctx, r);
}

void FnDateAdd(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (IsNull(a[1]) || IsNull(a[2])) return sqlite3_result_null(ctx);
  std::string unit = Lower(ArgText(a[0]));
  long long n = sqlite3_value_int64(a[1]);
  if (n > 10000000 || n < -10000000) return Fail(ctx, "将表达式转换为数据类型 datetime 时出现算术溢出错误。");
  auto d = ArgDate(a[2]);
  if (!d) return Fail(ctx, "从字符串转换日期和/或时间时，转换失败。");
  TMoment t = *d;
  if (unit == "m" || unit == "mm" || unit == "month" || unit == "yy" || unit == "yyyy" || unit == "year") {
    long long months = t.Y * 12LL + (t.M - 1) + (unit[0] == 'm' ? n : n * 12);
    t.Y = static_cast<int>(months / 12);
    t.M = static_cast<int>(months % 12 + 1);
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (t.Y % 4 == 0 && t.Y % 100 != 0) || t.Y % 400 == 0;
    t.D = std::min(t.D, days[t.M - 1] + (t.M == 2 && leap ? 1 : 0));
    return ResultText(ctx, Stored(t));
  }
  long long step;
  if (unit == "d" || unit == "dd" || unit == "day") step = 86400;
  else if (unit == "wk" || unit == "ww" || unit == "week") step = 7 * 86400;
  else if (unit == "hh" || unit == "hour") step = 3600;
  else if (unit == "mi" || unit == "n" || unit == "minute") step = 60;
  else if (unit == "ss" || unit == "s" || unit == "second") step = 1;
  else return Fail(ctx, "DateAdd 不认识日期部分 " + unit + "。");
  ResultText(ctx, Stored(FromSeconds(Seconds(t) + n * step)));
}

void FnDatePart(sqlite3_context* ctx, sqlite3_value* v, int TMoment::*part) {
  if (IsNull(v)) return sqlite3_result_null(ctx);
  auto d = ArgDate(v);
  if (!d) return Fail(ctx, "从字符串转换日期和/或时间时，转换失败。");
  sqlite3_result_int(ctx, (*d).*part);
}
void FnYear(sqlite3_context* ctx, int, sqlite3_value** a) { FnDatePart(ctx, a[0], &TMoment::Y); }
void FnMonth(sqlite3_context* ctx, int, sqlite3_value** a) { FnDatePart(ctx, a[0], &TMoment::M); }
void FnDay(sqlite3_context* ctx, int, sqlite3_value** a) { FnDatePart(ctx, a[0], &TMoment::D); }

// Text as a number for arithmetic; SQL Server refuses a text that is not one.
bool TextNumber(const std::string& s, double& d) { return ParseNumber(s, d); }

void FnPlus(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (IsNull(a[0]) || IsNull(a[1])) return sqlite3_result_null(ctx);
  bool n0 = IsNumeric(a[0]), n1 = IsNumeric(a[1]);
  if (n0 && n1) {
    if (sqlite3_value_type(a[0]) == SQLITE_INTEGER && sqlite3_value_type(a[1]) == SQLITE_INTEGER)
      return sqlite3_result_int64(ctx, sqlite3_value_int64(a[0]) + sqlite3_value_int64(a[1]));
    return sqlite3_result_double(ctx, sqlite3_value_double(a[0]) + sqlite3_value_double(a[1]));
  }
  if (!n0 && !n1) return ResultText(ctx, ArgText(a[0]) + ArgText(a[1]));
  // A number and a text: the text is read as a number, as the number's type wins.
  std::string text = ArgText(n0 ? a[1] : a[0]);
  double d;
  if (!TextNumber(text, d)) return Fail(ctx, "在将 varchar 值 '" + text + "' 转换成数据类型 int 时失败。");
  ResultNumber(ctx, sqlite3_value_double(n0 ? a[0] : a[1]) + d);
}

void FnLeft(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (IsNull(a[0]) || IsNull(a[1])) return sqlite3_result_null(ctx);
  ResultText(ctx, Utf8Left(ArgText(a[0]), std::max(0, sqlite3_value_int(a[1]))));
}

void FnRight(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (IsNull(a[0]) || IsNull(a[1])) return sqlite3_result_null(ctx);
  ResultText(ctx, Utf8Right(ArgText(a[0]), std::max(0, sqlite3_value_int(a[1]))));
}

void FnLen(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (IsNull(a[0])) return sqlite3_result_null(ctx);
  std::string s = ArgText(a[0]);
  while (!s.empty() && s.back() == ' ') s.pop_back(); // Len does not count trailing blanks
  sqlite3_result_int64(ctx, Utf8Length(s));
}

// Conversions of a written value to the declared type of its column.

std::string ColumnPrefix(sqlite3_value* col) { return "列 " + ArgText(col) + "："; }

void FnInt(sqlite3_context* ctx, int, sqlite3_value** a) {
  switch (sqlite3_value_type(a[0])) {
  case SQLITE_NULL: return sqlite3_result_null(ctx);
  case SQLITE_INTEGER: return sqlite3_result_int64(ctx, sqlite3_value_int64(a[0]));
  case SQLITE_FLOAT: {
    double d = std::trunc(sqlite3_value_double(a[0]));
    if (!(std::fabs(d) < 9.2e18)) return Fail(ctx, ColumnPrefix(a[1]) + "将表达式转换为数据类型 int 时出现算术溢出错误。");
    return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
  }
  default: break;
  }
  std::string s = ArgText(a[0]);
  std::string_view t = s;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (t.empty()) return sqlite3_result_int64(ctx, 0);
  if (t.front() == '+') t.remove_prefix(1);
  long long v = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), v);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size())
    return Fail(ctx, ColumnPrefix(a[1]) + "在将 varchar 值 '" + s + "' 转换成数据类型 int 时失败。");
  sqlite3_result_int64(ctx, v);
}

void FnReal(sqlite3_context* ctx, int, sqlite3_value** a) {
  switch (sqlite3_value_type(a[0])) {
  case SQLITE_NULL: return sqlite3_result_null(ctx);
  case SQLITE_INTEGER:
  case SQLITE_FLOAT: return sqlite3_result_double(ctx, sqlite3_value_double(a[0]));
  default: break;
  }
  std::string s = ArgText(a[0]);
  double d;
  if (!TextNumber(s, d)) return Fail(ctx, ColumnPrefix(a[1]) + "从数据类型 varchar 转换为 numeric 时出错（'" + s + "'）。");
  sqlite3_result_double(ctx, d);
}

void FnBit(sqlite3_context* ctx, int, sqlite3_value** a) {
  switch (sqlite3_value_type(a[0])) {
  case SQLITE_NULL: return sqlite3_result_null(ctx);
  case SQLITE_INTEGER:
  case SQLITE_FLOAT: return sqlite3_result_int(ctx, sqlite3_value_double(a[0]) != 0);
  default: break;
  }
  std::string s = ArgText(a[0]);
  std::string t = Lower(s);
  while (!t.empty() && t.front() == ' ') t.erase(0, 1);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  double d;
  if (t == "true") return sqlite3_result_int(ctx, 1);
  if (t == "false") return sqlite3_result_int(ctx, 0);
  if (TextNumber(t, d)) return sqlite3_result_int(ctx, d != 0);
  Fail(ctx, ColumnPrefix(a[1]) + "在将 varchar 值 '" + s + "' 转换成数据类型 bit 时失败。");
}

void FnDateTime(sqlite3_context* ctx, int, sqlite3_value** a) {
  if (IsNull(a[0])) return sqlite3_result_null(ctx);
  if (IsNumeric(a[0])) return Fail(ctx, ColumnPrefix(a[1]) + "不允许从数字到 datetime 的转换，请把日期写成文本。");
  auto s = StoredDate(ArgText(a[0]));
  if (!s) return Fail(ctx, ColumnPrefix(a[1]) + "从字符串转换日期和/或时间时，转换失败（'" + ArgText(a[0]) + "'）。");
  ResultText(ctx, *s);
}

// dbo.F_客户价格(分店, 客户, 商品, 0): the price this customer pays for these goods. The price of
// the customer's price scheme comes first; without one, the last price the store sold the goods
// to the customer at; 0 when neither exists (the client then offers the retail price). The fourth
// argument is reserved and not read.
void FnCustomerPrice(sqlite3_context* ctx, int, sqlite3_value** a) {
  sqlite3* db = sqlite3_context_db_handle(ctx);
  auto one = [&](const char* sql, std::initializer_list<sqlite3_int64> args, double& out) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
      std::string e = sqlite3_errmsg(db);
      sqlite3_finalize(st);
      throw std::runtime_error(e);
    }
    int i = 0;
    for (auto v : args) sqlite3_bind_int64(st, ++i, v);
    int rc = sqlite3_step(st);
    bool found = rc == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL;
    if (found) out = sqlite3_column_double(st, 0);
    std::string e = rc == SQLITE_ROW || rc == SQLITE_DONE ? "" : sqlite3_errmsg(db);
    sqlite3_finalize(st);
    if (!e.empty()) throw std::runtime_error(e);
    return found;
  };
  for (int i = 0; i < 3; ++i)
    if (IsNull(a[i])) return sqlite3_result_null(ctx);
  sqlite3_int64 store = sqlite3_value_int64(a[0]), customer = sqlite3_value_int64(a[1]), goods = sqlite3_value_int64(a[2]);
  try {
    double price = 0;
    if (one("SELECT P.价格 FROM 客户信息 C JOIN 方案价格 P ON P.价格方案ID=C.价格方案ID "
            "WHERE C.ID=?1 AND P.商品ID=?2",
            {customer, goods}, price))
      return ResultNumber(ctx, price);
    if (one("SELECT D.单价 FROM 进销单据 M JOIN 进销单据明细 D ON D.单据编号=M.单据编号 "
            "WHERE M.客户ID=?1 AND M.分店ID=?2 AND D.商品ID=?3 AND M.单据类型='销售单' AND D.单价>0 "
            "AND IFNULL(M.作废人ID,0)=0 ORDER BY M.单据日期 DESC, D.ID DESC LIMIT 1",
            {customer, store, goods}, price))
      return ResultNumber(ctx, price);
    sqlite3_result_int(ctx, 0);
  } catch (const std::exception& e) {
    Fail(ctx, std::string("dbo.F_客户价格: ") + e.what());
  }
}

} // namespace

void RegisterTSqlFunctions(sqlite3* db) {
  struct {
    const char* Name;
    int Args;
    void (*Fn)(sqlite3_context*, int, sqlite3_value**);
    bool Deterministic;
  } const fns[] = {
      {"ts_getdate", 0, FnGetDate, false},  {"ts_datediff", 3, FnDateDiff, false}, {"ts_dateadd", 3, FnDateAdd, true},
      {"ts_year", 1, FnYear, true},         {"ts_month", 1, FnMonth, true},        {"ts_day", 1, FnDay, true},
      {"ts_plus", 2, FnPlus, true},         {"ts_left", 2, FnLeft, true},          {"ts_right", 2, FnRight, true},
      {"ts_len", 1, FnLen, true},           {"ts_int", 2, FnInt, true},            {"ts_real", 2, FnReal, true},
      {"ts_bit", 2, FnBit, true},           {"ts_datetime", 2, FnDateTime, true},
      {"ts_customer_price", 4, FnCustomerPrice, false},
  };
  for (auto& f : fns) {
    int flags = SQLITE_UTF8 | (f.Deterministic ? SQLITE_DETERMINISTIC : 0);
    if (sqlite3_create_function_v2(db, f.Name, f.Args, flags, nullptr, f.Fn, nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db));
  }
}
