// The goods-in-stock list of the goods picker, shared by the dataset benchmarks: a fresh store
// with a shop's goods, warehouses and stock, the list loaded into a dataset with the data
// module's statement, and the same rows as one table of an in-memory SQLite database.
#pragma once

#include "U_DataSet.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The data module's goods-in-stock statement (parameter :FID, the shop).
extern const char* const kGoodsInStockSql;

// Writes a fresh store WebC.db in dir with `goods` goods in 商品信息, warehouses 1 and 2 of shop 1
// (and warehouse 3 of shop 2, which the list leaves out), stock of about 70% of the goods in
// warehouse 1 and 30% in warehouse 2 and the shop's 综合库存 rows, and loads the goods-in-stock
// list of shop 1 into ds: 2 × goods rows, or an exception.
void LoadGoodsInStock(TDataSet& ds, const std::filesystem::path& dir, int goods);

// An in-memory SQLite database holding ds's rows as table `list`, columns in the dataset's
// order under their declared types. The caller closes it.
sqlite3* CopyToMemory(const TDataSet& ds);

// Reads every column of every row of a prepared statement, as a grid showing the rows would;
// returns the number of rows.
int StepAll(sqlite3_stmt* st, std::uint64_t& sink);

inline double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// A scratch directory under the system's temporary directory, removed on destruction.
class TBenchDir {
public:
  TBenchDir();
  ~TBenchDir();
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};
