// Shared fixtures: a fresh store in a temporary program directory.
#pragma once

#include "U_Store.h"

#include <filesystem>
#include <string>

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
