#include "U_PublicApi.h"

#include "U_Config.h"
#include "U_Data.h"
#include "U_Gbk.h"
#include "U_Import.h"

#include <mutex>

TSession Session;

namespace {

std::mutex gLinkMutex;
std::string gBaseURL, gDBName, gSession;

std::string Hex(unsigned char c) {
  static const char digits[] = "0123456789ABCDEF";
  return {'%', digits[c >> 4], digits[c & 15]};
}

std::string Encode(std::string_view gbk, bool value) {
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 4);
  for (unsigned char c : gbk) {
    bool escape = c == ' ' || c == '*' || c == '#' || c == '%' || c == '<' || c == '>' || c >= 0x80;
    if (value) escape = escape || c == '&' || c == '+' || c < 0x20 || c == 0x7F;
    if (escape) out += Hex(c);
    else out += static_cast<char>(c);
  }
  return out;
}

THttp& Http() {
  if (!DM || !DM->IHTTP) throw EHttpError("没有 HTTP 客户端");
  return *DM->IHTTP;
}

// Base URL, online session and a parameter name, then the value.
std::string SessionRequest(const std::string& param, const std::string& value) {
  std::string prefix = Utf8ToGbk(ApiBaseURL()) + OnlineSession() + param;
  return Http().Get(RequestEncode(prefix) + ValueEncode(Utf8ToGbk(value)));
}

std::string Trimmed(std::string s) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

void SetServerAddress(const std::string& baseUrl, const std::string& dbName) {
  std::lock_guard lock(gLinkMutex);
  gBaseURL = baseUrl;
  gDBName = dbName;
}

std::string ApiBaseURL() {
  std::lock_guard lock(gLinkMutex);
  return gBaseURL;
}

std::string DatabaseName() {
  std::lock_guard lock(gLinkMutex);
  return gDBName;
}

void SetOnlineSession(const std::string& session) {
  std::lock_guard lock(gLinkMutex);
  gSession = session;
}

std::string OnlineSession() {
  std::lock_guard lock(gLinkMutex);
  return gSession;
}

bool IsOnline() { return !OnlineSession().empty(); }

std::string RequestEncode(std::string_view gbk) { return Encode(gbk, false); }
std::string ValueEncode(std::string_view gbk) { return Encode(gbk, true); }

std::string LoginRequest(const std::string& db, const std::string& user, const std::string& password) {
  // The names and the password are encoded like every other value: a "#" or "&" in a
  // password must not cut the request.
  auto v = [](const std::string& s) { return ValueEncode(Utf8ToGbk(s)); };
  std::string url = RequestEncode(Utf8ToGbk(ApiBaseURL())) + "ver=1.0&db=" + v(db) + "&dbName=" + v(db) +
                    "&uid=" + v(user) + "&pwd=" + v(password);
  return GbkToUtf8(Http().Get(url));
}

std::string QueryRequest(const std::string& sql) { return SessionRequest("&tablesql=", sql); }

std::string BillNumberRequest(const std::string& typeCode) {
  return Trimmed(GbkToUtf8(SessionRequest("&Get" + typeCode + "Code=1", "")));
}

bool BatchRequest(const std::string& statements, std::string* reply) {
  std::string r = GbkToUtf8(SessionRequest(
      "&singlesql=", "Begin Tran" + statements + " Commit Tran IsError:If @@TranCount>0 Rollback Tran"));
  if (reply) *reply = r;
  return r == "0";
}

void HeartbeatRequest(THttp& http) {
  http.Get(RequestEncode(Utf8ToGbk(ApiBaseURL()) + OnlineSession() + "&isonline=1"));
}

int ImportReply(const std::string& table, const std::string& columns, std::string_view reply) {
  return ImportReplyTable(DM->ADOC, ProgramDir.toStdString(), table, columns, reply);
}

bool ServerHasBill(const std::string& serverTable, const std::string& number) {
  std::string reply = QueryRequest("Select 单据编号 From " + serverTable + " Where 单据编号=" + QuotedStr(number));
  // A header line and at least one row.
  size_t end = reply.find_first_of("\r\n");
  return end != std::string::npos && reply.find_first_not_of("\r\n", end) != std::string::npos;
}
