// Shared fixtures: a fresh store in a temporary program directory.
#pragma once

#include "U_Store.h"

#include <filesystem>
#include <string>
#include <vector>

// A temporary directory that is removed with its contents.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  const std::filesystem::path& Path() const { return path_; }
  std::string Dir() const { return path_.string() + "/"; } // with the trailing separator
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;

private:
  std::filesystem::path path_;
};

// A program directory with a freshly made WebC.db and a store open on it.
struct TFreshStore {
  TTempDir Dir;
  TStore Store;
  TFreshStore();
  // The single value of a one-row, one-column query.
  TValue Scalar(const std::string& jetSql);
};

std::string ReadFile(const std::filesystem::path& path);

// A statement table of tests/data: one "label TAB statement" a line, "#" lines are comments.
struct TStatement {
  std::string Label, Sql;
};
std::vector<TStatement> ReadStatements(const std::string& fileName);

// One HTTP GET over a socket of its own, the request target sent exactly as given.
struct THttpReply {
  bool Dropped = false; // the connection closed without a single byte
  int Status = 0;
  std::string Body; // as received
};
THttpReply HttpGet(int port, const std::string& target);

// A y6server process on a free loopback port with its own data directory (the demo shop is
// made there on the first start); stopped and waited for at the end.
class TServerProcess {
public:
  TServerProcess(const std::string& binary, const std::filesystem::path& dataDir,
                 const std::vector<std::string>& extraArgs = {});
  ~TServerProcess() { Stop(); }
  TServerProcess(const TServerProcess&) = delete;
  TServerProcess& operator=(const TServerProcess&) = delete;

  int Port() const { return port_; }
  // The API base URL of the database "demo", as the login page address derives it.
  std::string BaseURL() const;
  // GET of an /__admin/ page (path and query, values already percent-encoded); the body.
  std::string Admin(const std::string& target) const;
  void Stop();

private:
  int pid_ = -1;
  int out_ = -1;
  int port_ = 0;
};

// A value percent-encoded as UTF-8, for the admin pages.
std::string UrlEncode(const std::string& utf8);
