// The HTTP side of y6server: the web system's API page, fault switches and inspection pages for
// tests, on one port of 127.0.0.1. The URLs are listed in y6server.cpp.
#pragma once

#include "U_ServerDb.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

struct TApiRequest;

// A fault that the next requests of a kind meet.
struct TFault {
  std::string Kind; // refuse, http500, delay, emptynumber, refusebatch, commitdrop
  std::string On;   // which requests: any, login, query, number, batch, heartbeat
  int Left = 1;     // how many more requests meet it
  int Ms = 0;       // delay only
};

class TFaults {
public:
  // Throws std::invalid_argument for an unknown kind or request name.
  void Add(TFault f);
  void Clear();
  // The fault the next request of this kind meets, counted off; none when no fault waits for it.
  std::optional<TFault> Take(const std::string& requestKind);
  std::string Describe();

private:
  std::mutex mutex_;
  std::vector<TFault> faults_;
};

class TY6Server {
public:
  explicit TY6Server(std::string dataDir);
  ~TY6Server();
  // Binds 127.0.0.1:port (0 for any free port) and returns the port.
  int Bind(int port);
  // Serves until Stop().
  void Run();
  void Stop();

private:
  struct TLogEntry {
    long long Seq;
    std::string Time, Db, Kind, Status, Request, Reply;
  };

  void Route(const httplib::Request& req, httplib::Response& res);
  void Api(const httplib::Request& req, httplib::Response& res);
  std::string Answer(const TApiRequest& r, const std::string& kind, const std::optional<TFault>& fault, bool& drop);
  void Admin(const httplib::Request& req, httplib::Response& res);
  TServerDb& Database(const std::string& name);
  void Log(const std::string& db, const std::string& session, const std::string& kind, const std::string& status,
           const std::string& request, const std::string& reply);
  std::string LogText(long long after);

  std::string dataDir_;
  std::unique_ptr<httplib::Server> http_;
  TFaults faults_;
  std::mutex dbMutex_;
  std::map<std::string, std::unique_ptr<TServerDb>> dbs_;
  std::mutex logMutex_;
  std::deque<TLogEntry> log_;
  long long seq_ = 0;
};
