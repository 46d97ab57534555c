#include "U_PublicSync.h"

#include "U_Data.h"
#include "U_Password.h"
#include "U_PublicApi.h"

const char* const kStaffColumns =
    "ID,编号,登陆名,'wobrel' As 密码,姓名,性别,职称,级别,学历,部门ID,部门,电话,移动电话,证件号码,地址,出生日期,"
    "入职日期,分店ID,类别,角色,仓库ID,停用,USBKEY,价格类型ID,维修价格类型ID,工作台,按商品提成公式,维修提成公式";
const char* const kStoreColumns = "ID,编号,名称,负责人,电话,传真,地址,备注,总公司,Null As 管理密码,Null As 授权号,是否停用,管理性质";
const char* const kCustomerColumns =
    "ID,客户分类ID,拼音首码,名称,负责人,邮编,电话,QQ,微信,助记码,传真,地址,邮箱,网址,分店ID,经营范围,会员卡号";
const char* const kGoodsColumns = "ID,商品分类ID,拼音首码,名称,单位,助记码,条形码,品牌,配置,零售价,包换期,保修期,"
                                  "分店ID,系列,型号,产地,序列号管理,系统编号,价格方案ID";
const char* const kStockColumns = "ID,商品ID,仓库ID,库存数量,分店ID,摆放位置";
const char* const kStoreStockColumns = "ID,分店ID,商品ID,库存数量,库存成本,库存金额,最后进价,最后售价";
const char* const kSerialColumns = "ID,序列号,商品ID,分店ID";
const char* const kRightsColumns = "ID,名称,打开,角色ID,显示";
const char* const kSwitchColumns = "店间业务互查,店间库存互查,供应商店间共享";
const char* const kRightsFilter =
    " and 名称 In ('业务查询','进货单','销售单','收款单','付款单','库存查询','查看成本','供应商','商品信息')";
const char* const kSerialFilter = " and 进出标记=0";

std::string CustomerFilter() { return " and 停用=0" + Session.CustomerFilter + Session.SupplierFilter; }
std::string StockFilter() { return " and 库存数量<>0" + Session.StockFilter; }

namespace {

std::string Piece(const std::string& table, long rows) { return "\r" + table + " " + std::to_string(rows) + " 条记录"; }

std::string DownloadCatalogue();

} // namespace

std::string DownloadTable(const std::string& table, const std::string& columns, const std::string& filter) {
  long pages = 0;
  int n;
  do {
    TValue max = DM->ADOC.Query("Select Max(ID) From " + table).Rows.at(0).at(0);
    const std::string m = IsNull(max) ? "0" : AsText(max);
    std::string reply = QueryRequest("Select Top 1000 " + columns + " From " + table + " Where ID>" + m + filter +
                                     " Order By ID");
    n = ImportReply(table, columns, reply);
    ++pages;
  } while (n == 1000);
  return Piece(table, pages * 1000 + n - 1000);
}

std::string DownloadWhole(const std::string& table, const std::string& where) {
  return Piece(table, ImportReply(table, "*", QueryRequest("Select * From " + table + where)));
}

std::string DownloadRecent(const std::string& table, const std::string& query) {
  std::string reply = QueryRequest(query);
  size_t end = reply.find_first_of("\r\n");
  bool rows = end != std::string::npos && reply.find_first_not_of("\r\n", end) != std::string::npos;
  if (!rows) reply = QueryRequest("Select Top 1 * From " + table + " Order By ID Desc");
  return Piece(table, ImportReply(table, "*", reply));
}

void ClearStore() {
  std::vector<std::string> names = DM->ADOC.TableNames();
  // The first two are the line templates CWD and YWD: Latin names sort before the Chinese.
  for (size_t i = 2; i < names.size(); ++i)
    if (names[i].find("草稿") == std::string::npos) DM->ADOC.Execute("Delete From " + names[i]);
  DM->ADOC.Execute("Insert InTo 仓库 Values (0,'0','所有仓库',0,0,'')");
}

// The first steps, alike in both sequences.
namespace {
std::string DownloadCatalogue() {
  std::string r;
  r += DownloadTable("仓库", "*", "");
  r += DownloadTable("常用分类明细", "*", "");
  r += DownloadTable("价格方案", "*", "");
  r += DownloadTable("客户分类", "*", Session.CustomerFilter);
  r += DownloadTable("客户信息", kCustomerColumns, CustomerFilter());
  r += DownloadTable("库存锁定", "*", "");
  r += DownloadTable("门店信息", kStoreColumns, "");
  r += DownloadTable("商品分类", "*", "");
  r += DownloadTable("商品信息", kGoodsColumns, "");
  return r;
}
} // namespace

std::string DownloadIncrements() {
  std::string r = DownloadCatalogue();
  r += DownloadTable("现金银行", "*", "");
  r += DownloadTable("职员信息", kStaffColumns, "");
  r += DownloadTable("权限", kRightsColumns, kRightsFilter);
  r += DownloadTable("系统信息", kSwitchColumns, "");
  r += DownloadTable("进销单据", "*", Session.BusinessFilter);
  r += DownloadTable("进销单据明细", "*", "");
  r += DownloadTable("收付款单", "*", Session.BusinessFilter);
  r += DownloadTable("收付款单明细", "*", "");
  return r;
}

void RecordSessionPassword() {
  std::string roles = Session.Roles.find('|') == std::string::npos ? ",角色='|'+角色+'|'" : "";
  // The store keeps a salted hash only; the local login verifies the typed password against it.
  DM->ADOC.Execute("Update 职员信息 Set 密码=" + QuotedStr(HashPassword(Session.Password)) + roles +
                   " Where 登陆名=" + QuotedStr(Session.LoginName));
}

std::string DownloadAll() {
  std::string r = DownloadCatalogue();
  r += DownloadTable("商品库存", kStockColumns, StockFilter());
  r += DownloadTable("综合库存", kStoreStockColumns, StockFilter());
  r += DownloadTable("业务序列号", kSerialColumns, kSerialFilter);
  r += DownloadTable("现金银行", "*", "");
  r += DownloadTable("职员信息", kStaffColumns, "");
  RecordSessionPassword();
  r += DownloadTable("权限", kRightsColumns, kRightsFilter);
  r += DownloadTable("系统信息", kSwitchColumns, "");
  r += DownloadRecent("进销单据", "Select Top 800 * From 进销单据 Where DateDiff(d,单据日期,GetDate())<31" +
                                      Session.BusinessFilter + " Order By ID");
  r += DownloadRecent("进销单据明细", "Select Top 1000 D.* From 进销单据明细 D,进销单据 M Where "
                                          "DateDiff(d,M.单据日期,GetDate())<31 and M.单据编号=D.单据编号 Order By D.ID");
  r += DownloadRecent("收付款单", "Select Top 1000 * From 收付款单 Where DateDiff(d,单据日期,GetDate())<31" +
                                      Session.BusinessFilter + " Order By ID");
  r += DownloadRecent("收付款单明细", "Select Top 1000 D.* From 收付款单明细 D,收付款单 M Where "
                                          "DateDiff(d,M.单据日期,GetDate())<31 and M.单据编号=D.单据编号 Order By D.ID");
  return r;
}

bool SuppliersHidden(TDataSet& rights) {
  return !rights.Locate("名称", std::string("供应商")) || rights.AsInteger("显示") == 0;
}

void RefreshLookups() {
  TStore& db = DM->ADOC;
  ReloadDetached(DM->Q_QX, db);
  if (SuppliersHidden(DM->Q_QX)) Session.SupplierFilter = " and 类别<>'供应商'"; // never emptied here
  ReloadDetached(DM->Q_KH, db);
  for (TDataSet* d : {&DM->Q_ZY, &DM->Q_ZH, &DM->Q_CK}) ReloadKeepPosition(*d, db);
  for (TDataSet* d : {&DM->Q_KCSP, &DM->Q_QQ, &DM->Q_KHJL}) ReloadDetached(*d, db);
}
