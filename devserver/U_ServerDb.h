// One database of the server: a SQLite file with the server's tables (U_ServerSchema), reached
// through one connection that every caller shares under the database's lock.
//
// Reply tables are built here, in UTF-8 (the wire layer converts them to GBK): a header line of
// column names, then one line per row, every line ending in CR LF, the last one included; values
// separated by commas; text between double quotes with inner double quotes doubled (line breaks
// and commas inside stay as they are); numbers bare in their shortest form (3, 7.5, never 7.0);
// yes/no as True or False; dates as 2014/8/2 10:23:45; Null as nothing.
#pragma once

#include <mutex>
#include <stdexcept>
#include <string>

struct sqlite3;

// A request the server refuses or a statement that failed; the text is what the client gets.
class EServerError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TSeedOptions;

class TServerDb {
public:
  // Opens an existing database file; throws when it is missing or has another layout.
  explicit TServerDb(std::string path);
  ~TServerDb();
  TServerDb(const TServerDb&) = delete;
  TServerDb& operator=(const TServerDb&) = delete;

  // Makes a new database file at path with the seeded demo shop; the file appears whole or not
  // at all.
  static void Create(const std::string& path, const TSeedOptions& seed);

  // Checks a login; returns the new session's token. Refusals throw EServerError with a text
  // that begins with "error".
  std::string Login(const std::string& loginName, const std::string& password);
  bool SessionExists(const std::string& token);
  void Heartbeat(const std::string& token);

  // One Select in the server's dialect -> reply table.
  std::string Query(const std::string& tsql);
  // A batch in the frame of U_TSql's ParseBatch, run in one transaction: "0" when committed;
  // otherwise everything is rolled back and EServerError tells why.
  std::string RunBatch(const std::string& tsql);
  // A new bill number for a type code (SO-20141208-0001); empty for an unknown code.
  std::string NextNumber(const std::string& code);

  // Statements in SQLite's own dialect, for tests and inspection: the reply table of the last
  // statement that returns columns, or "ok <changed rows>".
  std::string RawSql(const std::string& sql);

  void LogRequest(const std::string& session, const std::string& kind, const std::string& request,
                  const std::string& status, const std::string& reply);

  // A stored value of 服务器信息, or empty.
  std::string Info(const std::string& key);

private:
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
};

// The bill type codes the server numbers, with their bill type names.
bool IsKnownBillCode(const std::string& code);
// The next number of a type for a day (yyyymmdd), counted in 单据计数; for the seed and NextNumber.
std::string NumberBill(sqlite3* db, const std::string& code, const std::string& day);
