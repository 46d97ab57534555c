#include "U_Import.h"

#include "U_Gbk.h"
#include "U_Jet.h"
#include "U_Store.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <regex>
#include <sqlite3.h>
#include <sstream>
#include <unordered_map>

namespace {

const std::regex& ImportPattern() {
  static const std::regex re(
      R"(^\s*Insert\s+InTo\s+(\S+)\s+Select\s+([\s\S]+?)\s+From\s+\[text;Database=([^\]]*)\]\.\[([^\]#]+)#txt\]\s*;?\s*$)",
      std::regex::icase | std::regex::optimize);
  return re;
}

std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  return b == std::string_view::npos ? std::string() : std::string(s.substr(b, e - b + 1));
}

std::string Unbracket(std::string s) {
  if (s.size() >= 2 && s.front() == '[' && s.back() == ']') return s.substr(1, s.size() - 2);
  return s;
}

bool IsPlainName(const std::string& s) {
  if (s.empty()) return false;
  if (s.front() == '[') return s.back() == ']';
  for (unsigned char c : s)
    if (!(c >= 0x80 || std::isalnum(c) || c == '_')) return false;
  return !std::isdigit(static_cast<unsigned char>(s.front()));
}

// Splits a column list on the commas outside quotes and parentheses.
std::vector<std::string> SplitItems(const std::string& list) {
  std::vector<std::string> items;
  std::string cur;
  int depth = 0;
  char quote = 0;
  for (char c : list) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ',' && depth == 0) {
      items.push_back(Trim(cur));
      cur.clear();
      continue;
    }
    cur += c;
  }
  items.push_back(Trim(cur));
  return items;
}

struct TField {
  std::string_view Text;
  bool Quoted = false;
};

// Reads comma-separated records from a buffer it may rewrite in place (doubled quotes).
class TCsvReader {
public:
  explicit TCsvReader(std::string& buf) : b_(buf.data()), n_(buf.size()) {}

  // False at the end of the text. Blank lines are skipped.
  bool Next(std::vector<TField>& row) {
    row.clear();
    while (p_ < n_ && (b_[p_] == '\r' || b_[p_] == '\n')) ++p_;
    if (p_ >= n_) return false;
    ++line_;
    for (;;) {
      TField f;
      if (b_[p_] == '"') {
        f.Quoted = true;
        size_t start = ++p_, w = p_;
        for (;;) {
          if (p_ >= n_) break; // an unclosed quote runs to the end of the text
          char c = b_[p_];
          if (c == '"') {
            if (p_ + 1 < n_ && b_[p_ + 1] == '"') {
              b_[w++] = '"';
              p_ += 2;
              continue;
            }
            ++p_;
            break;
          }
          if (c == '\n') ++line_;
          b_[w++] = c;
          ++p_;
        }
        f.Text = std::string_view(b_ + start, w - start);
        while (p_ < n_ && b_[p_] != ',' && b_[p_] != '\r' && b_[p_] != '\n') ++p_;
      } else {
        size_t start = p_;
        while (p_ < n_ && b_[p_] != ',' && b_[p_] != '\r' && b_[p_] != '\n') ++p_;
        f.Text = std::string_view(b_ + start, p_ - start);
      }
      row.push_back(f);
      if (p_ < n_ && b_[p_] == ',') {
        ++p_;
        continue;
      }
      if (p_ < n_ && b_[p_] == '\r') ++p_;
      if (p_ < n_ && b_[p_] == '\n') ++p_;
      return true;
    }
  }
  int Line() const { return line_; }

private:
  char* b_;
  size_t n_;
  size_t p_ = 0;
  int line_ = 0;
};

struct TTarget {
  std::string Name; // table column
  TFieldType Kind = TFieldType::Text;
  int Source = -1;  // header index, or -1 for an expression
  std::string Expr; // SQLite text of a constant expression
};

bool EqualsNoCase(std::string_view a, const char* b) {
  return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

[[noreturn]] void BadValue(const std::string& sql, int line, const TTarget& t, std::string_view v, const char* what) {
  throw EStoreError("导入失败：第 " + std::to_string(line) + " 行 " + t.Name + " 列的值“" + std::string(v) + "”" + what,
                    sql);
}

std::string QuoteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

} // namespace

bool IsTextImport(std::string_view jetSql) {
  static const char key[] = "[text;";
  if (jetSql.size() < sizeof key) return false;
  for (size_t i = 0; i + sizeof key - 1 <= jetSql.size(); ++i)
    if (strncasecmp(jetSql.data() + i, key, sizeof key - 1) == 0) return true;
  return false;
}

int RunTextImport(TStore& store, const std::string& jetSql) {
  std::smatch m;
  if (!std::regex_match(jetSql, m, ImportPattern()))
    throw EStoreError("文本导入语句的格式不对", jetSql);
  const std::string table = Unbracket(m[1].str());
  const std::string columnList = m[2].str();
  std::string dir = m[3].str();
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  const std::string path = dir + m[4].str() + ".txt";

  std::ifstream in(path, std::ios::binary);
  if (!in) throw EStoreError("找不到导入文件 " + path, jetSql);
  std::ostringstream raw;
  raw << in.rdbuf();
  std::string text = GbkToUtf8(raw.str());

  TCsvReader reader(text);
  std::vector<TField> header;
  if (!reader.Next(header)) throw EStoreError("导入文件是空的: " + path, jetSql);
  std::unordered_map<std::string, int> headerIndex;
  for (size_t i = 0; i < header.size(); ++i) headerIndex.emplace(Trim(header[i].Text), static_cast<int>(i));

  std::unordered_map<std::string, TFieldType> tableKinds;
  for (auto& c : store.Columns(table)) tableKinds.emplace(c.Name, FieldTypeOf(c.Type));
  auto tableColumn = [&](const std::string& name) {
    auto it = tableKinds.find(name);
    if (it == tableKinds.end())
      throw EStoreError("导入失败：表 " + table + " 没有 " + name + " 列", jetSql);
    return it->second;
  };

  std::vector<TTarget> targets;
  for (const std::string& item : SplitItems(columnList)) {
    if (item == "*") {
      for (size_t i = 0; i < header.size(); ++i) {
        std::string name = Trim(header[i].Text);
        targets.push_back({name, tableColumn(name), static_cast<int>(i), {}});
      }
      continue;
    }
    static const std::regex alias(R"(^([\s\S]+?)\s+As\s+(\S+)$)", std::regex::icase);
    std::smatch am;
    std::string expr = item, name;
    if (std::regex_match(item, am, alias)) {
      expr = Trim(am[1].str());
      name = Unbracket(am[2].str());
    }
    if (IsPlainName(expr) && !EqualsNoCase(expr, "Null") && !EqualsNoCase(expr, "True") &&
        !EqualsNoCase(expr, "False")) {
      std::string source = Unbracket(expr);
      auto it = headerIndex.find(source);
      if (it == headerIndex.end()) throw EStoreError("导入失败：导入文件没有 " + source + " 列", jetSql);
      if (name.empty()) name = source;
      targets.push_back({name, tableColumn(name), it->second, {}});
    } else {
      if (name.empty()) throw EStoreError("导入失败：表达式 " + expr + " 没有列名", jetSql);
      targets.push_back({name, tableColumn(name), -1, JetToSqlite(expr)});
    }
  }

  std::string sql = "INSERT INTO " + QuoteName(table) + " (";
  std::string values;
  int param = 0;
  for (size_t i = 0; i < targets.size(); ++i) {
    sql += (i ? "," : "") + QuoteName(targets[i].Name);
    values += i ? "," : "";
    values += targets[i].Source >= 0 ? "?" + std::to_string(++param) : targets[i].Expr;
  }
  sql += ") VALUES (" + values + ")";

  sqlite3* db = store.Handle();
  if (sqlite3_exec(db, "SAVEPOINT jet_import", nullptr, nullptr, nullptr) != SQLITE_OK)
    throw EStoreError(sqlite3_errmsg(db), jetSql);
  sqlite3_stmt* st = nullptr;
  int rows = 0;
  try {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK)
      throw EStoreError(sqlite3_errmsg(db), jetSql);
    std::vector<TField> row;
    while (reader.Next(row)) {
      int line = reader.Line();
      if (row.size() > header.size())
        throw EStoreError("导入失败：第 " + std::to_string(line) + " 行的值比列名多", jetSql);
      int p = 0;
      for (const TTarget& t : targets) {
        if (t.Source < 0) continue;
        ++p;
        TField f = static_cast<size_t>(t.Source) < row.size() ? row[t.Source] : TField{};
        std::string_view v = f.Text;
        int rc;
        if (v.empty() && !(f.Quoted && t.Kind == TFieldType::Text)) {
          rc = sqlite3_bind_null(st, p);
        } else if (t.Kind == TFieldType::Text) {
          rc = sqlite3_bind_text(st, p, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
        } else if (t.Kind == TFieldType::Date) {
          auto d = NormalizeDateText(v);
          if (!d) BadValue(jetSql, line, t, v, "不是日期");
          rc = sqlite3_bind_text(st, p, d->data(), static_cast<int>(d->size()), SQLITE_TRANSIENT);
        } else if (EqualsNoCase(v, "True") || EqualsNoCase(v, "False")) {
          rc = sqlite3_bind_int(st, p, EqualsNoCase(v, "True") ? 1 : 0);
        } else {
          std::int64_t i = 0;
          auto r = std::from_chars(v.data(), v.data() + v.size(), i);
          if (r.ec == std::errc() && r.ptr == v.data() + v.size()) {
            if (t.Kind == TFieldType::Bool) i = i != 0;
            rc = sqlite3_bind_int64(st, p, i);
          } else {
            double d = 0;
            if (!ParseNumber(v, d)) BadValue(jetSql, line, t, v, "不是数字");
            if (t.Kind == TFieldType::Bool) rc = sqlite3_bind_int(st, p, d != 0);
            else if (t.Kind == TFieldType::Integer && d == std::floor(d) && std::fabs(d) < 9e15)
              rc = sqlite3_bind_int64(st, p, static_cast<std::int64_t>(d));
            else rc = sqlite3_bind_double(st, p, d);
          }
        }
        if (rc != SQLITE_OK) throw EStoreError(sqlite3_errmsg(db), jetSql);
      }
      if (sqlite3_step(st) != SQLITE_DONE) throw EStoreError(sqlite3_errmsg(db), jetSql);
      sqlite3_reset(st);
      ++rows;
    }
    sqlite3_finalize(st);
    st = nullptr;
    if (sqlite3_exec(db, "RELEASE jet_import", nullptr, nullptr, nullptr) != SQLITE_OK)
      throw EStoreError(sqlite3_errmsg(db), jetSql);
  } catch (...) {
    sqlite3_finalize(st);
    sqlite3_exec(db, "ROLLBACK TO jet_import", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "RELEASE jet_import", nullptr, nullptr, nullptr);
    throw;
  }
  return rows;
}

int ImportReplyTable(TStore& store, const std::string& programDir, const std::string& table,
                     const std::string& columns, std::string_view reply) {
  size_t end = reply.find_first_of("\r\n");
  if (end == std::string_view::npos) return 0;
  if (reply.find_first_not_of("\r\n", end) == std::string_view::npos) return 0;

  const std::string path = programDir + "SQL.txt";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reply.data(), static_cast<std::streamsize>(reply.size()));
    if (reply.back() != '\n' && reply.back() != '\r') out.write("\r\n", 2);
    if (!out) throw EStoreError("无法写入导入文件 " + path);
  }
  return store.Execute("Insert InTo " + table + " Select " + columns + " From [text;Database=" + programDir +
                       "].[SQL#txt]");
}
