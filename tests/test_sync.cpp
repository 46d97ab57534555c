// The server link end to end: replication and draft upload against a real y6server.
#include "TestSupport.h"
#include "U_Curl.h"
#include "U_Data.h"
#include "U_Gbk.h"
#include "U_PublicApi.h"
#include "U_PublicSync.h"
#include "U_PublicUpload.h"

#include <gtest/gtest.h>
#include <QString>
#include <sstream>

#include "U_Config.h"

namespace {

// A fresh server (the demo shop), a fresh local store and a session of 张经理.
class Sync : public ::testing::Test {
protected:
  void SetUp() override {
    server = std::make_unique<TServerProcess>(Y6SERVER, serverDir.Path());
    DM = &dm;
    dm.IHTTP = std::make_unique<TCurlHttp>();
    ProgramDir = QString::fromStdString(local.Dir.Dir());
    SetServerAddress(server->BaseURL(), "demo");
    std::string session = LoginRequest("demo", "zhang", "123456");
    ASSERT_NE(session.rfind("error", 0), 0u) << session;
    SetOnlineSession(session);
    Session = TSession{};
    Session.LoginName = "zhang";
    Session.Password = "123456";
    Session.Roles = "|1|";
  }
  void TearDown() override {
    SetOnlineSession("");
    Session = TSession{};
    DM = nullptr;
  }
  // Runs SQLite text on the server's database; the reply (a table or "ok n").
  std::string ServerSql(const std::string& sql) { return server->Admin("/__admin/query?db=demo&sql=" + UrlEncode(sql)); }
  int ServerCount(const std::string& sql) {
    std::string r = ServerSql(sql);
    std::istringstream in(r);
    std::string header, value;
    std::getline(in, header);
    std::getline(in, value);
    return std::stoi(value);
  }
  // Decoded queries of the API requests so far.
  std::vector<std::string> Log() {
    std::vector<std::string> lines;
    std::istringstream in(server->Admin("/__admin/log"));
    for (std::string l; std::getline(in, l);)
      if (!l.empty()) lines.push_back(l);
    return lines;
  }
  int Requests(const std::string& part) {
    int n = 0;
    for (auto& l : Log())
      if (l.find(part) != std::string::npos) ++n;
    return n;
  }
  int LocalCount(const std::string& sql) { return static_cast<int>(AsInt(local.Scalar(sql))); }
  void Fault(const std::string& kind, const std::string& on, int n = 1) {
    server->Admin("/__admin/fault?kind=" + kind + "&on=" + on + "&n=" + std::to_string(n));
  }

  TTempDir serverDir;
  std::unique_ptr<TServerProcess> server;
  TFreshStore local;
  TDM dm{local.Dir.Dir() + "WebC.db", std::make_unique<TScriptedMessageBox>()};
};

TEST_F(Sync, PagesOfAThousandRows) {
  struct Case {
    int rows, pages;
  } const cases[] = {{0, 1}, {999, 1}, {1000, 2}, {2500, 3}};
  for (auto& c : cases) {
    ServerSql("DELETE FROM 价格方案");
    if (c.rows > 0)
      ServerSql("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM n WHERE x<" + std::to_string(c.rows) +
                ") INSERT INTO 价格方案 (ID,方案名称) SELECT x,'方案'||x FROM n");
    dm.ADOC.Execute("Delete From 价格方案");
    const int before = Requests("From 价格方案 Where ID>");
    EXPECT_EQ(DownloadTable("价格方案", "*", ""), "\r价格方案 " + std::to_string(c.rows) + " 条记录");
    EXPECT_EQ(Requests("From 价格方案 Where ID>") - before, c.pages) << c.rows;
    EXPECT_EQ(LocalCount("Select Count(*) From 价格方案"), c.rows);
  }
  EXPECT_GT(Requests("Select Top 1000 * From 价格方案 Where ID>0 Order By ID"), 0); // an empty table asks for ID>0
  // An increment brings only what is new.
  ServerSql("INSERT INTO 价格方案 (ID,方案名称) VALUES (9001,'新方案')");
  EXPECT_EQ(DownloadTable("价格方案", "*", ""), "\r价格方案 1 条记录");
  EXPECT_GT(Requests("Where ID>2500 Order By ID"), 0);
}

TEST_F(Sync, FullDownloadFillsTheStoreInItsOrder) {
  std::string report = DownloadAll();
  std::vector<std::string> tables;
  std::istringstream in(report);
  ASSERT_EQ(report.front(), '\r');
  for (std::string piece; std::getline(in, piece, '\r');)
    if (!piece.empty()) tables.push_back(piece.substr(0, piece.find(' ')));
  EXPECT_EQ(tables, (std::vector<std::string>{"仓库", "常用分类明细", "价格方案", "客户分类", "客户信息", "库存锁定", "门店信息",
                                              "商品分类", "商品信息", "商品库存", "综合库存", "业务序列号", "现金银行", "职员信息",
                                              "权限", "系统信息", "进销单据", "进销单据明细", "收付款单", "收付款单明细"}));
  EXPECT_EQ(LocalCount("Select Count(*) From 商品信息"), ServerCount("SELECT COUNT(*) FROM 商品信息"));
  EXPECT_EQ(LocalCount("Select Count(*) From 商品库存"), ServerCount("SELECT COUNT(*) FROM 商品库存 WHERE 库存数量<>0"));
  EXPECT_EQ(LocalCount("Select Count(*) From 职员信息 Where 密码='wobrel'"), LocalCount("Select Count(*) From 职员信息") - 1);
  EXPECT_GT(LocalCount("Select Count(*) From 进销单据"), 0);
  // Chinese text comes back as the server holds it.
  std::string name = ServerSql("SELECT 名称 FROM 商品信息 WHERE ID=1");
  name = name.substr(name.find('\n') + 1);
  while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
  if (name.size() >= 2 && name.front() == '"') name = name.substr(1, name.size() - 2);
  EXPECT_EQ(AsText(local.Scalar("Select 名称 From 商品信息 Where ID=1")), name);
}

TEST_F(Sync, TextWithQuotesCommasAndLineBreaksTravelsIntact) {
  ServerSql("INSERT INTO 客户信息 (ID,客户分类ID,名称,地址,停用,分店ID) VALUES (90001,1,'张三, \"李四\" & 王五','一楼\r\n二楼 50%+1',0,1)");
  DownloadTable("客户信息", kCustomerColumns, CustomerFilter());
  EXPECT_EQ(AsText(local.Scalar("Select 名称 From 客户信息 Where ID=90001")), "张三, \"李四\" & 王五");
  EXPECT_EQ(AsText(local.Scalar("Select 地址 From 客户信息 Where ID=90001")), "一楼\r\n二楼 50%+1");
  std::string reply = GbkToUtf8(QueryRequest("Select ID From 客户信息 Where 名称 Like '%& 王%'"));
  EXPECT_NE(reply.find("90001"), std::string::npos) << reply;
}

TEST_F(Sync, RecentBillsWithNothingRecentBringTheNewestRow) {
  ServerSql("UPDATE 进销单据 SET 单据日期=datetime('now','-90 days')");
  int newest = ServerCount("SELECT MAX(ID) FROM 进销单据");
  EXPECT_EQ(DownloadRecent("进销单据", "Select Top 800 * From 进销单据 Where DateDiff(d,单据日期,GetDate())<31 Order By ID"),
            "\r进销单据 1 条记录");
  EXPECT_EQ(LocalCount("Select ID From 进销单据"), newest);
}

TEST_F(Sync, ClearingKeepsBillsAndTemplates) {
  DownloadTable("仓库", "*", "");
  DownloadTable("商品信息", kGoodsColumns, "");
  dm.ADOC.Execute("Insert InTo 进销草稿 (单据编号,单据类型) Values ('SO-141208-本地-001','销售单')");
  ClearStore();
  EXPECT_EQ(LocalCount("Select Count(*) From 商品信息"), 0);
  EXPECT_EQ(LocalCount("Select Count(*) From 仓库"), 1);
  EXPECT_EQ(AsText(local.Scalar("Select 名称 From 仓库")), "所有仓库");
  EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿"), 1);
  EXPECT_EQ(LocalCount("Select Count(*) From YWD"), 30);
}

TEST_F(Sync, AFailedRequestStopsTheSequenceAndTheNextRunGoesOn) {
  DownloadTable("仓库", "*", "");
  const int warehouses = LocalCount("Select Count(*) From 仓库");
  Fault("refuse", "query");
  EXPECT_THROW(DownloadIncrements(), EHttpError);
  Fault("http500", "any");
  try {
    DownloadIncrements();
    FAIL();
  } catch (const EHttpError& e) {
    EXPECT_EQ(e.Status(), 500);
  }
  EXPECT_EQ(LocalCount("Select Count(*) From 仓库"), warehouses); // what came before the failure stays
  DownloadIncrements();
  EXPECT_EQ(LocalCount("Select Count(*) From 商品信息"), ServerCount("SELECT COUNT(*) FROM 商品信息"));
  EXPECT_EQ(LocalCount("Select Count(*) From 仓库"), ServerCount("SELECT COUNT(*) FROM 仓库"));
}

// --- Upload -----------------------------------------------------------------------------------

class Upload_ : public Sync {
protected:
  void Draft(const std::string& no, const std::string& type, double receivable, double payable,
             const std::string& brief, const char* server = "Null") {
    dm.ADOC.Execute("Insert InTo 进销草稿 (单据编号,单据日期,单据类型,摘要,客户ID,合计数量,合计金额,应收,应付,分店ID,服务器) "
                    "Values (" + QuotedStr(no) + ",'2014/12/08'," + QuotedStr(type) + "," + QuotedStr(brief) +
                    ",1,2,20," + std::to_string(receivable) + "," + std::to_string(payable) + ",1," + server + ")");
    dm.ADOC.Execute("Insert InTo 进销草稿明细 (单据编号,仓库ID,仓库名称,商品ID,商品名称,数量,单价,应收金额,附送,分店ID) Values (" +
                    QuotedStr(no) + ",1,Null,1,'手机',1,10,10,0,1)");
    dm.ADOC.Execute("Insert InTo 进销草稿明细 (单据编号,仓库ID,仓库名称,商品ID,商品名称,数量,单价,应收金额,附送,分店ID) Values (" +
                    QuotedStr(no) + ",1,'',2,'耳机',1,10,10,1,1)");
    dm.ADOC.Execute("Insert InTo 序列号草稿 (单据编号,序列号,商品ID,仓库ID) Values (" + QuotedStr(no) + ",'SN-" + no + "',1,1)");
  }
  std::string Number(const std::string& brief) {
    std::string r = ServerSql("SELECT 单据编号 FROM 进销单据 WHERE 摘要='" + brief + "'");
    r = r.substr(r.find('\n') + 1);
    r = r.substr(0, r.find_first_of("\r\n"));
    if (r.size() >= 2 && r.front() == '"') r = r.substr(1, r.size() - 2);
    return r;
  }
  std::string ServerValues(const std::string& sql) {
    std::string r = ServerSql(sql);
    r = r.substr(r.find('\n') + 1);
    return r.substr(0, r.find_first_of("\r\n"));
  }
};

TEST_F(Upload_, BillsGoUpUnderServerNumbersAndAreRenumbered) {
  Draft("IO-141208-本地-001", "进货单", 5, 0, "it's a purchase");
  Draft("SO-141208-本地-001", "销售单", 5, 0, "sale");
  Draft("SO-141208-本地-002", "销售单", 0, 0, "already up", "0");
  UploadReport.clear();
  Upload(kBusinessBills);
  Upload(kFinanceBills);
  EXPECT_EQ(UploadReport, "\r成功上传 2 条进销单据到服务器。\r成功上传 0 条收付款单到服务器。");

  const std::string io = Number("it''s a purchase"), so = Number("sale");
  ASSERT_EQ(io.substr(0, 3), "IO-");
  ASSERT_EQ(so.substr(0, 3), "SO-");
  EXPECT_EQ(ServerValues("SELECT 应收||'/'||应付 FROM 进销单据 WHERE 单据编号='" + io + "'"), "\"0.0/5.0\"");
  EXPECT_EQ(ServerValues("SELECT 应收||'/'||应付 FROM 进销单据 WHERE 单据编号='" + so + "'"), "\"5.0/0.0\"");
  EXPECT_EQ(ServerValues("SELECT COUNT(*) FROM 进销单据明细 WHERE 单据编号='" + io + "' AND 仓库名称 IS NULL"), "2");
  EXPECT_EQ(ServerValues("SELECT COUNT(*) FROM 序列号 WHERE 单据编号='" + so + "'"), "1");
  EXPECT_EQ(ServerValues("SELECT COUNT(*) FROM 进销单据 WHERE 摘要='already up'"), "0");

  for (const std::string& n : {io, so}) {
    EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿 Where 服务器=0 and 单据编号=" + QuotedStr(n)), 1) << n;
    EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿明细 Where 单据编号=" + QuotedStr(n)), 2) << n;
    EXPECT_EQ(LocalCount("Select Count(*) From 序列号草稿 Where 单据编号=" + QuotedStr(n)), 1) << n;
  }
  EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿 Where 单据编号 Like '%本地%' and 服务器 Is Null"), 0);
  // Nothing is left to go up a second time.
  UploadReport.clear();
  Upload(kBusinessBills);
  EXPECT_EQ(UploadReport, "\r成功上传 0 条进销单据到服务器。");
}

TEST_F(Upload_, NoNumberOrARefusedBatchLeavesTheBillForNextTime) {
  Draft("SO-141208-本地-001", "销售单", 0, 0, "first");
  Draft("SO-141208-本地-002", "销售单", 0, 0, "second");
  Fault("emptynumber", "number");
  Fault("refusebatch", "batch");
  UploadReport.clear();
  Upload(kBusinessBills);
  EXPECT_EQ(UploadReport, "\r成功上传 0 条进销单据到服务器。另有 1 条被服务器拒绝，留待下次上传。");
  EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿 Where 服务器 Is Null and 服务器单号 Is Null"), 2);
  UploadReport.clear();
  Upload(kBusinessBills);
  EXPECT_EQ(UploadReport, "\r成功上传 2 条进销单据到服务器。");
  EXPECT_EQ(ServerValues("SELECT COUNT(*) FROM 进销单据 WHERE 摘要 IN ('first','second')"), "2");
}

TEST_F(Upload_, ABatchCommittedWhoseReplyWasLostIsPostedOnce) {
  Draft("SO-141208-本地-001", "销售单", 0, 0, "dropped");
  Fault("commitdrop", "batch");
  UploadReport.clear();
  EXPECT_THROW(Upload(kBusinessBills), EHttpError);
  EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿 Where 服务器 Is Null and 服务器单号 Is Not Null"), 1);
  Upload(kBusinessBills);
  EXPECT_EQ(UploadReport, "\r成功上传 1 条进销单据到服务器。");
  EXPECT_EQ(ServerValues("SELECT COUNT(*) FROM 进销单据 WHERE 摘要='dropped'"), "1");
  const std::string number = Number("dropped");
  EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿 Where 服务器=0 and 单据编号=" + QuotedStr(number)), 1);
  EXPECT_EQ(LocalCount("Select Count(*) From 序列号草稿 Where 单据编号=" + QuotedStr(number)), 1);
}

TEST_F(Upload_, ARefusedConnectionStopsTheUploadAndLosesNothing) {
  Draft("SO-141208-本地-001", "销售单", 0, 0, "refused");
  Fault("refuse", "number");
  EXPECT_THROW(Upload(kBusinessBills), EHttpError);
  EXPECT_EQ(LocalCount("Select Count(*) From 进销草稿 Where 服务器 Is Null and 服务器单号 Is Null"), 1);
  Upload(kBusinessBills);
  EXPECT_EQ(ServerValues("SELECT COUNT(*) FROM 进销单据 WHERE 摘要='refused'"), "1");
}

} // namespace
