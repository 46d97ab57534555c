#include "U_Schema.h"

#include "U_Store.h"

#include <filesystem>
#include <sqlite3.h>
#include <sys/stat.h>

const std::vector<TTableDef>& StoreTables() {
  static const std::vector<TTableDef> tables = {
      // Line templates: every column empty; the Latin names sort before the Chinese ones.
      {"CWD", "ID INTEGER, ZHID INTEGER, ZHBH TEXT, ZHMC TEXT, JE REAL, BZ TEXT"},
      {"YWD", "ID INTEGER, CKID INTEGER, CKMC TEXT, SPID INTEGER, SPBH TEXT, SPMC TEXT, GG TEXT, XH TEXT, "
              "DW TEXT, SL REAL, DJ REAL, CB REAL, JE REAL, BX TEXT, BZ TEXT, ZT BOOLEAN"},

      // Replicas of the server's tables, under the server's IDs.
      {"职员信息", "ID INTEGER PRIMARY KEY, 编号 TEXT, 登陆名 TEXT, 密码 TEXT, 姓名 TEXT, 性别 TEXT, 职称 TEXT, "
                   "级别 TEXT, 学历 TEXT, 部门ID INTEGER, 部门 TEXT, 电话 TEXT, 移动电话 TEXT, 证件号码 TEXT, "
                   "地址 TEXT, 出生日期 DATETIME, 入职日期 DATETIME, 分店ID INTEGER, 类别 TEXT, 角色 TEXT, "
                   "仓库ID INTEGER, 停用 BOOLEAN, USBKEY TEXT, 价格类型ID INTEGER, 维修价格类型ID INTEGER, "
                   "工作台 TEXT, 按商品提成公式 TEXT, 维修提成公式 TEXT"},
      {"门店信息", "ID INTEGER PRIMARY KEY, 编号 TEXT, 名称 TEXT, 负责人 TEXT, 电话 TEXT, 传真 TEXT, 地址 TEXT, "
                   "备注 TEXT, 总公司 BOOLEAN, 管理密码 TEXT, 授权号 TEXT, 是否停用 BOOLEAN, 管理性质 TEXT"},
      {"系统信息", "ID INTEGER PRIMARY KEY, 店间业务互查 BOOLEAN, 店间库存互查 BOOLEAN, 供应商店间共享 BOOLEAN"},
      {"权限", "ID INTEGER PRIMARY KEY, 名称 TEXT, 打开 BOOLEAN, 角色ID INTEGER, 显示 BOOLEAN"},
      {"仓库", "ID INTEGER PRIMARY KEY, 编号 TEXT, 名称 TEXT, 分店ID INTEGER, 负责人ID INTEGER, 备注 TEXT"},
      {"常用分类明细", "ID INTEGER PRIMARY KEY, 类型 TEXT, 类型名称 TEXT"},
      {"价格方案", "ID INTEGER PRIMARY KEY, 方案名称 TEXT"},
      {"客户分类", "ID INTEGER PRIMARY KEY, 名称 TEXT, 类别 TEXT, 分店ID INTEGER"},
      {"客户信息", "ID INTEGER PRIMARY KEY, 客户分类ID INTEGER, 拼音首码 TEXT, 名称 TEXT, 负责人 TEXT, 邮编 TEXT, "
                   "电话 TEXT, QQ TEXT, 微信 TEXT, 助记码 TEXT, 传真 TEXT, 地址 TEXT, 邮箱 TEXT, 网址 TEXT, "
                   "分店ID INTEGER, 经营范围 TEXT, 会员卡号 TEXT"},
      {"商品分类", "ID INTEGER PRIMARY KEY, 编号 TEXT, 名称 TEXT, ParentID INTEGER"},
      {"商品信息", "ID INTEGER PRIMARY KEY, 商品分类ID INTEGER, 拼音首码 TEXT, 名称 TEXT, 单位 TEXT, 助记码 TEXT, "
                   "条形码 TEXT, 品牌 TEXT, 配置 TEXT, 零售价 REAL, 包换期 TEXT, 保修期 TEXT, 分店ID INTEGER, "
                   "系列 TEXT, 型号 TEXT, 产地 TEXT, 序列号管理 BOOLEAN, 系统编号 TEXT, 价格方案ID INTEGER, "
                   "生产日期 DATETIME, 保质期 TEXT, 成本价 REAL"},
      {"库存锁定", "ID INTEGER PRIMARY KEY, 仓库ID INTEGER, 商品ID INTEGER, 锁定数量 REAL, 解锁标记 INTEGER"},
      {"商品库存", "ID INTEGER PRIMARY KEY, 商品ID INTEGER, 仓库ID INTEGER, 库存数量 REAL, 分店ID INTEGER, "
                   "摆放位置 TEXT"},
      {"综合库存", "ID INTEGER PRIMARY KEY, 分店ID INTEGER, 商品ID INTEGER, 库存数量 REAL, 库存成本 REAL, "
                   "库存金额 REAL, 最后进价 REAL, 最后售价 REAL"},
      {"业务序列号", "ID INTEGER PRIMARY KEY, 序列号 TEXT, 商品ID INTEGER, 分店ID INTEGER"},
      {"现金银行", "ID INTEGER PRIMARY KEY, 帐号 TEXT, 名称 TEXT"},
      {"进销单据", "ID INTEGER PRIMARY KEY, 单据编号 TEXT, 单据日期 DATETIME, 单据类型 TEXT, 摘要 TEXT, "
                   "业务员ID INTEGER, 业务员姓名 TEXT, 客户ID INTEGER, 客户名称 TEXT, 合计数量 REAL, 合计金额 REAL, "
                   "制单人ID INTEGER, 制单人姓名 TEXT, 现金银行ID INTEGER, 现金银行名称 TEXT, 实收金额 REAL, "
                   "原始单号 TEXT, 发票类型 TEXT, 出库人ID INTEGER, 出库人姓名 TEXT, 结款日期 DATETIME, "
                   "优惠金额 REAL, 附加费用 REAL, 现金 REAL, 入库人ID INTEGER, 过帐人ID INTEGER, 作废人ID INTEGER, "
                   "分店ID INTEGER, 联系人ID INTEGER, 技术员ID INTEGER, 源仓库ID INTEGER, 源商品ID INTEGER, "
                   "应收 REAL, 应付 REAL"},
      {"进销单据明细", "ID INTEGER PRIMARY KEY, 单据编号 TEXT, 仓库ID INTEGER, 仓库名称 TEXT, 商品ID INTEGER, "
                       "商品名称 TEXT, 数量 REAL, 单位 TEXT, 单价 REAL, 成本 REAL, 应收金额 REAL, 备注 TEXT, "
                       "保修说明 TEXT, 附送 BOOLEAN, 分店ID INTEGER, 源仓库ID INTEGER"},
      {"收付款单", "ID INTEGER PRIMARY KEY, 单据编号 TEXT, 单据日期 DATETIME, 单据类型 TEXT, 摘要 TEXT, "
                   "收款人ID INTEGER, 收款人姓名 TEXT, 客户ID INTEGER, 客户名称 TEXT, 收款金额 REAL, "
                   "制单人ID INTEGER, 制单人姓名 TEXT, 作废人ID INTEGER, 分店ID INTEGER, 过帐人ID INTEGER, "
                   "业务分店ID INTEGER"},
      {"收付款单明细", "ID INTEGER PRIMARY KEY, 单据编号 TEXT, 现金银行ID INTEGER, 现金银行名称 TEXT, 金额 REAL, "
                       "备注 TEXT, 分店ID INTEGER"},

      // Local bills, written only by this client. 服务器单号 holds the server number a bill was
      // sent under until the server is known to hold it, so that a batch whose reply was lost
      // is never posted twice.
      {"进销草稿", "单据编号 TEXT PRIMARY KEY, 单据日期 DATETIME, 单据类型 TEXT, 摘要 TEXT, 业务员ID INTEGER, "
                   "业务员姓名 TEXT, 客户ID INTEGER, 客户名称 TEXT, 合计数量 REAL, 合计金额 REAL, 制单人ID INTEGER, "
                   "制单人姓名 TEXT, 现金银行ID INTEGER, 现金银行名称 TEXT, 实收金额 REAL, 原始单号 TEXT, "
                   "发票类型 TEXT, 出库人ID INTEGER, 出库人姓名 TEXT, 结款日期 DATETIME, 优惠金额 REAL, "
                   "附加费用 REAL, 现金 REAL, 应收 REAL, 应付 REAL, 入库人ID INTEGER, 过帐人ID INTEGER, "
                   "作废人ID INTEGER, 分店ID INTEGER, 联系人ID INTEGER, 技术员ID INTEGER, 源仓库ID INTEGER, "
                   "源商品ID INTEGER, 服务器 INTEGER, 服务器单号 TEXT"},
      {"进销草稿明细", "ID INTEGER PRIMARY KEY AUTOINCREMENT, 单据编号 TEXT, 仓库ID INTEGER, 仓库名称 TEXT, "
                       "商品ID INTEGER, 商品名称 TEXT, 规格型号 TEXT, 数量 REAL, 单位 TEXT, 单价 REAL, 成本 REAL, "
                       "应收金额 REAL, 备注 TEXT, 保修说明 TEXT, 附送 BOOLEAN, 分店ID INTEGER, 源仓库ID INTEGER"},
      {"收付草稿", "单据编号 TEXT PRIMARY KEY, 单据日期 DATETIME, 单据类型 TEXT, 摘要 TEXT, 收款人ID INTEGER, "
                   "收款人姓名 TEXT, 客户ID INTEGER, 客户名称 TEXT, 收款金额 REAL, 制单人ID INTEGER, "
                   "制单人姓名 TEXT, 作废人ID INTEGER, 分店ID INTEGER, 过帐人ID INTEGER, 业务分店ID INTEGER, "
                   "服务器 INTEGER, 服务器单号 TEXT"},
      {"收付草稿明细", "ID INTEGER PRIMARY KEY AUTOINCREMENT, 单据编号 TEXT, 现金银行ID INTEGER, "
                       "现金银行名称 TEXT, 金额 REAL, 备注 TEXT, 分店ID INTEGER"},
      {"序列号草稿", "ID INTEGER PRIMARY KEY AUTOINCREMENT, 单据编号 TEXT, 序列号 TEXT, 分店ID INTEGER, "
                     "仓库ID INTEGER, 仓库名称 TEXT, 商品ID INTEGER, 商品名称 TEXT, 成本 REAL, 目的仓库ID INTEGER, "
                     "单价 REAL"},
  };
  return tables;
}

const std::vector<const char*>& StoreIndexes() {
  static const std::vector<const char*> indexes = {
      "CREATE INDEX 进销单据_单据编号 ON 进销单据(单据编号)",
      "CREATE INDEX 进销单据明细_单据编号 ON 进销单据明细(单据编号)",
      "CREATE INDEX 收付款单_单据编号 ON 收付款单(单据编号)",
      "CREATE INDEX 收付款单明细_单据编号 ON 收付款单明细(单据编号)",
      "CREATE INDEX 进销草稿明细_单据编号 ON 进销草稿明细(单据编号)",
      "CREATE INDEX 收付草稿明细_单据编号 ON 收付草稿明细(单据编号)",
      "CREATE INDEX 序列号草稿_单据编号 ON 序列号草稿(单据编号)",
      "CREATE INDEX 商品库存_商品仓库 ON 商品库存(商品ID, 仓库ID)",
      "CREATE INDEX 综合库存_分店商品 ON 综合库存(分店ID, 商品ID)",
      "CREATE INDEX 业务序列号_序列号 ON 业务序列号(序列号)",
  };
  return indexes;
}

int SchemaVersion() {
  // FNV-1a over the layout text, folded to a positive 31-bit number.
  std::uint32_t h = 2166136261u;
  auto add = [&](const char* s) {
    for (; *s; ++s) h = (h ^ static_cast<unsigned char>(*s)) * 16777619u;
    h = (h ^ '\n') * 16777619u;
  };
  for (auto& t : StoreTables()) {
    add(t.Name);
    add(t.Columns);
  }
  for (auto* i : StoreIndexes()) add(i);
  add(std::to_string(kBusinessBlankLines).c_str());
  add(std::to_string(kFinanceBlankLines).c_str());
  return static_cast<int>(h & 0x7fffffff);
}

void CreateStore(const std::string& path) {
  if (std::filesystem::exists(path)) throw EStoreError("文件已存在: " + path);
  sqlite3* db = nullptr;
  mode_t old = umask(077);
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  umask(old);
  auto exec = [&](const std::string& sql) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
      std::string text = sqlite3_errmsg(db);
      sqlite3_close(db);
      std::filesystem::remove(path);
      throw EStoreError(text, sql);
    }
  };
  if (rc != SQLITE_OK) {
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw EStoreError(text + ": " + path);
  }
  exec("BEGIN");
  for (auto& t : StoreTables()) exec(std::string("CREATE TABLE ") + t.Name + " (" + t.Columns + ")");
  for (auto* i : StoreIndexes()) exec(i);
  for (int i = 0; i < kBusinessBlankLines; ++i) exec("INSERT INTO YWD DEFAULT VALUES");
  for (int i = 0; i < kFinanceBlankLines; ++i) exec("INSERT INTO CWD DEFAULT VALUES");
  exec("PRAGMA user_version=" + std::to_string(SchemaVersion()));
  exec("COMMIT");
  sqlite3_close(db);
  chmod(path.c_str(), 0600);
}
