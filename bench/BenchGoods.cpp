#include "BenchGoods.h"

#include "U_Schema.h"

#include <sqlite3.h>

#include <cstdio>
#include <random>
#include <stdexcept>
#include <unordered_set>

namespace fs = std::filesystem;

const char* const kGoodsInStockSql =
    "Select SG.*,GS.库存数量,CS.最后进价,CS.最后售价 From (((Select G.ID,G.拼音首码,G.名称,G.助记码,G.条形码,"
    "G.零售价,G.系列+G.型号 As 规格型号,G.产地,G.单位,G.配置,G.序列号管理,G.生产日期,G.保质期,S.ID As 仓库ID,"
    "S.名称 As 仓库 From 商品信息 G,仓库 S Where S.分店ID=:FID) SG Left Join 商品库存 GS On SG.ID=GS.商品ID and "
    "SG.仓库ID=GS.仓库ID) Left Join 综合库存 CS On GS.分店ID=CS.分店ID and GS.商品ID=CS.商品ID)";

namespace {

// A word of a goods name and its pinyin initials.
struct TWord {
  const char* Text;
  const char* Initials;
  int Chars() const { return static_cast<int>(std::char_traits<char>::length(Text) / 3); } // CJK: 3 bytes
};

const TWord kBrands[] = {{"华为", "HW"},   {"小米", "XM"},   {"联想", "LX"},   {"三星", "SX"},     {"苹果", "PG"},
                         {"罗技", "LJ"},   {"金士顿", "JSD"}, {"佳能", "JN"},   {"爱国者", "AGZ"},  {"美的", "MD"},
                         {"格力", "GL"},   {"飞利浦", "FLP"}, {"索尼", "SN"},   {"海尔", "HE"}};
const TWord kModifiers[] = {{"无线", "WX"}, {"蓝牙", "LY"}, {"高清", "GQ"}, {"智能", "ZN"},
                            {"便携", "BX"}, {"超薄", "CB"}, {"快充", "KC"}, {"迷你", "MN"}};
const TWord kProducts[] = {{"手机", "SJ"},     {"充电器", "CDQ"},   {"耳机", "EJ"},     {"鼠标", "SB"},
                           {"键盘", "JP"},     {"显示器", "XSQ"},   {"路由器", "LYQ"},  {"打印机", "DYJ"},
                           {"移动电源", "YDDY"}, {"数据线", "SJX"},   {"音箱", "YX"},     {"平板", "PB"},
                           {"笔记本", "BJB"},   {"硬盘", "YP"},     {"内存条", "NCT"},  {"摄像头", "SXT"},
                           {"电视机", "DSJ"},   {"手表", "SB"},     {"电饭煲", "DFB"},  {"空调", "KT"}};
const TWord kSuffixes[] = {{"套装", "TZ"}, {"配件", "PJ"}, {"保护壳", "BHK"}};

template <size_t N> const TWord& Pick(const TWord (&a)[N], std::mt19937& rng) { return a[rng() % N]; }

// A name of 2 to 8 characters and its initials.
std::pair<std::string, std::string> MakeName(std::mt19937& rng) {
  for (;;) {
    std::vector<const TWord*> w;
    int shape = static_cast<int>(rng() % 20);
    const TWord& p = Pick(kProducts, rng);
    if (shape < 2) w = {&p};                                                  // 10%: 手机
    else if (shape < 10) w = {&Pick(kBrands, rng), &p};                       // 40%: 华为手机
    else if (shape < 13) w = {&Pick(kModifiers, rng), &p};                    // 15%: 无线鼠标
    else if (shape < 18) w = {&Pick(kBrands, rng), &Pick(kModifiers, rng), &p}; // 25%: 小米快充充电器
    else w = {&Pick(kBrands, rng), &p, &Pick(kSuffixes, rng)};                // 10%: 苹果手机保护壳
    int chars = 0;
    std::string name, initials;
    for (const TWord* x : w) {
      chars += x->Chars();
      name += x->Text;
      initials += x->Initials;
    }
    if (chars >= 2 && chars <= 8) return {name, initials};
  }
}

void Check(sqlite3* db, int rc, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

// One prepared insert, bound by position and run once per row.
class TInsert {
public:
  TInsert(sqlite3* db, const std::string& sql) : db_(db) {
    Check(db, sqlite3_prepare_v2(db, sql.c_str(), -1, &st_, nullptr), sql.c_str());
  }
  ~TInsert() { sqlite3_finalize(st_); }
  TInsert& Bind(int i, const TValue& v) {
    if (auto n = std::get_if<std::int64_t>(&v)) sqlite3_bind_int64(st_, i, *n);
    else if (auto d = std::get_if<double>(&v)) sqlite3_bind_double(st_, i, *d);
    else if (auto t = std::get_if<std::string>(&v))
      sqlite3_bind_text(st_, i, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    else sqlite3_bind_null(st_, i);
    return *this;
  }
  void Run() {
    Check(db_, sqlite3_step(st_), "insert");
    sqlite3_reset(st_);
  }

private:
  sqlite3* db_;
  sqlite3_stmt* st_ = nullptr;
};

double Money(std::mt19937& rng, int lo, int hi) { return lo + static_cast<int>(rng() % ((hi - lo) * 100)) / 100.0; }

} // namespace

static void MakeGoodsStore(const fs::path& path, int goods) {
  CreateStore(path.string());
  TStore store(path.string());
  sqlite3* db = store.Handle();
  std::mt19937 rng(20240601);
  const char* units[] = {"台", "个", "只", "套", "盒", "部"};
  const char* origins[] = {"中国广东", "中国江苏", "中国上海", "中国浙江", "韩国", "日本"};
  {
    TTransaction t(store);
    Check(db, sqlite3_exec(db,
                           "INSERT INTO 仓库 (ID,编号,名称,分店ID) VALUES (1,'01','主仓库',1),(2,'02','门店仓',1),"
                           "(3,'01','分店仓库',2)",
                           nullptr, nullptr, nullptr),
          "仓库");
    TInsert g(db, "INSERT INTO 商品信息 (ID,商品分类ID,拼音首码,名称,单位,助记码,条形码,品牌,配置,零售价,分店ID,"
                  "系列,型号,产地,序列号管理,生产日期,保质期,成本价) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    TInsert gs(db, "INSERT INTO 商品库存 (商品ID,仓库ID,库存数量,分店ID) VALUES (?,?,?,1)");
    TInsert cs(db, "INSERT INTO 综合库存 (分店ID,商品ID,库存数量,库存成本,库存金额,最后进价,最后售价) "
                   "VALUES (1,?,?,?,?,?,?)");
    std::unordered_set<std::string> codes;
    for (int id = 1; id <= goods; ++id) {
      auto [name, initials] = MakeName(rng);
      std::string code;
      do {
        char buf[16];
        std::snprintf(buf, sizeof buf, "69%011llu", static_cast<unsigned long long>(rng()) * 977 % 100000000000ULL);
        code = buf;
      } while (!codes.insert(code).second);
      const double price = Money(rng, 5, 8000);
      const bool serial = rng() % 5 == 0;
      char model[16];
      std::snprintf(model, sizeof model, "-%d", 100 + static_cast<int>(rng() % 900));
      g.Bind(1, std::int64_t{id})
          .Bind(2, std::int64_t{1 + static_cast<int>(rng() % 30)})
          .Bind(3, initials)
          .Bind(4, name)
          .Bind(5, std::string(units[rng() % 6]))
          .Bind(6, "ZJ" + std::to_string(id))
          .Bind(7, code)
          .Bind(8, std::string(kBrands[rng() % 14].Text))
          .Bind(9, std::string(rng() % 3 ? "标准配置" : "标准配置,含原装配件"))
          .Bind(10, price)
          .Bind(11, std::int64_t{1})
          .Bind(12, std::string(1, static_cast<char>('A' + rng() % 6)))
          .Bind(13, std::string(model))
          .Bind(14, std::string(origins[rng() % 6]))
          .Bind(15, std::int64_t{serial})
          .Bind(16, rng() % 4 ? TValue{} : TValue{"2023/0" + std::to_string(1 + rng() % 9) + "/15"})
          .Bind(17, std::string(rng() % 2 ? "12个月" : "24个月"))
          .Bind(18, price * 0.8)
          .Run();
      double total = 0;
      bool any = false;
      for (int w : {1, 2}) {
        if (static_cast<int>(rng() % 100) >= (w == 1 ? 70 : 30)) continue;
        const double qty = static_cast<double>(rng() % 60); // some are sold out
        gs.Bind(1, std::int64_t{id}).Bind(2, std::int64_t{w}).Bind(3, qty).Run();
        total += qty;
        any = true;
      }
      if (any)
        cs.Bind(1, std::int64_t{id}).Bind(2, total).Bind(3, price * 0.8).Bind(4, total * price * 0.8)
            .Bind(5, price * 0.8).Bind(6, price).Run();
    }
    t.Commit();
  }
  store.Close();
}

void LoadGoodsInStock(TDataSet& ds, const std::filesystem::path& dir, int goods) {
  MakeGoodsStore(dir / "WebC.db", goods);
  TStore store((dir / "WebC.db").string());
  ds.Connection = &store;
  ds.SQL = kGoodsInStockSql;
  ds.SetParam(":FID", std::string("1"));
  ds.Open();
  ds.Connection = nullptr; // the rows stay; the store goes
  if (ds.RecordCount() != 2 * goods)
    throw std::runtime_error("the list has " + std::to_string(ds.RecordCount()) + " rows, not " +
                             std::to_string(2 * goods));
}

sqlite3* CopyToMemory(const TDataSet& ds) {
  sqlite3* db = nullptr;
  if (sqlite3_open(":memory:", &db) != SQLITE_OK) throw std::runtime_error("sqlite3_open(:memory:)");
  std::string cols, marks;
  for (const TFieldDef& f : ds.Fields()) {
    const char* type = f.Type == TFieldType::Integer || f.Type == TFieldType::Bool ? "INTEGER"
                       : f.Type == TFieldType::Real                                 ? "REAL"
                                                                                    : "TEXT";
    cols += (cols.empty() ? "\"" : ",\"") + f.Name + "\" " + type;
    marks += marks.empty() ? "?" : ",?";
  }
  Check(db, sqlite3_exec(db, ("CREATE TABLE list (" + cols + ")").c_str(), nullptr, nullptr, nullptr), "list");
  Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "BEGIN");
  {
    TInsert ins(db, "INSERT INTO list VALUES (" + marks + ")");
    const int n = static_cast<int>(ds.Fields().size());
    for (int r = 0; r < ds.RecordCount(); ++r) {
      for (int f = 0; f < n; ++f) ins.Bind(f + 1, ds.ValueAt(r, f));
      ins.Run();
    }
  }
  Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "COMMIT");
  Check(db, sqlite3_exec(db, "CREATE INDEX list_条形码 ON list(条形码)", nullptr, nullptr, nullptr), "index");
  return db;
}

int StepAll(sqlite3_stmt* st, std::uint64_t& sink) {
  const int n = sqlite3_column_count(st);
  int rows = 0, rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    ++rows;
    for (int i = 0; i < n; ++i) switch (sqlite3_column_type(st, i)) {
      case SQLITE_INTEGER: sink += static_cast<std::uint64_t>(sqlite3_column_int64(st, i)); break;
      case SQLITE_FLOAT: sink += static_cast<std::uint64_t>(sqlite3_column_double(st, i)); break;
      case SQLITE_NULL: break;
      default:
        sink += reinterpret_cast<const unsigned char*>(sqlite3_column_text(st, i))[0];
        sink += static_cast<std::uint64_t>(sqlite3_column_bytes(st, i));
      }
  }
  if (rc != SQLITE_DONE) throw std::runtime_error("step failed");
  return rows;
}

TBenchDir::TBenchDir()
    : path_(fs::temp_directory_path() / ("y6bench-" + std::to_string(std::random_device{}()))) {
  fs::create_directories(path_);
}

TBenchDir::~TBenchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}
