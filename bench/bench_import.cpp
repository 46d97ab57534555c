// Import of a 100,000-row goods reply into a fresh store, against the sqlite3 shell's
// ".import --csv" of the same rows into the same table of another fresh store.
#include "U_Gbk.h"
#include "U_Import.h"
#include "U_Schema.h"
#include "U_Store.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

const char* const kGoodsColumns = "ID,商品分类ID,拼音首码,名称,单位,助记码,条形码,品牌,配置,零售价,包换期,保修期,"
                                  "分店ID,系列,型号,产地,序列号管理,系统编号,价格方案ID";
constexpr int kRows = 100000;

// The rows as the server writes them (UTF-8 here; GBK on the wire).
std::string MakeReply() {
  const char* names[] = {"华为手机", "小米充电器", "联想笔记本电脑", "罗技无线鼠标", "金士顿U盘", "三星显示器",
                         "飞利浦耳机", "TP-LINK路由器", "佳能打印机", "爱国者移动电源"};
  const char* units[] = {"台", "个", "只", "套", "盒"};
  const char* brands[] = {"华为", "小米", "联想", "罗技", "金士顿"};
  std::mt19937 rng(42);
  std::string r = std::string(kGoodsColumns) + "\r\n";
  r.reserve(kRows * 160);
  char line[1024];
  for (int i = 1; i <= kRows; ++i) {
    int k = static_cast<int>(rng() % 10);
    std::snprintf(line, sizeof line,
                  "%d,%d,\"HW%d\",\"%s %d型\",\"%s\",\"ZJ%05d\",\"69%011d\",\"%s\",\"标准配置, 含\"\"原装\"\"配件\","
                  "%d.%02d,\"7天\",\"一年\",1,\"S%d\",\"M-%d\",\"中国广东\",%s,\"SP%06d\",%d\r\n",
                  i, 1 + k, i, names[k], i, units[k % 5], i, i, brands[k % 5], 10 + static_cast<int>(rng() % 5000),
                  static_cast<int>(rng() % 100), k, i, (i % 7 == 0) ? "True" : "False", i, 1 + i % 3);
    r += line;
  }
  return r;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

} // namespace

int main() {
  const fs::path root = fs::temp_directory_path() / ("y6bench-" + std::to_string(std::random_device{}()));
  fs::create_directories(root);
  const std::string utf8 = MakeReply();
  const std::string gbk = Utf8ToGbk(utf8);

  // The shell reads UTF-8 and matches columns by position: the table's three last columns,
  // which the goods download does not bring, are given empty.
  const fs::path csv = root / "goods.csv";
  {
    std::ofstream f(csv, std::ios::binary);
    size_t start = 0;
    while (start < utf8.size()) {
      size_t end = utf8.find("\r\n", start);
      f << utf8.substr(start, end - start) << ",,,\r\n";
      start = end + 2;
    }
  }

  double ours = 1e9, reference = 1e9;
  int imported = 0;
  for (int run = 0; run < 3; ++run) {
    const fs::path a = root / ("ours" + std::to_string(run));
    fs::create_directories(a);
    CreateStore((a / "WebC.db").string());
    TStore store((a / "WebC.db").string());
    auto t0 = std::chrono::steady_clock::now();
    imported = ImportReplyTable(store, a.string() + "/", "商品信息", kGoodsColumns, gbk);
    store.Close();
    auto t1 = std::chrono::steady_clock::now();
    ours = std::min(ours, Seconds(t0, t1));

    const fs::path b = root / ("ref" + std::to_string(run) + ".db");
    CreateStore(b.string());
    std::string cmd = "sqlite3 '" + b.string() + "' \".import --csv --skip 1 '" + csv.string() + "' 商品信息\"";
    auto t2 = std::chrono::steady_clock::now();
    int rc = std::system(cmd.c_str());
    auto t3 = std::chrono::steady_clock::now();
    if (rc != 0) {
      std::fprintf(stderr, "sqlite3 .import failed (%d)\n", rc);
      return 1;
    }
    reference = std::min(reference, Seconds(t2, t3));
    TStore check(b.string());
    if (AsInt(check.Query("Select Count(*) From 商品信息").Rows[0][0]) != kRows) {
      std::fprintf(stderr, "reference imported a wrong number of rows\n");
      return 1;
    }
  }
  fs::remove_all(root);
  if (imported != kRows) {
    std::fprintf(stderr, "ours imported %d rows, not %d\n", imported, kRows);
    return 1;
  }
  std::printf("ours: %d goods rows in %.3f s (best of 3)\n", imported, ours);
  std::printf("sqlite3 .import --csv: %d rows in %.3f s (best of 3)\n", kRows, reference);
  std::printf("import ratio %.2f (goal ≤ 1.5)\n", ours / reference);
  return 0;
}
