#include "U_Sqlite.h"

void ExecSql(sqlite3* db, const std::string& sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string text = err ? err : sqlite3_errmsg(db);
    sqlite3_free(err);
    throw ESqliteError(text);
  }
}

TStatement::TStatement(sqlite3* db, const std::string& sql) : db_(db) {
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s_, nullptr) != SQLITE_OK) {
    std::string text = sqlite3_errmsg(db);
    sqlite3_finalize(s_);
    throw ESqliteError(text + " [" + sql + "]");
  }
}

TStatement::~TStatement() { sqlite3_finalize(s_); }

TStatement& TStatement::Bind(int i, std::int64_t v) {
  sqlite3_bind_int64(s_, i, v);
  return *this;
}

TStatement& TStatement::Bind(int i, double v) {
  sqlite3_bind_double(s_, i, v);
  return *this;
}

TStatement& TStatement::Bind(int i, const std::string& v) {
  sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  return *this;
}

TStatement& TStatement::BindNull(int i) {
  sqlite3_bind_null(s_, i);
  return *this;
}

bool TStatement::Step() {
  int rc = sqlite3_step(s_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  std::string text = sqlite3_errmsg(db_);
  sqlite3_reset(s_);
  throw ESqliteError(text);
}

void TStatement::Run() {
  while (Step()) {
  }
  Reset();
}

void TStatement::Reset() {
  sqlite3_reset(s_);
  sqlite3_clear_bindings(s_);
}

std::string TStatement::Text(int col) const {
  const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s_, col));
  return std::string(t ? t : "", static_cast<size_t>(sqlite3_column_bytes(s_, col)));
}
