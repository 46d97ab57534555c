#include "U_Store.h"

#include "U_Import.h"
#include "U_Jet.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

bool IsNull(const TValue& v) { return std::holds_alternative<std::monostate>(v); }

std::string AsText(const TValue& v) {
  if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto d = std::get_if<double>(&v)) return FormatReal(*d);
  if (auto s = std::get_if<std::string>(&v)) return *s;
  return {};
}

double AsReal(const TValue& v) {
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto s = std::get_if<std::string>(&v)) {
    double d = 0;
    if (ParseNumber(*s, d)) return d;
  }
  return 0;
}

std::int64_t AsInt(const TValue& v) {
  if (auto i = std::get_if<std::int64_t>(&v)) return *i;
  return static_cast<std::int64_t>(std::llround(AsReal(v)));
}

int TResult::ColumnIndex(std::string_view name) const {
  for (size_t i = 0; i < Columns.size(); ++i)
    if (Columns[i] == name) return static_cast<int>(i);
  return -1;
}

TFieldType FieldTypeOf(std::string type) {
  for (auto& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  auto has = [&](const char* part) { return type.find(part) != std::string::npos; };
  if (has("BOOL")) return TFieldType::Bool;
  if (has("DATE") || has("TIME")) return TFieldType::Date;
  if (has("INT")) return TFieldType::Integer;
  if (has("REAL") || has("FLOA") || has("DOUB") || has("NUM") || has("DEC") || has("MONEY")) return TFieldType::Real;
  return TFieldType::Text;
}

std::string QuotedStr(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

TStore::TStore(std::string path) : path_(std::move(path)) {}

TStore::~TStore() { Close(); }

void TStore::SetPath(std::string path) {
  Close();
  path_ = std::move(path);
}

void TStore::Open() {
  if (db_) return;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw EStoreError(text + ": " + path_);
  }
  db_ = db;
  try {
    sqlite3_busy_timeout(db_, 5000);
    // Reading the schema is what tells a damaged or foreign file from a store.
    Exec("PRAGMA schema_version");
    RegisterJetFunctions(db_);
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

void TStore::Close() {
  if (!db_) return;
  if (transDepth_ > 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  transDepth_ = 0;
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

sqlite3* TStore::Handle() {
  Open();
  return db_;
}

void TStore::Fail(const std::string& sql) { throw EStoreError(sqlite3_errmsg(db_), sql); }

void TStore::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
}

namespace {

// A prepared statement that finalizes itself.
struct TStmt {
  sqlite3_stmt* s = nullptr;
  ~TStmt() { sqlite3_finalize(s); }
};

void Prepare(sqlite3* db, const std::string& sql, const std::string& jetSql, TStmt& st) {
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st.s, &tail) != SQLITE_OK)
    throw EStoreError(sqlite3_errmsg(db), jetSql);
  if (!st.s) throw EStoreError("空语句", jetSql);
  for (; tail && *tail; ++tail)
    if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';')
      throw EStoreError("一次只能执行一条语句", jetSql);
}

void Bind(sqlite3* db, sqlite3_stmt* s, const TParams& params, const std::string& jetSql) {
  for (const auto& [name, value] : params) {
    int i = sqlite3_bind_parameter_index(s, name.c_str());
    if (i == 0) continue; // a parameter the statement does not use
    int rc = SQLITE_OK;
    if (auto n = std::get_if<std::int64_t>(&value)) rc = sqlite3_bind_int64(s, i, *n);
    else if (auto d = std::get_if<double>(&value)) rc = sqlite3_bind_double(s, i, *d);
    else if (auto t = std::get_if<std::string>(&value))
      rc = sqlite3_bind_text(s, i, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    else rc = sqlite3_bind_null(s, i);
    if (rc != SQLITE_OK) throw EStoreError(sqlite3_errmsg(db), jetSql);
  }
  // A parameter the caller did not give is an error, as it is for the Jet engine.
  for (int i = 1, n = sqlite3_bind_parameter_count(s); i <= n; ++i) {
    const char* pname = sqlite3_bind_parameter_name(s, i);
    bool given = false;
    for (const auto& p : params)
      if (pname && p.first == pname) given = true;
    if (!given) throw EStoreError(std::string("参数没有值: ") + (pname ? pname : "?"), jetSql);
  }
}

TValue ColumnValue(sqlite3_stmt* s, int i) {
  switch (sqlite3_column_type(s, i)) {
  case SQLITE_INTEGER: return static_cast<std::int64_t>(sqlite3_column_int64(s, i));
  case SQLITE_FLOAT: return sqlite3_column_double(s, i);
  case SQLITE_NULL: return std::monostate{};
  default: {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return std::string(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(s, i)));
  }
  }
}

} // namespace

int TStore::Execute(std::string_view jetSql, const TParams& params) {
  Open();
  std::string original(jetSql);
  if (IsTextImport(jetSql)) return RunTextImport(*this, original);
  std::string sql = JetToSqlite(jetSql);
  TStmt st;
  Prepare(db_, sql, original, st);
  Bind(db_, st.s, params, original);
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) Fail(original);
  return sqlite3_stmt_readonly(st.s) ? 0 : static_cast<int>(sqlite3_changes(db_));
}

TResult TStore::Query(std::string_view jetSql, const TParams& params) {
  Open();
  std::string original(jetSql);
  std::string sql = JetToSqlite(jetSql);
  TStmt st;
  Prepare(db_, sql, original, st);
  Bind(db_, st.s, params, original);
  TResult r;
  int n = sqlite3_column_count(st.s);
  for (int i = 0; i < n; ++i) {
    r.Columns.emplace_back(sqlite3_column_name(st.s, i));
    const char* t = sqlite3_column_decltype(st.s, i);
    r.DeclTypes.emplace_back(t ? t : "");
  }
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
    std::vector<TValue> row;
    row.reserve(n);
    for (int i = 0; i < n; ++i) row.push_back(ColumnValue(st.s, i));
    r.Rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) Fail(original);
  return r;
}

std::vector<std::string> TStore::TableNames() {
  TResult r = Query("Select name From sqlite_master Where type='table' and name Not Like 'sqlite%' Order By name");
  std::vector<std::string> names;
  for (auto& row : r.Rows) names.push_back(AsText(row[0]));
  return names;
}

std::vector<TColumnInfo> TStore::Columns(const std::string& table) {
  Open();
  std::string sql = "PRAGMA table_info(" + QuotedStr(table) + ")";
  TStmt st;
  Prepare(db_, sql, sql, st);
  std::vector<TColumnInfo> cols;
  while (sqlite3_step(st.s) == SQLITE_ROW) {
    TColumnInfo c;
    c.Name = reinterpret_cast<const char*>(sqlite3_column_text(st.s, 1));
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st.s, 2));
    c.Type = t ? t : "";
    cols.push_back(std::move(c));
  }
  if (cols.empty()) throw EStoreError("没有这个表: " + table, sql);
  return cols;
}

void TStore::BeginTrans() {
  Open();
  if (transDepth_ == 0) Exec("BEGIN");
  else Exec(("SAVEPOINT t" + std::to_string(transDepth_)).c_str());
  ++transDepth_;
}

void TStore::CommitTrans() {
  if (transDepth_ == 0 || !db_) throw EStoreError("没有打开的事务");
  --transDepth_;
  if (transDepth_ == 0) Exec("COMMIT");
  else Exec(("RELEASE t" + std::to_string(transDepth_)).c_str());
}

void TStore::RollbackTrans() {
  if (transDepth_ == 0 || !db_) throw EStoreError("没有打开的事务");
  --transDepth_;
  if (transDepth_ == 0) Exec("ROLLBACK");
  else {
    std::string name = "t" + std::to_string(transDepth_);
    Exec(("ROLLBACK TO " + name).c_str());
    Exec(("RELEASE " + name).c_str());
  }
}

TTransaction::~TTransaction() {
  if (done_) return;
  try {
    store_.RollbackTrans();
  } catch (...) {
    // The connection may already be gone; nothing is left to undo then.
  }
}

void TTransaction::Commit() {
  store_.CommitTrans();
  done_ = true;
}
