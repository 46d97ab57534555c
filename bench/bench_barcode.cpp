// The editors' barcode scan over a 100,000-row goods-in-stock list: 1,000 scans (most codes
// known, some not), each switching the filter off and filtering on the warehouse and the
// code, against an indexed SQLite query over the same rows in an in-memory table, its text
// built and prepared for every scan as the dataset reads a filter text for every scan.
#include "BenchGoods.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

constexpr int kGoods = 50000; // x 2 warehouses = 100,000 rows in the list
constexpr int kScans = 1000;
constexpr int kMissing = 50;
constexpr int kRounds = 5;

std::string OurFilter(const std::string& code) { return "仓库ID='1' and 条形码='" + code + "'"; }
std::string ReferenceSql(const std::string& code) {
  return "SELECT * FROM list WHERE 仓库ID='1' AND 条形码='" + code + "'";
}

// The scan of the editors: every filter off, then the warehouse and the code.
int OurScan(TDataSet& ds, const std::string& code) {
  ds.SetFiltered(false);
  ds.SetFilter(OurFilter(code));
  ds.SetFiltered(true);
  return ds.RecordCount();
}

} // namespace

int main() {
  TBenchDir dir;
  TDataSet ds("Q_Goods");
  LoadGoodsInStock(ds, dir.Path(), kGoods);
  sqlite3* db = CopyToMemory(ds);

  // The codes scanned: codes of the list in random order, and some that no goods carry.
  const int codeField = ds.FieldNo("条形码"), idField = ds.FieldNo("ID");
  std::unordered_set<std::string> known;
  for (int r = 0; r < ds.RecordCount(); ++r) known.insert(AsText(ds.ValueAt(r, codeField)));
  std::mt19937 rng(7);
  std::vector<std::string> codes;
  while (static_cast<int>(codes.size()) < kScans - kMissing)
    codes.push_back(AsText(ds.ValueAt(static_cast<int>(rng() % ds.RecordCount()), codeField)));
  while (static_cast<int>(codes.size()) < kScans) {
    std::string c = "69" + std::to_string(10000000000ULL + rng() % 89999999999ULL);
    if (!known.count(c)) codes.push_back(c);
  }
  std::shuffle(codes.begin(), codes.end(), rng);

  // Both sides must find the same goods for every code.
  std::vector<int> expected;
  for (const std::string& code : codes) {
    const int n = OurScan(ds, code);
    const std::int64_t ourId = n == 1 ? AsInt(ds.ValueAt(0, idField)) : -1;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ReferenceSql(code).c_str(), -1, &st, nullptr);
    int m = 0;
    std::int64_t refId = -1;
    while (sqlite3_step(st) == SQLITE_ROW) {
      ++m;
      refId = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
    if (n != m || n > 1 || ourId != refId || (n == 1) != (known.count(code) == 1)) {
      std::fprintf(stderr, "code %s: ours %d rows (ID %lld), reference %d rows (ID %lld)\n", code.c_str(), n,
                   static_cast<long long>(ourId), m, static_cast<long long>(refId));
      return 1;
    }
    expected.push_back(n);
  }
  const int found = static_cast<int>(std::count(expected.begin(), expected.end(), 1));

  double ours = 1e9, reference = 1e9, off = 1e9, on = 1e9;
  std::uint64_t sink = 0;
  for (int round = 0; round < kRounds; ++round) {
    double offRound = 0, onRound = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kScans; ++i) {
      auto a = std::chrono::steady_clock::now();
      ds.SetFiltered(false);
      auto b = std::chrono::steady_clock::now();
      ds.SetFilter(OurFilter(codes[i]));
      ds.SetFiltered(true);
      auto c = std::chrono::steady_clock::now();
      offRound += Seconds(a, b);
      onRound += Seconds(b, c);
      if (ds.RecordCount() != expected[i]) {
        std::fprintf(stderr, "code %s: %d rows in a timed round\n", codes[i].c_str(), ds.RecordCount());
        return 1;
      }
    }
    auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < kScans; ++i) {
      const std::string sql = ReferenceSql(codes[i]);
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql.c_str(), sqlite3_errmsg(db));
        return 1;
      }
      if (StepAll(st, sink) != expected[i]) {
        std::fprintf(stderr, "code %s: reference changed its answer\n", codes[i].c_str());
        return 1;
      }
      sqlite3_finalize(st);
    }
    auto t2 = std::chrono::steady_clock::now();
    if (Seconds(t0, t1) < ours) {
      ours = Seconds(t0, t1);
      off = offRound;
      on = onRound;
    }
    reference = std::min(reference, Seconds(t1, t2));
  }
  sqlite3_close(db);
  std::printf("%d rows in the list; %d scans, %d codes found, %d unknown\n", 2 * kGoods, kScans, found, kScans - found);
  std::printf("ours: %.2f ms (best of %d): filter off %.2f ms, filter text and on %.2f ms\n", ours * 1e3, kRounds,
              off * 1e3, on * 1e3);
  std::printf("sqlite3 :memory: indexed query, prepared per scan, reading every column: %.2f ms (best of %d)  [%llu]\n",
              reference * 1e3, kRounds, static_cast<unsigned long long>(sink % 10));
  std::printf("barcode ratio %.2f (goal ≤ 0.5)\n", ours / reference);
  return 0;
}
