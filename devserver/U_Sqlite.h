// Small helpers over the SQLite C interface for the server's own statements.
#pragma once

#include <cstdint>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

// A failure of the engine, with its own text.
class ESqliteError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Runs statements that return no rows.
void ExecSql(sqlite3* db, const std::string& sql);

// A prepared statement; binds by position (from 1) and finalizes itself.
class TStatement {
public:
  TStatement(sqlite3* db, const std::string& sql);
  ~TStatement();
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  TStatement& Bind(int i, std::int64_t v);
  TStatement& Bind(int i, int v) { return Bind(i, static_cast<std::int64_t>(v)); }
  TStatement& Bind(int i, double v);
  TStatement& Bind(int i, const std::string& v);
  TStatement& Bind(int i, const char* v) { return Bind(i, std::string(v)); }
  TStatement& BindNull(int i);
  // One step: true while there is a row.
  bool Step();
  // Runs to the end and resets for the next set of values.
  void Run();
  void Reset();
  std::int64_t Int(int col) const { return sqlite3_column_int64(s_, col); }
  double Real(int col) const { return sqlite3_column_double(s_, col); }
  std::string Text(int col) const;
  bool Null(int col) const { return sqlite3_column_type(s_, col) == SQLITE_NULL; }
  sqlite3_stmt* Handle() const { return s_; }

private:
  sqlite3* db_;
  sqlite3_stmt* s_ = nullptr;
};
