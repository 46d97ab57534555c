#include "TestSupport.h"

#include "U_Schema.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cctype>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <random>
#include <sstream>
#include <stdexcept>

TTempDir::TTempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() / ("y6test-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TTempDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream f(path_ / name, std::ios::binary);
  f << bytes;
}

std::string TTempDir::Read(const std::string& name) const { return ReadFile(path_ / name); }

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

TFreshStore::TFreshStore() {
  CreateStore(Dir.Dir() + "WebC.db");
  Store.SetPath(Dir.Dir() + "WebC.db");
}

TValue TFreshStore::Scalar(const std::string& jetSql) {
  TResult r = Store.Query(jetSql);
  if (r.Rows.size() != 1 || r.Columns.size() != 1) throw std::runtime_error("not a single value: " + jetSql);
  return r.Rows[0][0];
}

TServerProcess::TServerProcess(const std::string& binary, const std::filesystem::path& dataDir,
                               const std::vector<std::string>& extraArgs) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {binary, "--port", "0", "--data", dataDir.string()};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  close(fds[1]);
  out_ = fds[0];
  std::string line; // "port P", written once the port is open
  pollfd p{out_, POLLIN, 0};
  char c;
  while (line.find('\n') == std::string::npos) {
    if (poll(&p, 1, 60000) <= 0 || read(out_, &c, 1) != 1) {
      Stop();
      throw std::runtime_error("y6server did not start (first line: " + line + ")");
    }
    line += c;
  }
  if (std::sscanf(line.c_str(), "port %d", &port_) != 1) {
    Stop();
    throw std::runtime_error("unexpected first line of y6server: " + line);
  }
}

void TServerProcess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (out_ >= 0) close(out_);
  out_ = -1;
}

std::string TServerProcess::BaseURL() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/y6/webservice/api.aspx?";
}

// One GET with the request target exactly as given.
THttpReply HttpGet(int port, const std::string& target) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) throw std::runtime_error("socket failed");
  timeval tv{20, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(s);
    throw std::runtime_error("connect failed");
  }
  std::string req = "GET " + target +
                    " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/html, */*\r\n"
                    "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\nConnection: close\r\n\r\n";
  send(s, req.data(), req.size(), MSG_NOSIGNAL);
  // Until the server closes or the body of Content-Length is complete (a server may keep the
  // connection open after a refusal of its own).
  std::string raw;
  char buf[65536];
  ssize_t n;
  size_t head = std::string::npos, length = std::string::npos;
  while ((n = recv(s, buf, sizeof buf, 0)) > 0) {
    raw.append(buf, static_cast<size_t>(n));
    if (head == std::string::npos && (head = raw.find("\r\n\r\n")) != std::string::npos) {
      std::smatch m;
      std::string headers = raw.substr(0, head);
      if (std::regex_search(headers, m, std::regex("\r\nContent-Length: *(\\d+)", std::regex::icase)))
        length = std::stoul(m[1]);
    }
    if (length != std::string::npos && raw.size() >= head + 4 + length) break;
  }
  close(s);
  THttpReply r;
  if (raw.empty()) {
    r.Dropped = true;
    return r;
  }
  if (head == std::string::npos || std::sscanf(raw.c_str(), "HTTP/1.%*d %d", &r.Status) != 1)
    throw std::runtime_error("not an HTTP reply: " + raw.substr(0, 80));
  r.Body = raw.substr(head + 4);
  return r;
}

std::string TServerProcess::Admin(const std::string& target) const { return HttpGet(port_, target).Body; }

std::string UrlEncode(const std::string& utf8) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : utf8) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') out += static_cast<char>(c);
    else {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}

std::vector<TStatement> ReadStatements(const std::string& fileName) {
  std::vector<TStatement> v;
  std::istringstream in(ReadFile(std::string(Y6_TEST_DATA) + fileName));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos) throw std::runtime_error("no tab in: " + line);
    v.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return v;
}
