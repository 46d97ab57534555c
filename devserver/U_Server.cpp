#include "U_Server.h"

#include "U_Gbk.h"
#include "U_TSqlFunctions.h"
#include "U_Wire.h"

#include <arpa/inet.h>
#include <chrono>
#include <dirent.h>
#include <filesystem>
#include <httplib.h>
#include <iostream>
#include <netinet/in.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <thread>

namespace {

const char* const kFaultKinds[] = {"refuse", "http500", "delay", "emptynumber", "refusebatch", "commitdrop"};
const char* const kRequestKinds[] = {"any", "login", "query", "number", "batch", "heartbeat"};

bool OneOf(const std::string& s, std::initializer_list<const char*> list) {
  for (const char* w : list)
    if (s == w) return true;
  return false;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The bill type code of a "Get<code>Code" parameter name, or empty.
std::string NumberCode(const std::string& name) {
  if (name.size() <= 7 || !SameText(name.substr(0, 3), "Get") || !SameText(name.substr(name.size() - 4), "Code"))
    return {};
  std::string code = name.substr(3, name.size() - 7);
  for (auto& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return code;
}

// Which of the five requests this is; "mixed" when it asks for more than one thing.
std::string KindOf(const TApiRequest& r) {
  if (r.Has("ver")) return "login";
  std::vector<std::string> kinds;
  for (auto& [name, value] : r.Params) {
    if (SameText(name, "tablesql")) kinds.push_back("query");
    else if (SameText(name, "singlesql")) kinds.push_back("batch");
    else if (SameText(name, "isonline")) kinds.push_back("heartbeat");
    else if (!NumberCode(name).empty()) kinds.push_back("number");
  }
  if (kinds.empty()) return "unknown";
  return kinds.size() == 1 ? kinds[0] : "mixed";
}

// Closes the connection a request came on without a reply: the socket of this process whose
// two ends are the request's two ends is shut down, and the library's reply goes nowhere.
void DropConnection(const httplib::Request& req) {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) throw std::runtime_error("cannot list /proc/self/fd");
  int found = -1;
  while (dirent* e = readdir(dir)) {
    int fd = std::atoi(e->d_name);
    if (fd <= 2) continue;
    sockaddr_in local{}, peer{};
    socklen_t ll = sizeof local, pl = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &ll) != 0 || local.sin_family != AF_INET) continue;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &pl) != 0) continue;
    if (ntohs(local.sin_port) == req.local_port && ntohs(peer.sin_port) == req.remote_port) {
      found = fd;
      break;
    }
  }
  closedir(dir);
  if (found < 0) throw std::runtime_error("the request's connection was not found");
  shutdown(found, SHUT_RDWR);
}

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\r': out += "\\r"; break;
    case '\n': out += "\\n"; break;
    default: out += c;
    }
  }
  return out;
}

std::string Shortened(const std::string& s, size_t max) {
  if (s.size() <= max) return s;
  size_t cut = max;
  while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut; // whole UTF-8 characters
  return s.substr(0, cut) + "…";
}

bool ValidDbName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (unsigned char c : name)
    if (!(std::isalnum(c) || c == '_' || c == '-' || c >= 0x80)) return false;
  return true;
}

void Reply(httplib::Response& res, const std::string& utf8) {
  res.set_content(utf8, "text/plain; charset=utf-8");
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Faults

void TFaults::Add(TFault f) {
  bool known = false;
  for (const char* k : kFaultKinds) known = known || f.Kind == k;
  if (!known) throw std::invalid_argument("unknown fault kind: " + f.Kind);
  // Faults of a bill number or a batch only make sense on those requests.
  if (f.Kind == "emptynumber") f.On = "number";
  if (f.Kind == "refusebatch" || f.Kind == "commitdrop") f.On = "batch";
  if (f.On.empty()) f.On = "any";
  known = false;
  for (const char* k : kRequestKinds) known = known || f.On == k;
  if (!known) throw std::invalid_argument("unknown request kind: " + f.On);
  if (f.Left < 1) throw std::invalid_argument("n must be 1 or more");
  if (f.Ms < 0) throw std::invalid_argument("ms must not be negative");
  std::lock_guard lock(mutex_);
  faults_.push_back(std::move(f));
}

void TFaults::Clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::optional<TFault> TFaults::Take(const std::string& requestKind) {
  std::lock_guard lock(mutex_);
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->On != "any" && it->On != requestKind) continue;
    TFault f = *it;
    if (--it->Left == 0) faults_.erase(it);
    return f;
  }
  return std::nullopt;
}

std::string TFaults::Describe() {
  std::lock_guard lock(mutex_);
  std::string out;
  for (auto& f : faults_)
    out += f.Kind + " on=" + f.On + " n=" + std::to_string(f.Left) + (f.Kind == "delay" ? " ms=" + std::to_string(f.Ms) : "") + "\n";
  return out;
}

// ---------------------------------------------------------------------------------------------
// The server

TY6Server::TY6Server(std::string dataDir) : dataDir_(std::move(dataDir)), http_(std::make_unique<httplib::Server>()) {
  // An idle kept-alive connection holds one of the library's few threads: let it go soon.
  http_->set_keep_alive_max_count(1000);
  http_->set_keep_alive_timeout(2);
  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    Route(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  // What the library refuses before any handler sees it (a request line over its 8 KB limit).
  http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    if (res.status == 414 || res.status == 400)
      Log("", "", "rejected", std::to_string(res.status), Shortened(req.target, 200), "");
  });
}

TY6Server::~TY6Server() = default;

int TY6Server::Bind(int port) {
  if (port == 0) {
    int p = http_->bind_to_any_port("127.0.0.1");
    if (p <= 0) throw std::runtime_error("cannot listen on 127.0.0.1");
    return p;
  }
  if (!http_->bind_to_port("127.0.0.1", port)) throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  return port;
}

void TY6Server::Run() {
  if (!http_->listen_after_bind()) throw std::runtime_error("the HTTP server stopped");
}

void TY6Server::Stop() { http_->stop(); }

void TY6Server::Route(const httplib::Request& req, httplib::Response& res) {
  try {
    if (req.target.rfind("/__admin/", 0) == 0) return Admin(req, res);
    size_t q = req.target.find('?');
    if (req.method == "GET" && IsApiPath(PercentDecode(req.target.substr(0, q)))) return Api(req, res);
    res.status = 404;
    Reply(res, "y6server: no page " + req.target + "\n");
  } catch (const std::exception& e) {
    std::cerr << "y6server: " << e.what() << std::endl;
    res.status = 500;
    Reply(res, std::string("y6server: ") + e.what() + "\n");
  }
}

TServerDb& TY6Server::Database(const std::string& name) {
  if (!ValidDbName(name)) throw EServerError("error:数据库名 " + name + " 无效。");
  std::lock_guard lock(dbMutex_);
  auto it = dbs_.find(name);
  if (it != dbs_.end()) return *it->second;
  std::string path = dataDir_ + "/" + name + ".db";
  if (!std::filesystem::exists(path)) throw EServerError("error:数据库 " + name + " 不存在。");
  auto db = std::make_unique<TServerDb>(path);
  return *dbs_.emplace(name, std::move(db)).first->second;
}

void TY6Server::Api(const httplib::Request& req, httplib::Response& res) {
  TApiRequest r = ParseTarget(req.target);
  std::string kind = KindOf(r);
  std::string db = r.Get("db"), session = r.Get("sid");
  std::optional<TFault> fault = faults_.Take(kind);
  if (fault && fault->Kind == "refuse") {
    DropConnection(req);
    return Log(db, session, kind, "dropped (refuse)", r.LogText(), "");
  }
  if (fault && fault->Kind == "http500") {
    res.status = 500;
    res.set_content(Utf8ToGbk("服务器内部错误（测试开关 http500）。"), "text/plain; charset=GBK");
    return Log(db, session, kind, "500", r.LogText(), "");
  }
  if (fault && fault->Kind == "delay") std::this_thread::sleep_for(std::chrono::milliseconds(fault->Ms));
  std::string reply;
  bool drop = false;
  try {
    reply = Answer(r, kind, fault, drop);
  } catch (const EServerError& e) {
    reply = e.what();
  } catch (const std::exception& e) {
    std::cerr << "y6server: " << e.what() << std::endl;
    reply = std::string("error:服务器出错：") + e.what();
  }
  if (drop) {
    DropConnection(req);
    return Log(db, session, kind, "dropped (commitdrop)", r.LogText(), reply);
  }
  std::string body;
  try {
    body = Utf8ToGbk(reply);
  } catch (const std::exception& e) {
    reply = "error:回复中有不能转成 GBK 的文字。";
    body = Utf8ToGbk(reply);
  }
  res.set_content(body, "text/plain; charset=GBK");
  Log(db, kind == "login" ? "" : session, kind, "200", r.LogText(), reply);
}

std::string TY6Server::Answer(const TApiRequest& r, const std::string& kind, const std::optional<TFault>& fault, bool& drop) {
  if (kind == "login") {
    if (r.Get("ver") != "1.0") throw EServerError("error:不支持的桌面端版本 " + r.Get("ver") + "。");
    std::string db = r.Get("db");
    if (db.empty() || r.Get("dbName") != db) throw EServerError("error:登录请求中的数据库名不对。");
    std::string token = Database(db).Login(r.Get("uid"), r.Get("pwd"));
    return "sid=" + token + "&db=" + db;
  }
  if (kind == "mixed") throw EServerError("error:一个请求只能做一件事。");
  std::string session = r.Get("sid");
  TServerDb& db = Database(r.Get("db"));
  if (!db.SessionExists(session)) throw EServerError("error:会话无效或已过期，请重新登录。");
  if (kind == "query") return db.Query(r.Get("tablesql"));
  if (kind == "heartbeat") {
    db.Heartbeat(session);
    return "1";
  }
  if (kind == "number") {
    if (fault && fault->Kind == "emptynumber") return {};
    for (auto& [name, value] : r.Params)
      if (std::string code = NumberCode(name); !code.empty()) return db.NextNumber(code);
  }
  if (kind == "batch") {
    if (fault && fault->Kind == "refusebatch") throw EServerError("error:服务器拒绝执行这个批处理（测试开关 refusebatch）。");
    std::string reply = db.RunBatch(r.Get("singlesql"));
    drop = fault && fault->Kind == "commitdrop";
    return reply;
  }
  throw EServerError("error:不认识的请求。");
}

void TY6Server::Log(const std::string& db, const std::string& session, const std::string& kind, const std::string& status,
                    const std::string& request, const std::string& reply) {
  {
    std::lock_guard lock(logMutex_);
    std::string now = ServerNow();
    log_.push_back(TLogEntry{++seq_, now.substr(11), db, kind, status, request, Shortened(reply, 300)});
    if (log_.size() > 20000) log_.pop_front();
  }
  if (db.empty() || !ValidDbName(db)) return;
  try {
    Database(db).LogRequest(session, kind, request, status, Shortened(reply, 300));
  } catch (const EServerError&) {
    // A request naming a database that does not exist is kept in the memory log only.
  } catch (const std::exception& e) {
    std::cerr << "y6server: request log of " << db << ": " << e.what() << std::endl;
  }
}

std::string TY6Server::LogText(long long after) {
  std::lock_guard lock(logMutex_);
  std::string out;
  for (auto& e : log_) {
    if (e.Seq <= after) continue;
    out += std::to_string(e.Seq) + "\t" + e.Time + "\t" + Escaped(e.Db) + "\t" + e.Kind + "\t" + e.Status + "\t" +
           Escaped(e.Request) + "\t" + Escaped(e.Reply) + "\n";
  }
  return out;
}

void TY6Server::Admin(const httplib::Request& req, httplib::Response& res) {
  TApiRequest r = ParseTarget(req.target, false);
  const std::string& page = r.Path;
  auto number = [&](const char* name, int fallback) {
    std::string v = r.Get(name);
    if (v.empty()) return fallback;
    size_t used = 0;
    int n = std::stoi(v, &used);
    if (used != v.size()) throw std::invalid_argument(std::string(name) + " is not a number: " + v);
    return n;
  };
  try {
    if (page == "/__admin/fault") {
      faults_.Add(TFault{r.Get("kind"), r.Get("on"), number("n", 1), number("ms", 0)});
      return Reply(res, "ok\n");
    }
    if (page == "/__admin/clear") {
      faults_.Clear();
      return Reply(res, "ok\n");
    }
    if (page == "/__admin/faults") return Reply(res, faults_.Describe());
    if (page == "/__admin/log") return Reply(res, LogText(std::stoll(r.Get("after").empty() ? "0" : r.Get("after"))));
    if (page == "/__admin/query") return Reply(res, Database(r.Get("db")).RawSql(r.Get("sql")));
    res.status = 404;
    Reply(res, "y6server: no admin page " + page + "\n");
  } catch (const std::exception& e) {
    res.status = 400;
    std::string text = e.what();
    Reply(res, (text.rfind("error", 0) == 0 ? text : "error:" + text) + "\n");
  }
}
