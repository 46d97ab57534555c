// y6server: a development server of the web system's API, for the client's tests, benchmarks and
// demo. It listens on 127.0.0.1 only.
//
//   y6server --port P --data DIR [--goods N]
//
// --port 0 takes any free port. The first line of output is "port P" with the port listened on,
// printed once the port is open; everything after it is for people.
// DIR holds one SQLite file per database name (DIR/demo.db for the database "demo"). When
// DIR/demo.db is missing it is made with the seeded demo shop (U_Seed.h), of N goods (300 unless
// told); an existing demo.db made with another N is refused rather than replaced.
//
// The API, as the client uses it (any directory before /webservice/api.aspx, so that the login
// page http://127.0.0.1:P/y6/Login.aspx?db=demo&x=1 gives the API base
// http://127.0.0.1:P/y6/webservice/api.aspx?):
//
//   ?ver=1.0&db=D&dbName=D&uid=U&pwd=W   login; replies "sid=<token>&db=D", the text the client puts
//                                        first in every later request, or "error:" and the reason
//   ?sid=..&db=D&tablesql=<Select>       reply table (U_ServerDb.h), GBK
//   ?sid=..&db=D&Get<code>Code=1         a new bill number, SO-20141208-0001; empty for an unknown
//                                        code (known: IO IB SO SB PG SK FK); numbers never repeat,
//                                        and one handed out for a batch that failed is not reused
//   ?sid=..&db=D&singlesql=<batch>       "0" when committed, else "error:" and the reason, with
//                                        everything rolled back
//   ?sid=..&db=D&isonline=1              heartbeat; records the time per session; replies "1"
//
// Every refusal and failure is a text beginning with "error" (HTTP 200). Sessions are kept in the
// database and do not expire. Requests whose request line is over 8 KB are refused by the HTTP
// library with status 414.
//
// Pages for tests, on the same port (UTF-8, values percent-encoded as UTF-8):
//
//   /__admin/fault?kind=K[&n=N][&ms=M][&on=R]
//        the next N (default 1) API requests of kind R meet fault K:
//          refuse       the connection is closed without a reply
//          http500      status 500
//          delay        the reply comes M milliseconds later
//          emptynumber  a bill number request gets an empty reply (R is number)
//          refusebatch  a batch is not run and gets an error text (R is batch)
//          commitdrop   a batch is run and committed, then the connection is closed without a
//                       reply (R is batch)
//        R: any (default), login, query, number, batch, heartbeat. Faults wait in the order set;
//        a request meets at most one.
//   /__admin/clear                   removes every waiting fault
//   /__admin/faults                  lists the waiting faults
//   /__admin/log[?after=S]           the request log after sequence number S, one request a line:
//                                    seq, time, database, kind, status, decoded query (pwd hidden),
//                                    reply (cut at 300 characters), separated by tabs; tab, CR, LF
//                                    and backslash in values written as \t \r \n \\
//   /__admin/query?db=D&sql=S        runs SQLite statements S on database D: the reply table (UTF-8)
//                                    of the last one that returns rows, or "ok <changed rows>"
//                                    (dates are stored as 'yyyy-mm-dd hh:mm:ss', yes/no as 1/0)
#include "U_Seed.h"
#include "U_Server.h"
#include "U_ServerDb.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

[[noreturn]] void Usage(const std::string& why) {
  std::cerr << "y6server: " << why << "\nusage: y6server --port P --data DIR [--goods N]\n";
  std::exit(2);
}

int Number(const std::string& option, const char* text) {
  try {
    size_t used = 0;
    int n = std::stoi(text, &used);
    if (used == std::string(text).size() && n >= 0) return n;
  } catch (const std::exception&) {
    // reported below
  }
  Usage(option + " needs a whole number, not " + text);
}

} // namespace

int main(int argc, char** argv) {
  int port = -1, goods = -1;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i + 1 >= argc) Usage("missing value after " + a);
    if (a == "--port") port = Number(a, argv[++i]);
    else if (a == "--data") dir = argv[++i];
    else if (a == "--goods") goods = Number(a, argv[++i]);
    else Usage("unknown option " + a);
  }
  if (port < 0 || port > 65535) Usage("--port is needed (0 for any free port)");
  if (dir.empty()) Usage("--data is needed");
  if (goods == 0) Usage("--goods must be 1 or more");

  // SIGINT and SIGTERM end the server through a thread of their own; no thread may take them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN); // a reply to a dropped connection must not end the server

  try {
    std::filesystem::create_directories(dir);
    std::string demo = dir + "/demo.db";
    if (!std::filesystem::exists(demo)) {
      TSeedOptions seed;
      if (goods > 0) seed.Goods = goods;
      TServerDb::Create(demo, seed);
    } else {
      TServerDb existing(demo); // a file of another layout is refused here, not at the first request
      std::string made = existing.Info("商品数");
      if (goods > 0 && made != std::to_string(goods))
        throw std::runtime_error(demo + " holds a shop of " + made + " goods, not " + std::to_string(goods) +
                                 "; remove it or use another --data directory");
    }
    TY6Server server(dir);
    int bound = server.Bind(port);
    std::printf("port %d\n", bound);
    std::printf("y6server on 127.0.0.1:%d, data in %s; demo login page http://127.0.0.1:%d/y6/Login.aspx?db=demo&x=1\n",
                bound, dir.c_str(), bound);
    std::fflush(stdout);
    std::thread stopper([&] {
      int sig = 0;
      sigwait(&stopSignals, &sig);
      server.Stop();
    });
    try {
      server.Run();
    } catch (...) {
      stopper.detach(); // still waiting for a signal that will not come
      throw;
    }
    stopper.join(); // Run ends normally only through the stopper's Stop

  } catch (const std::exception& e) {
    std::cerr << "y6server: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
