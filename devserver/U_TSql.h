// The T-SQL the client sends, run on SQLite. The client writes its server statements in the
// server's dialect; TranslateStatement rewrites one statement into SQLite text and the
// functions of U_TSqlFunctions give the rest the T-SQL meaning:
//
//   Select Top N ...            -> Select ... LIMIT N
//   a+b                         -> ts_plus(a,b)  (adds numbers, joins texts, Null stays Null)
//   GetDate()                   -> ts_getdate()
//   DateDiff(d,a,b)             -> ts_datediff('d',a,b)   (also DateAdd)
//   dbo.F_客户价格(s,c,g,0)      -> ts_customer_price(s,c,g,0)
//   Left( Right( Len( IsNull(   -> ts_left( ts_right( ts_len( ifnull(
//   [name], N'text'             -> "name", 'text'
//   unnamed select columns      -> Column1, Column2, ... (outermost select list only)
//   Insert / Update values      -> converted to the declared type of their column (ts_int,
//                                  ts_real, ts_bit, ts_datetime), as SQL Server converts them
//
// An identity column (ID) can be neither inserted nor updated, as with IDENTITY_INSERT off.
// ParseBatch checks the frame of a server batch and returns its statements.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A statement the server does not accept; the text is the reason, in the server's words.
class ETSqlError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TServerColumn {
  std::string Name;
  std::string Type; // declared type: INTEGER, REAL, TEXT, BOOLEAN, DATETIME
};

struct TServerTable {
  std::string Name;
  std::vector<TServerColumn> Columns;
  bool Identity = false; // the first column ID numbers the rows and is never written
  const TServerColumn* Find(std::string_view column) const; // case-insensitive; null when absent
};

// Looks a table up by name (case-insensitive); null when there is none.
class TSchemaLookup {
public:
  virtual ~TSchemaLookup() = default;
  virtual const TServerTable* FindTable(std::string_view name) const = 0;
};

enum class TStatementKind { Select, Insert, Update, Delete };

struct TTranslated {
  TStatementKind Kind;
  std::string Sql; // SQLite text
};

// One statement. Throws ETSqlError for anything outside the subset or more than one statement.
TTranslated TranslateStatement(std::string_view tsql, const TSchemaLookup& schema);

// A batch "Begin Tran <statements> Commit Tran IsError:If @@TranCount>0 Rollback Tran" in which
// every Insert, Update and Delete is followed by "If @@Error>0 GoTo IsError". Returns the
// statements' own texts in order; throws ETSqlError when the frame is not kept.
std::vector<std::string> ParseBatch(std::string_view tsql);
