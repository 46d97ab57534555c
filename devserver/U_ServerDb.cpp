#include "U_ServerDb.h"

#include "U_Jet.h"
#include "U_ServerPassword.h"
#include "U_Seed.h"
#include "U_ServerSchema.h"
#include "U_Sqlite.h"
#include "U_Store.h"
#include "U_TSql.h"
#include "U_TSqlFunctions.h"

#include <cstdio>
#include <filesystem>

namespace {

// SQLite's words for the usual faults, in the words of the server the client was written for.
std::string ServerText(const std::string& msg) {
  auto after = [&](const char* prefix, std::string& rest) {
    size_t n = std::char_traits<char>::length(prefix);
    if (msg.compare(0, n, prefix) != 0) return false;
    rest = msg.substr(n);
    return true;
  };
  std::string rest;
  if (after("no such column: ", rest)) return "列名 '" + rest + "' 无效。";
  if (after("no such table: ", rest)) return "对象名 '" + rest + "' 无效。";
  if (after("ambiguous column name: ", rest)) return "列名 '" + rest + "' 不明确。";
  if (after("UNIQUE constraint failed: ", rest)) return "违反了 UNIQUE KEY 约束（" + rest + "），不能插入重复键。";
  if (after("near ", rest)) {
    size_t colon = rest.rfind(": syntax error");
    if (colon != std::string::npos) {
      std::string near = rest.substr(0, colon);
      if (near.size() >= 2 && near.front() == '"' && near.back() == '"') near = "'" + near.substr(1, near.size() - 2) + "'";
      return near + " 附近有语法错误。";
    }
  }
  size_t named = msg.find(" has no column named ");
  if (named != std::string::npos) return "列名 '" + msg.substr(named + 21) + "' 无效。";
  return msg;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// The reply table of a prepared statement, stepping it to the end.
std::string ReplyTable(sqlite3* db, sqlite3_stmt* st) {
  int n = sqlite3_column_count(st);
  std::vector<int> kind(n); // 0 untyped, else 1 + TFieldType
  std::string out;
  for (int i = 0; i < n; ++i) {
    const char* decl = sqlite3_column_decltype(st, i);
    kind[i] = decl ? 1 + static_cast<int>(FieldTypeOf(decl)) : 0;
    out += (i ? "," : "") + std::string(sqlite3_column_name(st, i));
  }
  out += "\r\n";
  const int boolKind = 1 + static_cast<int>(TFieldType::Bool), dateKind = 1 + static_cast<int>(TFieldType::Date);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int i = 0; i < n; ++i) {
      if (i) out += ',';
      int type = sqlite3_column_type(st, i);
      if (type == SQLITE_NULL) continue;
      const auto* raw = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      std::string text(raw ? raw : "", static_cast<size_t>(sqlite3_column_bytes(st, i)));
      if (kind[i] == boolKind) {
        bool yes = type == SQLITE_TEXT ? (text == "True" || text == "true" || text == "1") : sqlite3_column_double(st, i) != 0;
        out += yes ? "True" : "False";
      } else if (type == SQLITE_INTEGER) {
        out += std::to_string(sqlite3_column_int64(st, i));
      } else if (type == SQLITE_FLOAT) {
        out += FormatReal(sqlite3_column_double(st, i));
      } else if (auto date = (kind[i] == dateKind || kind[i] == 0) ? PrintedDate(text) : std::nullopt) {
        out += *date; // a date column, or an expression that gives a date such as GetDate()
      } else {
        out += Quoted(text);
      }
    }
    out += "\r\n";
  }
  if (rc != SQLITE_DONE) throw ESqliteError(sqlite3_errmsg(db));
  return out;
}

struct TPrepared {
  sqlite3_stmt* S = nullptr;
  ~TPrepared() { sqlite3_finalize(S); }
};

void Prepare(sqlite3* db, const std::string& sql, TPrepared& p) {
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &p.S, nullptr) != SQLITE_OK)
    throw ESqliteError(sqlite3_errmsg(db));
}

std::string Today() {
  std::string now = ServerNow();
  return now.substr(0, 4) + now.substr(5, 2) + now.substr(8, 2);
}

} // namespace

bool IsKnownBillCode(const std::string& code) {
  for (const char* c : {"IO", "IB", "SO", "SB", "PG", "SK", "FK"})
    if (code == c) return true;
  return false;
}

std::string NumberBill(sqlite3* db, const std::string& code, const std::string& day) {
  TStatement st(db, "INSERT INTO 单据计数 (类型,日期,序号) VALUES (?1,?2,1) "
                    "ON CONFLICT (类型,日期) DO UPDATE SET 序号=序号+1 RETURNING 序号");
  st.Bind(1, code).Bind(2, day);
  if (!st.Step()) throw ESqliteError("单据计数 gave no number");
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04lld", static_cast<long long>(st.Int(0)));
  st.Run();
  return code + "-" + day + "-" + buf;
}

TServerDb::TServerDb(std::string path) {
  if (!std::filesystem::exists(path)) throw std::runtime_error("no database file " + path);
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
    std::string text = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error(text + ": " + path);
  }
  try {
    sqlite3_busy_timeout(db_, 5000);
    std::int64_t version;
    {
      TStatement v(db_, "PRAGMA user_version");
      v.Step();
      version = v.Int(0);
    }
    if (version != ServerSchemaVersion())
      throw std::runtime_error(path + " has another table layout (made by another version of y6server); remove it");
    ExecSql(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
    // "text" is a name on the server, never a text literal as SQLite would let it be.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    RegisterTSqlFunctions(db_);
  } catch (...) {
    sqlite3_close(db_);
    throw;
  }
}

TServerDb::~TServerDb() { sqlite3_close_v2(db_); }

void TServerDb::Create(const std::string& path, const TSeedOptions& seed) {
  std::string tmp = path + ".new";
  std::filesystem::remove(tmp);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(tmp.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    std::string text = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw std::runtime_error(text + ": " + tmp);
  }
  try {
    // Nothing to protect while the file is being made: it only takes its name when complete.
    ExecSql(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    RegisterTSqlFunctions(db);
    ExecSql(db, "BEGIN");
    for (auto& s : ServerSchemaStatements()) ExecSql(db, s);
    SeedDemoShop(db, seed);
    ExecSql(db, "PRAGMA user_version=" + std::to_string(ServerSchemaVersion()));
    ExecSql(db, "COMMIT");
  } catch (...) {
    sqlite3_close(db);
    std::filesystem::remove(tmp);
    throw;
  }
  sqlite3_close(db);
  std::filesystem::rename(tmp, path);
}

std::string TServerDb::Login(const std::string& loginName, const std::string& password) {
  std::lock_guard lock(mutex_);
  TStatement st(db_, "SELECT ID,登陆名,停用,密码散列,密码盐 FROM 职员信息 WHERE 登陆名=?1 COLLATE NOCASE ORDER BY ID LIMIT 1");
  st.Bind(1, loginName);
  if (loginName.empty() || !st.Step()) throw EServerError("error:用户 " + loginName + " 不存在。");
  if (st.Int(2) != 0) throw EServerError("error:此用户已停用。");
  if (st.Null(3) || PasswordHash(st.Text(4), password) != st.Text(3)) throw EServerError("error:密码不正确。");
  std::string token = RandomHex();
  std::string now = ServerNow();
  TStatement add(db_, "INSERT INTO 在线会话 (令牌,职员ID,登陆名,登录时间,最后心跳,心跳次数) VALUES (?1,?2,?3,?4,?4,0)");
  add.Bind(1, token).Bind(2, st.Int(0)).Bind(3, st.Text(1)).Bind(4, now).Run();
  return token;
}

bool TServerDb::SessionExists(const std::string& token) {
  std::lock_guard lock(mutex_);
  TStatement st(db_, "SELECT 1 FROM 在线会话 WHERE 令牌=?1");
  st.Bind(1, token);
  return !token.empty() && st.Step();
}

void TServerDb::Heartbeat(const std::string& token) {
  std::lock_guard lock(mutex_);
  TStatement st(db_, "UPDATE 在线会话 SET 最后心跳=?1,心跳次数=心跳次数+1 WHERE 令牌=?2");
  st.Bind(1, ServerNow()).Bind(2, token).Run();
}

std::string TServerDb::Query(const std::string& tsql) {
  std::lock_guard lock(mutex_);
  TTranslated t;
  try {
    t = TranslateStatement(tsql, ServerSchema());
  } catch (const ETSqlError& e) {
    throw EServerError(std::string("error:") + e.what());
  }
  if (t.Kind != TStatementKind::Select) throw EServerError("error:tablesql 只能是一条 Select 语句。");
  try {
    TPrepared p;
    Prepare(db_, t.Sql, p);
    return ReplyTable(db_, p.S);
  } catch (const ESqliteError& e) {
    throw EServerError("error:" + ServerText(e.what()));
  }
}

std::string TServerDb::RunBatch(const std::string& tsql) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> statements;
  try {
    statements = ParseBatch(tsql);
  } catch (const ETSqlError& e) {
    throw EServerError(std::string("error:") + e.what());
  }
  // The whole batch is compiled before anything runs, so a statement the server cannot read
  // leaves the database untouched.
  std::vector<std::string> sql;
  for (size_t k = 0; k < statements.size(); ++k) {
    try {
      sql.push_back(TranslateStatement(statements[k], ServerSchema()).Sql);
    } catch (const ETSqlError& e) {
      throw EServerError("error:第 " + std::to_string(k + 1) + " 条语句出错：" + e.what());
    }
  }
  ExecSql(db_, "BEGIN");
  for (size_t k = 0; k < sql.size(); ++k) {
    try {
      TPrepared p;
      Prepare(db_, sql[k], p);
      int rc;
      while ((rc = sqlite3_step(p.S)) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) throw ESqliteError(sqlite3_errmsg(db_));
    } catch (const ESqliteError& e) {
      ExecSql(db_, "ROLLBACK");
      throw EServerError("error:第 " + std::to_string(k + 1) + " 条语句出错：" + ServerText(e.what()));
    }
  }
  ExecSql(db_, "COMMIT");
  return "0";
}

std::string TServerDb::NextNumber(const std::string& code) {
  if (!IsKnownBillCode(code)) return {};
  std::lock_guard lock(mutex_);
  ExecSql(db_, "BEGIN IMMEDIATE");
  try {
    std::string number = NumberBill(db_, code, Today());
    ExecSql(db_, "COMMIT");
    return number;
  } catch (...) {
    ExecSql(db_, "ROLLBACK");
    throw;
  }
}

std::string TServerDb::RawSql(const std::string& sql) {
  std::lock_guard lock(mutex_);
  const char* tail = sql.c_str();
  const char* end = tail + sql.size();
  std::string table;
  long long changes = 0;
  while (tail < end) {
    TPrepared p;
    const char* next = nullptr;
    if (sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &p.S, &next) != SQLITE_OK)
      throw EServerError(sqlite3_errmsg(db_));
    tail = next;
    if (!p.S) continue; // blanks or a lone semicolon
    try {
      if (sqlite3_column_count(p.S) > 0) {
        table = ReplyTable(db_, p.S);
      } else {
        int rc;
        while ((rc = sqlite3_step(p.S)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) throw ESqliteError(sqlite3_errmsg(db_));
        changes += sqlite3_changes(db_);
      }
    } catch (const ESqliteError& e) {
      throw EServerError(e.what());
    }
  }
  return table.empty() ? "ok " + std::to_string(changes) : table;
}

void TServerDb::LogRequest(const std::string& session, const std::string& kind, const std::string& request,
                           const std::string& status, const std::string& reply) {
  std::lock_guard lock(mutex_);
  TStatement st(db_, "INSERT INTO 请求日志 (时间,会话,类别,请求,状态,回复) VALUES (?1,?2,?3,?4,?5,?6)");
  st.Bind(1, ServerNow()).Bind(2, session).Bind(3, kind).Bind(4, request).Bind(5, status).Bind(6, reply).Run();
}

std::string TServerDb::Info(const std::string& key) {
  std::lock_guard lock(mutex_);
  TStatement st(db_, "SELECT 值 FROM 服务器信息 WHERE 键=?1");
  st.Bind(1, key);
  return st.Step() ? st.Text(0) : std::string();
}
