// The local store: one SQLite file (WebC.db) reached through a connection that opens itself
// on the first statement and is closed by the caller after each operation. Statements are
// written in the Jet dialect and translated on their way in (U_Jet).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;

// Every failure of the store, carrying the engine's own text.
class EStoreError : public std::runtime_error {
public:
  explicit EStoreError(const std::string& text, std::string sql = {})
      : std::runtime_error(text), sql_(std::move(sql)) {}
  // The statement that failed, as the caller wrote it (empty when none).
  const std::string& Sql() const { return sql_; }

private:
  std::string sql_;
};

// A stored value: Null, a whole number, a real number or UTF-8 text.
using TValue = std::variant<std::monostate, std::int64_t, double, std::string>;

bool IsNull(const TValue& v);
// Text form of a value: Null is empty, numbers in their shortest form.
std::string AsText(const TValue& v);
// Numeric form: Null and non-numeric text are 0.
double AsReal(const TValue& v);
std::int64_t AsInt(const TValue& v);

using TParams = std::vector<std::pair<std::string, TValue>>; // ":RID" -> value

struct TResult {
  std::vector<std::string> Columns;
  std::vector<std::string> DeclTypes; // declared type of each column; empty for expressions
  std::vector<std::vector<TValue>> Rows;
  int ColumnIndex(std::string_view name) const; // -1 when absent
};

// How a column's values are stored, from its declared type (see mkstore's layout).
enum class TFieldType { Integer, Real, Text, Bool, Date };
TFieldType FieldTypeOf(std::string declType);

struct TColumnInfo {
  std::string Name;
  std::string Type; // declared type, as written by mkstore
};

// A text value as a SQL literal: between single quotes, every single quote doubled.
std::string QuotedStr(std::string_view text);

class TStore {
public:
  TStore() = default;
  explicit TStore(std::string path);
  ~TStore();
  TStore(const TStore&) = delete;
  TStore& operator=(const TStore&) = delete;

  void SetPath(std::string path); // closes an open connection
  const std::string& Path() const { return path_; }

  void Open(); // nothing when open already; throws EStoreError
  void Close(); // an unfinished transaction is rolled back
  bool Connected() const { return db_ != nullptr; }

  // Runs one statement and returns the number of rows it inserted, changed or deleted.
  int Execute(std::string_view jetSql, const TParams& params = {});
  // Runs one Select and returns all its rows.
  TResult Query(std::string_view jetSql, const TParams& params = {});

  // User tables in name order (byte order of their UTF-8 names).
  std::vector<std::string> TableNames();
  std::vector<TColumnInfo> Columns(const std::string& table);

  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const { return transDepth_ > 0; }

  // The raw connection, opened when needed; for the routines of this folder.
  sqlite3* Handle();

private:
  void Exec(const char* sql); // plain SQLite text, no translation
  [[noreturn]] void Fail(const std::string& sql);

  std::string path_;
  sqlite3* db_ = nullptr;
  int transDepth_ = 0;
};

// Rolls back unless Commit() is called.
class TTransaction {
public:
  explicit TTransaction(TStore& store) : store_(store) { store_.BeginTrans(); }
  ~TTransaction();
  void Commit();
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;

private:
  TStore& store_;
  bool done_ = false;
};

// Closes the connection when an operation ends, however it ends.
class TOperation {
public:
  explicit TOperation(TStore& store) : store_(store) {}
  ~TOperation() { store_.Close(); }
  TOperation(const TOperation&) = delete;
  TOperation& operator=(const TOperation&) = delete;

private:
  TStore& store_;
};
