#include "TestSupport.h"

#include "U_Schema.h"

#include <fstream>
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
