// The client of the server API: one HTTP GET per request, the whole meaning in the query
// string. The API base URL, the database name and the online session are process-wide and
// read by the heartbeat thread too, so they are reached through these functions only.
#pragma once

#include <string>
#include <string_view>

class THttp;

// --- The link and the session ----------------------------------------------------------------

void SetServerAddress(const std::string& baseUrl, const std::string& dbName);
std::string ApiBaseURL();
std::string DatabaseName();

// The verbatim reply of the last successful login or connect; empty means offline.
void SetOnlineSession(const std::string& session);
std::string OnlineSession();
bool IsOnline();

// Who works, in which store, with which roles, and the filters that keep other stores' rows
// out of the downloads and lists. Set by the login; GUI thread only.
struct TSession {
  std::string LoginName, Password, UserID, UserName, StoreID, StoreName, Roles;
  std::string BusinessFilter; // " and 分店ID=" + store ID when bills of other stores are hidden
  std::string StockFilter;    // the same for stock
  std::string CustomerFilter; // customers and categories of other stores
  std::string SupplierFilter; // " and 类别<>'供应商'" when the user may not see suppliers
  bool LoggedIn = false;
};
extern TSession Session;

// --- Request encoding ------------------------------------------------------------------------

// The encoding of every request URL (GBK bytes): a blank, "*", "#", "%", "<", ">" and every
// byte from 0x80 become %XX; the rest goes as it is.
std::string RequestEncode(std::string_view gbk);
// What a request carries as its value (SQL, a login name, a password) is encoded the same way
// and, in addition, "&", "+" and control characters (line breaks among them): a text value
// holding them would otherwise cut the request or reach the server changed.
std::string ValueEncode(std::string_view gbk);

// --- Requests (through DM->IHTTP; EHttpError on a failed exchange) ---------------------------

// The reply: the online session, or a refusal that starts with "error". Does not set anything.
std::string LoginRequest(const std::string& db, const std::string& user, const std::string& password);
// A T-SQL Select; the reply table as received (GBK).
std::string QueryRequest(const std::string& sql);
// A new server bill number for the type code; empty when the server has none.
std::string BillNumberRequest(const std::string& typeCode);
// Statements (each starting with a blank) run in one server transaction; true when the
// server answered "0" (committed). reply gets the server's text.
bool BatchRequest(const std::string& statements, std::string* reply = nullptr);
// Tells the server the client is alive, with the given client (the heartbeat thread has its
// own). The reply is not looked at.
void HeartbeatRequest(THttp& http);

// Appends a reply table to a local table (column list "*" or the query's list); the number
// of rows, 0 for a reply without rows.
int ImportReply(const std::string& table, const std::string& columns, std::string_view reply);

// True when the server's table holds a bill with this number: how a client that lost the
// reply to a batch learns whether the batch was committed.
bool ServerHasBill(const std::string& serverTable, const std::string& number);
