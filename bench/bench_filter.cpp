// The goods picker's search over a 100,000-row goods-in-stock list: contains-filters on 名称
// and 拼音首码 with one- and two-character texts, against the same Like query over the same rows
// in an in-memory SQLite table, reading every column of every row it returns.
#include "BenchGoods.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kGoods = 50000; // x 2 warehouses = 100,000 rows in the list
constexpr int kRounds = 7;

struct TSearch {
  const char* Field;
  const char* Text;
};
const TSearch kSearches[] = {{"名称", "机"}, {"名称", "手机"}, {"名称", "电"}, {"名称", "无线"},
                             {"拼音首码", "S"}, {"拼音首码", "SJ"}, {"拼音首码", "X"}, {"拼音首码", "HW"}};

// The picker's filter: the warehouse part, then the search part.
std::string OurFilter(const TSearch& s) { return std::string("ID>0 and ") + s.Field + " Like %" + s.Text + "%"; }

std::string ReferenceSql(const TSearch& s) {
  return std::string("SELECT * FROM list WHERE ID>0 AND ") + s.Field + " LIKE '%" + s.Text + "%'";
}

// ID and 仓库ID of each row, in order, to check that both sides find the same rows.
std::vector<std::int64_t> OurKeys(TDataSet& ds) {
  std::vector<std::int64_t> keys;
  const int id = ds.FieldNo("ID"), store = ds.FieldNo("仓库ID");
  for (int r = 0; r < ds.RecordCount(); ++r) keys.push_back(AsInt(ds.ValueAt(r, id)) * 10 + AsInt(ds.ValueAt(r, store)));
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::vector<std::int64_t> ReferenceKeys(sqlite3* db, const std::string& sql) {
  std::string q = "SELECT ID*10+仓库ID FROM (" + sql + ") ORDER BY 1";
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, q.c_str(), -1, &st, nullptr);
  std::vector<std::int64_t> keys;
  while (sqlite3_step(st) == SQLITE_ROW) keys.push_back(sqlite3_column_int64(st, 0));
  sqlite3_finalize(st);
  return keys;
}

} // namespace

int main() {
  TBenchDir dir;
  TDataSet ds("Q_Goods");
  LoadGoodsInStock(ds, dir.Path(), kGoods);
  sqlite3* db = CopyToMemory(ds);

  // Both sides must find the same rows.
  std::printf("%d rows in the list\n", ds.RecordCount());
  for (const TSearch& s : kSearches) {
    ds.SetFilter(OurFilter(s));
    ds.SetFiltered(true);
    auto ours = OurKeys(ds);
    auto reference = ReferenceKeys(db, ReferenceSql(s));
    if (ours != reference || ours.empty()) {
      std::fprintf(stderr, "%s Like %%%s%%: ours %zu rows, reference %zu rows\n", s.Field, s.Text, ours.size(),
                   reference.size());
      return 1;
    }
    std::printf("  %s Like %%%s%%: %zu rows\n", s.Field, s.Text, ours.size());
  }

  double ours = 1e9, reference = 1e9;
  std::uint64_t sink = 0;
  for (int round = 0; round < kRounds; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    for (const TSearch& s : kSearches) {
      ds.SetFilter(OurFilter(s));
      ds.SetFiltered(true);
      sink += static_cast<std::uint64_t>(ds.RecordCount());
    }
    auto t1 = std::chrono::steady_clock::now();
    for (const TSearch& s : kSearches) {
      const std::string sql = ReferenceSql(s);
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
        return 1;
      }
      sink += static_cast<std::uint64_t>(StepAll(st, sink));
      sqlite3_finalize(st);
    }
    auto t2 = std::chrono::steady_clock::now();
    ours = std::min(ours, Seconds(t0, t1));
    reference = std::min(reference, Seconds(t1, t2));
  }
  sqlite3_close(db);
  const int n = static_cast<int>(std::size(kSearches));
  std::printf("ours: %d filters in %.2f ms (best of %d)\n", n, ours * 1e3, kRounds);
  std::printf("sqlite3 :memory: Like query reading every column: %d queries in %.2f ms (best of %d)  [%llu]\n", n,
              reference * 1e3, kRounds, static_cast<unsigned long long>(sink % 10));
  std::printf("filter ratio %.2f (goal ≤ 1.0)\n", ours / reference);
  return 0;
}
