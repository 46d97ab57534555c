#include "U_Seed.h"

#include "U_ServerPassword.h"
#include "U_ServerDb.h"
#include "U_Sqlite.h"
#include "U_TSqlFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <variant>
#include <vector>

namespace {

// A fixed random sequence (splitmix64): the same shop on every machine.
class TRandom {
public:
  explicit TRandom(std::uint64_t seed) : s_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1)); }
  bool Chance(int percent) { return Range(1, 100) <= percent; }
  template <class T> const T& Pick(const std::vector<T>& v) { return v[Next() % v.size()]; }

private:
  std::uint64_t s_;
};

using TCell = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

TCell I(std::int64_t v) { return v; }
TCell R(double v) { return std::round(v * 100) / 100; }
TCell T(std::string v) { return v; }
const TCell Null = nullptr;

// Appends rows to one table through one prepared statement.
class TInserter {
public:
  TInserter(sqlite3* db, const std::string& table, const std::string& columns)
      : st_(db, "INSERT INTO \"" + table + "\" (" + columns + ") VALUES (" + Marks(columns) + ")") {}
  void Row(const std::vector<TCell>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      int k = static_cast<int>(i + 1);
      if (auto n = std::get_if<std::int64_t>(&cells[i])) st_.Bind(k, *n);
      else if (auto d = std::get_if<double>(&cells[i])) st_.Bind(k, *d);
      else if (auto s = std::get_if<std::string>(&cells[i])) st_.Bind(k, *s);
      else st_.BindNull(k);
    }
    st_.Run();
  }

private:
  static std::string Marks(const std::string& columns) {
    std::string m = "?";
    for (char c : columns)
      if (c == ',') m += ",?";
    return m;
  }
  TStatement st_;
};

std::string Format(const char* fmt, long long v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

// EAN-13 with its check digit.
std::string Barcode(long long body12) {
  std::string s = Format("%012lld", body12);
  int sum = 0;
  for (int i = 0; i < 12; ++i) sum += (s[i] - '0') * (i % 2 ? 3 : 1);
  return s + static_cast<char>('0' + (10 - sum % 10) % 10);
}

// A shop price: whole numbers ending in 9 above 100, halves below 10.
double ShopPrice(TRandom& rnd, int lo, int hi) {
  int p = rnd.Range(lo, hi);
  if (p >= 100) return p / 10 * 10 + 9;
  if (p < 10) return p + (rnd.Chance(50) ? 0.5 : 0.0);
  return p;
}

struct TBrand {
  const char* Name;
  const char* Initials;
};

struct TKind {
  const char* Name;
  const char* Initials;
  int Category;
  const char* Unit;
  int PriceLo, PriceHi;
  bool Serial;
  const char* Warranty;
  std::vector<TBrand> Brands;
  std::vector<const char*> Configs;
};

const std::vector<TKind>& Kinds() {
  static const std::vector<TKind> kinds = {
      {"笔记本电脑", "BJBDN", 2, "台", 3000, 8999, true, "一年",
       {{"联想", "LX"}, {"华为", "HW"}, {"戴尔", "DE"}, {"惠普", "HP"}, {"华硕", "HS"}},
       {"i5/8G/512G", "i7/16G/1T", "R5/16G/512G"}},
      {"台式电脑", "TSDN", 3, "台", 2500, 6999, true, "一年", {{"联想", "LX"}, {"戴尔", "DE"}, {"惠普", "HP"}},
       {"i3/8G/256G", "i5/16G/512G"}},
      {"显示器", "XSQ", 3, "台", 699, 2599, true, "三年", {{"三星", "SX"}, {"飞利浦", "FLP"}, {"AOC", "AOC"}},
       {"24英寸", "27英寸 2K"}},
      {"手机", "SJ", 5, "部", 899, 5999, true, "一年",
       {{"华为", "HW"}, {"小米", "XM"}, {"OPPO", "OPPO"}, {"vivo", "VIVO"}, {"荣耀", "RY"}},
       {"8G+128G", "12G+256G"}},
      {"充电器", "CDQ", 6, "个", 29, 129, false, "半年", {{"公牛", "GN"}, {"品胜", "PS"}, {"绿联", "LL"}}, {"20W", "65W"}},
      {"移动电源", "YDDY", 6, "个", 79, 199, false, "半年", {{"品胜", "PS"}, {"倍思", "BS"}, {"小米", "XM"}},
       {"10000mAh", "20000mAh"}},
      {"耳机", "EJ", 6, "副", 39, 399, false, "半年", {{"漫步者", "MBZ"}, {"华为", "HW"}, {"小米", "XM"}}, {"有线", "蓝牙"}},
      {"U盘", "UP", 8, "个", 29, 149, false, "一年", {{"金士顿", "JSD"}, {"闪迪", "SD"}, {"爱国者", "AGZ"}}, {"32G", "64G", "128G"}},
      {"移动硬盘", "YDYP", 8, "个", 299, 899, false, "三年", {{"西部数据", "XBSJ"}, {"希捷", "XJ"}}, {"1T", "2T"}},
      {"鼠标", "SB", 9, "只", 29, 299, false, "一年", {{"罗技", "LJ"}, {"雷柏", "LB"}, {"双飞燕", "SFY"}}, {"有线", "无线"}},
      {"键盘", "JP", 9, "个", 49, 499, false, "一年", {{"罗技", "LJ"}, {"雷柏", "LB"}, {"达尔优", "DEY"}}, {"薄膜", "机械"}},
      {"墨盒", "MH", 11, "个", 59, 299, false, "无", {{"惠普", "HP"}, {"佳能", "JN"}, {"爱普生", "APS"}}, {"黑色", "彩色"}},
      {"硒鼓", "XG", 11, "个", 199, 699, false, "无", {{"惠普", "HP"}, {"得力", "DL"}}, {"标准容量", "大容量"}},
      {"打印纸", "DYZ", 12, "包", 19, 39, false, "无", {{"得力", "DL"}, {"晨光", "CG"}}, {"A4 70g 500张", "A4 80g 500张"}},
      {"签字笔", "QZB", 12, "支", 2, 9, false, "无", {{"得力", "DL"}, {"晨光", "CG"}}, {"0.5mm 黑", "0.5mm 蓝"}},
  };
  return kinds;
}

struct TGoods {
  int Id;
  std::string Name, Unit, Warranty, Model;
  double Retail, Cost;
  bool Serial;
};

struct TStaff {
  int Id;
  const char* Number;
  const char* Login;
  const char* Name;
  const char* Sex;
  int Store;
  int Role;
  bool Disabled;
  const char* Department;
  int Warehouse;
};

const std::vector<TStaff> kStaff = {
    {1, "001", "zhang", "张经理", "男", 1, 1, false, "管理部", 1},
    {2, "002", "li", "李收银", "女", 1, 2, false, "财务部", 2},
    {3, "003", "wang", "王停用", "男", 1, 2, true, "财务部", 2},
    {4, "004", "zhao", "赵分店", "男", 2, 3, false, "城东分店", 3},
    {5, "005", "sun", "孙库管", "男", 1, 3, false, "仓储部", 1},
    {6, "006", "zhou", "周业务", "女", 2, 3, false, "城东分店", 3},
};

struct TCustomer {
  int Id;
  std::string Name;
  int Store;
  bool Supplier;
};

void Stores(sqlite3* db) {
  TInserter t(db, "门店信息", "ID,编号,名称,负责人,电话,传真,地址,备注,总公司,管理密码,授权号,是否停用,管理性质");
  t.Row({I(1), T("01"), T("总店"), T("张经理"), T("010-62345678"), T("010-62345679"), T("北京市海淀区中关村大街1号"),
         T(""), I(1), T("8888"), T("Y6-2014-0001"), I(0), T("直营")});
  t.Row({I(2), T("02"), T("城东分店"), T("赵分店"), T("010-65123456"), T(""), T("北京市朝阳区建国路88号"), T(""), I(0),
         T("6666"), T("Y6-2014-0002"), I(0), T("直营")});
  TInserter s(db, "系统信息", "ID,店间业务互查,店间库存互查,供应商店间共享");
  s.Row({I(1), I(0), I(1), I(0)});
  TInserter w(db, "仓库", "ID,编号,名称,分店ID,负责人ID,备注");
  w.Row({I(1), T("01"), T("总店仓库"), I(1), I(5), T("")});
  w.Row({I(2), T("02"), T("总店门市"), I(1), I(2), T("柜台")});
  w.Row({I(3), T("03"), T("分店仓库"), I(2), I(4), T("")});
  TInserter a(db, "现金银行", "ID,帐号,名称");
  a.Row({I(1), T("1001"), T("现金")});
  a.Row({I(2), T("6222020200112233445"), T("工商银行")});
  a.Row({I(3), T("6227000012345678901"), T("建设银行")});
  a.Row({I(4), T("zfb-y6shop"), T("支付宝")});
  a.Row({I(5), T("wx-y6shop"), T("微信支付")});
  TInserter c(db, "常用分类明细", "类型,类型名称");
  for (const char* w : {"无", "三个月", "半年", "一年", "两年", "三年"}) c.Row({T("保修期"), T(w)});
  for (const char* w : {"不开票", "普通发票", "增值税发票"}) c.Row({T("发票类型"), T(w)});
  for (const char* w : {"台", "部", "个", "只", "副", "包", "支", "盒"}) c.Row({T("单位"), T(w)});
  TInserter p(db, "价格方案", "ID,方案名称");
  p.Row({I(1), T("零售价")});
  p.Row({I(2), T("批发价")});
  p.Row({I(3), T("会员价")});
}

void StaffAndRights(sqlite3* db, TRandom& rnd) {
  TInserter roles(db, "角色信息", "ID,名称");
  roles.Row({I(1), T("经理")});
  roles.Row({I(2), T("收银员")});
  roles.Row({I(3), T("营业员")});
  // 打开: the right is granted; 显示: what it guards is shown (the supplier list for 供应商).
  const std::vector<std::string> all = {"业务查询", "进货单", "销售单", "收款单", "付款单", "库存查询", "查看成本",
                                        "供应商", "商品信息", "客户信息", "职员管理", "系统设置", "数据备份"};
  const std::vector<std::string> sales = {"业务查询", "销售单", "收款单", "库存查询", "商品信息", "客户信息"};
  TInserter r(db, "权限", "名称,打开,角色ID,显示");
  for (int role = 1; role <= 3; ++role)
    for (auto& name : all) {
      bool granted = role == 1 || (role == 2 && name != "查看成本" && name != "供应商") ||
                     (role == 3 && std::find(sales.begin(), sales.end(), name) != sales.end());
      r.Row({T(name), I(granted), I(role), I(granted)});
    }
  TInserter s(db, "职员信息",
              "ID,编号,登陆名,密码,姓名,性别,职称,级别,学历,部门ID,部门,电话,移动电话,证件号码,地址,出生日期,入职日期,"
              "分店ID,类别,角色,仓库ID,停用,USBKEY,价格类型ID,维修价格类型ID,工作台,按商品提成公式,维修提成公式,"
              "密码散列,密码盐");
  for (const TStaff& p : kStaff) {
    std::string salt = Format("%016llx", static_cast<long long>(rnd.Next() >> 1));
    s.Row({I(p.Id), T(p.Number), T(p.Login), T("******"), T(p.Name), T(p.Sex), T(p.Role == 1 ? "经理" : "职员"),
           T(p.Role == 1 ? "高级" : "普通"), T("大专"), I(p.Store), T(p.Department), T("010-6234567" + std::to_string(p.Id)),
           T("1391000000" + std::to_string(p.Id)), T("11010819850" + Format("%07lld", 1000000 + p.Id * 37)),
           T("北京市"), T("1985-0" + std::to_string(p.Id) + "-15 00:00:00"), T("2012-03-01 00:00:00"), I(p.Store),
           T("职员"), T("|" + std::to_string(p.Role) + "|"), I(p.Warehouse), I(p.Disabled), T(""), I(1), I(1), T(""), T(""),
           T(""), T(PasswordHash(salt, "123456")), T(salt)});
  }
}

std::vector<TGoods> Goods(sqlite3* db, TRandom& rnd, int count) {
  TInserter cat(db, "商品分类", "ID,编号,名称,ParentID");
  const std::vector<std::tuple<int, const char*, const char*, int>> cats = {
      {1, "01", "电脑整机", 0}, {2, "0101", "笔记本", 1},   {3, "0102", "台式机", 1},   {4, "02", "手机通讯", 0},
      {5, "0201", "手机", 4},   {6, "0202", "手机配件", 4}, {7, "03", "电脑配件", 0},   {8, "0301", "存储设备", 7},
      {9, "0302", "键鼠外设", 7}, {10, "04", "办公用品", 0}, {11, "0401", "打印耗材", 10}, {12, "0402", "文具纸品", 10}};
  for (auto& [id, code, name, parent] : cats) cat.Row({I(id), T(code), T(name), I(parent)});

  const std::vector<std::string> series = {"Pro", "Air", "Max", "Lite", "Plus", "S"};
  const std::vector<std::string> places = {"北京", "深圳", "上海", "东莞", "苏州", "杭州"};
  TInserter g(db, "商品信息",
              "ID,商品分类ID,拼音首码,名称,单位,助记码,条形码,品牌,配置,零售价,包换期,保修期,分店ID,系列,型号,产地,"
              "序列号管理,系统编号,价格方案ID,生产日期,保质期,成本价");
  TInserter scheme(db, "方案价格", "价格方案ID,商品ID,价格");
  std::vector<TGoods> goods;
  const auto& kinds = Kinds();
  for (int id = 1; id <= count; ++id) {
    const TKind& k = kinds[(id - 1) % kinds.size()];
    const TBrand& b = k.Brands[((id - 1) / kinds.size()) % k.Brands.size()];
    std::string model = std::string(1, static_cast<char>('A' + id % 26)) + std::to_string(100 + id);
    std::string name = std::string(b.Name) + k.Name + " " + model;
    double retail = ShopPrice(rnd, k.PriceLo, k.PriceHi);
    double cost = std::round(retail * rnd.Range(68, 85)) / 100;
    g.Row({I(id), I(k.Category), T(std::string(b.Initials) + k.Initials + model), T(name), T(k.Unit),
           T(std::string(b.Initials) + model), T(Barcode(692000000000LL + id)), T(b.Name), T(rnd.Pick(k.Configs)),
           R(retail), T(rnd.Chance(50) ? "7天" : "15天"), T(k.Warranty), I(1), T(rnd.Pick(series)), T(model),
           T(rnd.Pick(places)), I(k.Serial), T(Format("SP%05lld", id)), I(1), Null, T(""), R(cost)});
    scheme.Row({I(2), I(id), R(retail * 0.9)});
    scheme.Row({I(3), I(id), R(retail * 0.95)});
    goods.push_back(TGoods{id, name, k.Unit, k.Warranty, model, retail, std::round(cost * 100) / 100, k.Serial});
  }
  return goods;
}

// Every goods in every warehouse (about one row in ten at 0), the stock per store, the serial
// numbers of the pieces in stock and a few locks.
void Stock(sqlite3* db, TRandom& rnd, const std::vector<TGoods>& goods) {
  TInserter s(db, "商品库存", "商品ID,仓库ID,库存数量,分店ID,摆放位置");
  TInserter c(db, "综合库存", "分店ID,商品ID,库存数量,库存成本,库存金额,最后进价,最后售价");
  TInserter sn(db, "业务序列号", "序列号,商品ID,分店ID,进出标记");
  const int storeOf[] = {0, 1, 1, 2};
  long long serial = 0;
  for (const TGoods& g : goods) {
    double perStore[3] = {0, 0, 0};
    for (int w = 1; w <= 3; ++w) {
      int qty = rnd.Chance(10) ? 0 : (g.Serial ? rnd.Range(1, 4) : rnd.Range(1, 60));
      s.Row({I(g.Id), I(w), R(qty), I(storeOf[w]), T(Format("A-%02lld", rnd.Range(1, 20)) + Format("-%02lld", rnd.Range(1, 9)))});
      perStore[storeOf[w]] += qty;
      if (g.Serial)
        for (int k = 0; k < qty; ++k) sn.Row({T(g.Model + Format("-%06lld", ++serial)), I(g.Id), I(storeOf[w]), I(0)});
    }
    for (int store = 1; store <= 2; ++store)
      c.Row({I(store), I(g.Id), R(perStore[store]), R(g.Cost), R(perStore[store] * g.Cost), R(g.Cost),
             R(rnd.Chance(80) ? g.Retail : 0)});
  }
  TInserter l(db, "库存锁定", "仓库ID,商品ID,锁定数量,解锁标记");
  for (int k = 0; k < 12 && k < static_cast<int>(goods.size()); ++k)
    l.Row({I(rnd.Range(1, 3)), I(goods[rnd.Next() % goods.size()].Id), R(rnd.Range(1, 3)), I(k % 3 == 0 ? 1 : 0)});
}

std::vector<TCustomer> Customers(sqlite3* db, TRandom& rnd) {
  TInserter cat(db, "客户分类", "ID,名称,类别,分店ID");
  cat.Row({I(1), T("零售客户"), T("客户"), I(1)});
  cat.Row({I(2), T("批发客户"), T("客户"), I(1)});
  cat.Row({I(3), T("供应商"), T("供应商"), I(1)});
  cat.Row({I(4), T("分店客户"), T("客户"), I(2)});
  cat.Row({I(5), T("分店供应商"), T("供应商"), I(2)});

  TInserter t(db, "客户信息",
              "ID,客户分类ID,拼音首码,名称,负责人,邮编,电话,QQ,微信,助记码,传真,地址,邮箱,网址,分店ID,经营范围,会员卡号,"
              "类别,停用,价格方案ID");
  std::vector<TCustomer> out;
  int id = 0;
  auto add = [&](int category, const std::string& initials, const std::string& name, const std::string& person,
                 int store, bool supplier, bool disabled, int scheme, bool member) {
    ++id;
    std::string qq = rnd.Chance(60) ? std::to_string(rnd.Range(10000000, 99999999)) + std::to_string(rnd.Range(0, 99)) : "";
    t.Row({I(id), I(category), T(initials), T(name), T(person), T("1000" + std::to_string(rnd.Range(10, 99))),
           T("138" + Format("%08lld", rnd.Range(10000000, 99999999))), T(qq), T(qq.empty() ? "" : "wx" + qq),
           T(Format("C%04lld", id)), T(""), T(store == 1 ? "北京市海淀区" : "北京市朝阳区"), T(qq.empty() ? "" : qq + "@qq.com"),
           T(""), I(store), T(supplier ? "电脑及配件批发" : "电脑及配件"), T(member ? Format("VIP%05lld", id) : ""),
           T(supplier ? "供应商" : "客户"), I(disabled), I(scheme)});
    out.push_back(TCustomer{id, name, store, supplier});
  };
  add(1, "SK", "散客", "", 1, false, false, 1, false);
  const std::vector<std::pair<const char*, const char*>> surnames = {
      {"王", "W"}, {"李", "L"}, {"张", "Z"}, {"刘", "L"}, {"陈", "C"}, {"杨", "Y"}, {"黄", "H"}, {"赵", "Z"}, {"周", "Z"}, {"吴", "W"}};
  const std::vector<std::pair<const char*, const char*>> given = {
      {"伟", "W"}, {"芳", "F"}, {"娜", "N"}, {"敏", "M"}, {"静", "J"}, {"磊", "L"}, {"强", "Q"}, {"洋", "Y"}, {"艳", "Y"}, {"军", "J"}};
  for (int k = 0; k < 16; ++k) { // members of the shop, three of them at the branch
    auto& s = surnames[k % surnames.size()];
    auto& g = given[(k * 3 + 1) % given.size()];
    int store = k % 5 == 4 ? 2 : 1;
    add(store == 2 ? 4 : 1, std::string(s.second) + g.second, std::string(s.first) + g.first, std::string(s.first) + g.first,
        store, false, k == 7, k % 4 == 0 ? 3 : 1, true);
  }
  const std::vector<std::pair<const char*, const char*>> cities = {
      {"北京", "BJ"}, {"天津", "TJ"}, {"石家庄", "SJZ"}, {"保定", "BD"}, {"廊坊", "LF"}, {"唐山", "TS"}};
  const std::vector<std::pair<const char*, const char*>> words = {
      {"华联", "HL"}, {"新星", "XX"}, {"宏达", "HD"}, {"金桥", "JQ"}, {"东方", "DF"}, {"瑞丰", "RF"}, {"恒通", "HT"}};
  const std::vector<std::pair<const char*, const char*>> endings = {
      {"商贸有限公司", "SMYXGS"}, {"电脑城", "DNC"}, {"科技有限公司", "KJYXGS"}, {"办公用品店", "BGYPD"}};
  for (int k = 0; k < 14; ++k) { // wholesale customers
    auto& c = cities[k % cities.size()];
    auto& w = words[(k * 2 + 1) % words.size()];
    auto& e = endings[k % endings.size()];
    int store = k % 4 == 3 ? 2 : 1;
    add(store == 2 ? 4 : 2, std::string(c.second) + w.second + e.second, std::string(c.first) + w.first + e.first,
        surnames[k % surnames.size()].first + std::string("经理"), store, false, k == 5, 2, false);
  }
  const std::vector<std::pair<const char*, const char*>> suppliers = {
      {"深圳华强电子有限公司", "SZHQDZYXGS"}, {"联想北京分销中心", "LXBJFXZX"},   {"中关村科技贸易公司", "ZGCKJMYGS"},
      {"广州天河数码批发部", "GZTHSMPFB"},   {"上海浦东办公用品公司", "SHPDBGYPGS"}, {"北京京东方配件商行", "BJJDFPJSH"},
      {"华为北京授权分销商", "HWBJSQFXS"},   {"朝阳数码配件批发", "CYSMPJPF"}};
  for (size_t k = 0; k < suppliers.size(); ++k) {
    int store = k >= 6 ? 2 : 1;
    add(store == 2 ? 5 : 3, suppliers[k].second, suppliers[k].first, surnames[(k + 3) % surnames.size()].first + std::string("总"),
        store, true, false, 1, false);
  }
  return out;
}

// Purchases, sales and returns, receipts and payments over the last 40 days.
void Bills(sqlite3* db, TRandom& rnd, const std::vector<TGoods>& goods, const std::vector<TCustomer>& customers) {
  TInserter h(db, "进销单据",
              "单据编号,单据日期,单据类型,摘要,业务员ID,业务员姓名,客户ID,客户名称,合计数量,合计金额,制单人ID,制单人姓名,"
              "现金银行ID,现金银行名称,实收金额,原始单号,发票类型,出库人ID,出库人姓名,结款日期,优惠金额,附加费用,现金,"
              "入库人ID,过帐人ID,作废人ID,分店ID,联系人ID,技术员ID,源仓库ID,源商品ID,应收,应付");
  TInserter d(db, "进销单据明细",
              "单据编号,仓库ID,仓库名称,商品ID,商品名称,数量,单位,单价,成本,应收金额,备注,保修说明,附送,分店ID,源仓库ID");
  TInserter sn(db, "序列号", "单据编号,序列号,分店ID,仓库ID,仓库名称,商品ID,商品名称,成本,目的仓库ID,单价");
  TInserter bs(db, "业务序列号", "序列号,商品ID,分店ID,进出标记");
  TInserter f(db, "收付款单",
              "单据编号,单据日期,单据类型,摘要,收款人ID,收款人姓名,客户ID,客户名称,收款金额,制单人ID,制单人姓名,作废人ID,"
              "分店ID,过帐人ID,业务分店ID");
  TInserter fd(db, "收付款单明细", "单据编号,现金银行ID,现金银行名称,金额,备注,分店ID");

  const char* accounts[] = {"", "现金", "工商银行", "建设银行", "支付宝", "微信支付"};
  const char* warehouses[] = {"", "总店仓库", "总店门市", "分店仓库"};
  struct TKindOfBill {
    const char* Code;
    const char* Name;
    bool Purchase;
  };
  const std::vector<TKindOfBill> kinds = {{"SO", "销售单", false}, {"SO", "销售单", false}, {"SO", "销售单", false},
                                          {"SO", "销售单", false}, {"IO", "进货单", true},  {"IO", "进货单", true},
                                          {"SB", "销售退货单", false}, {"IB", "进货退货单", true}};
  std::vector<const TCustomer*> buyers[3], sellers[3];
  for (auto& c : customers) (c.Supplier ? sellers : buyers)[c.Store].push_back(&c);
  size_t pool = std::min<size_t>(goods.size(), 300); // bills use the common goods only
  long long serial = 0;

  for (int ago = 40; ago >= 0; --ago) {
    int bills = rnd.Range(2, 4);
    for (int b = 0; b < bills; ++b) {
      const TKindOfBill& k = rnd.Pick(kinds);
      int store = rnd.Chance(75) ? 1 : 2;
      const TStaff& clerk = store == 1 ? kStaff[rnd.Chance(50) ? 0 : 1] : kStaff[rnd.Chance(50) ? 3 : 5];
      const TStaff& keeper = store == 1 ? kStaff[4] : kStaff[3];
      int warehouse = store == 1 ? rnd.Range(1, 2) : 3;
      auto& partners = k.Purchase ? sellers[store] : buyers[store];
      const TCustomer& partner = *partners[rnd.Next() % partners.size()];
      std::string when = ServerDaysAgo(ago, rnd.Range(9, 20), rnd.Range(0, 59), rnd.Range(0, 59));
      std::string day = when.substr(0, 4) + when.substr(5, 2) + when.substr(8, 2);
      std::string number = NumberBill(db, k.Code, day);
      int lines = rnd.Range(1, 5);
      double qtyTotal = 0, total = 0;
      std::string first;
      for (int l = 0; l < lines; ++l) {
        const TGoods& g = goods[rnd.Next() % pool];
        int qty = g.Serial ? rnd.Range(1, 2) : rnd.Range(1, 5);
        double price = k.Purchase ? g.Cost : g.Retail;
        if (first.empty()) first = g.Name;
        qtyTotal += qty;
        total += qty * price;
        d.Row({T(number), I(warehouse), T(warehouses[warehouse]), I(g.Id), T(g.Name), R(qty), T(g.Unit), R(price), R(g.Cost),
               R(qty * price), T(""), T(g.Warranty), I(0), I(store), I(0)});
        if (!g.Serial) continue;
        for (int u = 0; u < qty; ++u) {
          std::string s = g.Model + Format("-B%05lld", ++serial);
          sn.Row({T(number), T(s), I(store), I(warehouse), T(warehouses[warehouse]), I(g.Id), T(g.Name), R(g.Cost), I(0),
                  R(price)});
          bs.Row({T(s), I(g.Id), I(store), I(k.Code[0] == 'I' && k.Code[1] == 'O' ? 0 : 1)});
        }
      }
      int account = rnd.Range(1, 5);
      bool credit = rnd.Chance(20);
      double paid = credit ? 0 : total;
      double owed = credit ? total : 0;
      bool audited = !rnd.Chance(15);
      h.Row({T(number), T(when), T(k.Name), T("【" + first + "】等商品"), I(clerk.Id), T(clerk.Name), I(partner.Id),
             T(partner.Name), R(qtyTotal), R(total), I(clerk.Id), T(clerk.Name), I(account), T(accounts[account]), R(paid),
             T(""), T(rnd.Chance(70) ? "不开票" : "普通发票"), I(keeper.Id), T(keeper.Name), T(when.substr(0, 10) + " 00:00:00"),
             R(0), R(0), R(paid), I(0), I(audited ? (store == 1 ? 1 : 4) : 0), I(0), I(store), I(0), I(0), I(0), I(0),
             R(k.Purchase ? 0 : owed), R(k.Purchase ? owed : 0)});
    }
    if (ago % 2 == 0) { // a receipt or a payment every other day
      bool receipt = rnd.Chance(60);
      int store = rnd.Chance(75) ? 1 : 2;
      auto& partners = receipt ? buyers[store] : sellers[store];
      const TCustomer& partner = *partners[rnd.Next() % partners.size()];
      const TStaff& clerk = store == 1 ? kStaff[1] : kStaff[3];
      std::string when = ServerDaysAgo(ago, rnd.Range(9, 20), rnd.Range(0, 59), rnd.Range(0, 59));
      std::string day = when.substr(0, 4) + when.substr(5, 2) + when.substr(8, 2);
      std::string number = NumberBill(db, receipt ? "SK" : "FK", day);
      int lines = rnd.Range(1, 2);
      double total = 0;
      for (int l = 0; l < lines; ++l) {
        int account = rnd.Range(1, 5);
        double amount = rnd.Range(2, 300) * 10;
        total += amount;
        fd.Row({T(number), I(account), T(accounts[account]), R(amount), T(l ? "尾款" : ""), I(store)});
      }
      f.Row({T(number), T(when), T(receipt ? "收款单" : "付款单"), T(receipt ? "收货款" : "付货款"), I(clerk.Id),
             T(clerk.Name), I(partner.Id), T(partner.Name), R(total), I(clerk.Id), T(clerk.Name), I(0), I(store),
             I(store == 1 ? 1 : 4), I(store)});
    }
  }
}

} // namespace

void SeedDemoShop(sqlite3* db, const TSeedOptions& options) {
  if (options.Goods < 1) throw std::invalid_argument("the demo shop needs at least one goods");
  TRandom rnd(20141208);
  Stores(db);
  StaffAndRights(db, rnd);
  std::vector<TGoods> goods = Goods(db, rnd, options.Goods);
  Stock(db, rnd, goods);
  std::vector<TCustomer> customers = Customers(db, rnd);
  Bills(db, rnd, goods, customers);
  TInserter info(db, "服务器信息", "键,值");
  info.Row({T("商品数"), T(std::to_string(options.Goods))});
  info.Row({T("建立时间"), T(ServerNow())});
}
