// y6server as the client meets it: the real program on a port of its own with a fresh data
// directory, spoken to over plain HTTP with the bytes the client would send.
#include "TestSupport.h"
#include "U_Gbk.h"

#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <ctime>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The y6server of these tests.
struct TDevServerProcess : TServerProcess {
  explicit TDevServerProcess(const std::filesystem::path& dataDir) : TServerProcess(Y6SERVER, dataDir) {}
};

// The client's request encoding: a blank, "*", "#", "%", "<", ">", line breaks and every byte from
// 0x80 become %XX of their GBK bytes; everything else travels as it is.
std::string Encoded(const std::string& utf8) {
  std::string out;
  char hex[4];
  for (unsigned char c : Utf8ToGbk(utf8)) {
    if (c == ' ' || c == '*' || c == '#' || c == '%' || c == '<' || c == '>' || c < 0x20 || c >= 0x80) {
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// Percent-encoding of UTF-8 for the admin pages.
std::string UrlEncoded(const std::string& utf8) {
  std::string out;
  char hex[4];
  for (unsigned char c : utf8) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string Today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y%m%d", &tm);
  return buf;
}

const std::string kApi = "/y6/webservice/api.aspx?";
const std::string kFrameEnd = " Commit Tran IsError:If @@TranCount>0 Rollback Tran";
const std::string kCheck = " If @@Error>0 GoTo IsError";

// A batch as the client builds it: every statement followed by the error check.
std::string Batch(const std::vector<std::string>& statements) {
  std::string b = "Begin Tran";
  for (auto& s : statements) b += " " + s + kCheck;
  return b + kFrameEnd;
}

std::string HeaderInsert(const std::string& number, const std::string& customer = "2") {
  return "Insert InTo 进销单据 (单据编号,单据日期,单据类型,客户ID,合计数量,合计金额,分店ID) Values ('" + number +
         "','2014/12/08 10:00:00','销售单'," + customer + ",1,10,1)";
}

std::string LineInsert(const std::string& number, const std::string& qty = "1", const std::string& price = "10",
                       const std::string& goods = "5") {
  return "Insert InTo 进销单据明细 (单据编号,仓库ID,商品ID,数量,单价,应收金额,附送,分店ID) Values ('" + number + "',1," +
         goods + "," + qty + "," + price + ",10,0,1)";
}

// One server with the demo shop for the tests of a process, logged in as zhang.
class DevServer : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new TTempDir;
    server_ = new TDevServerProcess(dir_->Path());
    session_ = Api("ver=1.0&db=demo&dbName=demo&uid=zhang&pwd=123456");
    ASSERT_EQ(session_.rfind("sid=", 0), 0u) << session_;
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
    server_ = nullptr;
    dir_ = nullptr;
  }
  void TearDown() override { Admin("clear"); }

  static THttpReply Raw(const std::string& query) { return HttpGet(server_->Port(), kApi + query); }
  // The reply of an API request, as UTF-8.
  static std::string Api(const std::string& query) {
    THttpReply r = Raw(query);
    if (r.Dropped || r.Status != 200) throw std::runtime_error("request failed: " + query.substr(0, 80));
    return GbkToUtf8(r.Body);
  }
  static std::string Query(const std::string& sql) { return Api(session_ + "&tablesql=" + Encoded(sql)); }
  static std::string RunBatch(const std::string& batch) { return Api(session_ + "&singlesql=" + Encoded(batch)); }
  static std::string Admin(const std::string& page, const std::string& params = "") {
    return HttpGet(server_->Port(), "/__admin/" + page + (params.empty() ? "" : "?" + params)).Body;
  }
  // SQLite statements on the demo database, straight to the server's tables.
  static std::string Sql(const std::string& sql) { return Admin("query", "db=demo&sql=" + UrlEncoded(sql)); }
  static int Count(const std::string& table, const std::string& where) {
    std::string r = Sql("SELECT COUNT(*) AS n FROM " + table + " WHERE " + where);
    return std::stoi(r.substr(r.find("\r\n") + 2));
  }

  static TTempDir* dir_;
  static TDevServerProcess* server_;
  static std::string session_;
};

TTempDir* DevServer::dir_ = nullptr;
TDevServerProcess* DevServer::server_ = nullptr;
std::string DevServer::session_;

// ---------------------------------------------------------------------------------------------
// The statements of the client

std::vector<TStatement> ClientStatements() { return ReadStatements("server_statements.tsv"); }

TEST_F(DevServer, EveryStatementOfTheClientRuns) {
  auto statements = ClientStatements();
  ASSERT_GT(statements.size(), 50u);
  for (const auto& st : statements) {
    bool batch = st.Label.rfind("batch.", 0) == 0;
    std::string reply = batch ? RunBatch(st.Sql) : Query(st.Sql);
    if (batch) {
      EXPECT_EQ(reply, "0") << st.Label;
    } else {
      EXPECT_NE(reply.rfind("error", 0), 0u) << st.Label << ": " << reply;
      EXPECT_TRUE(reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0) << st.Label;
    }
  }
  // What the upload wrote arrives as written: a doubled quote, yes/no given as text, dates with
  // and without a time, Null.
  EXPECT_EQ(Query("Select 摘要,单据日期,结款日期,原始单号 From 进销单据 Where 单据编号='SO-20141208-9003'"),
            "摘要,单据日期,结款日期,原始单号\r\n\"王老板's 订单\",2014/12/8 10:23:45,2014/12/31 0:00:00,\r\n");
  EXPECT_EQ(Query("Select 仓库名称,附送 From 进销单据明细 Where 单据编号='SO-20141208-9003' Order By ID"),
            "仓库名称,附送\r\n\"分店仓库\",False\r\n,True\r\n");
  // A purchase's settlement columns land where the batch put them.
  EXPECT_EQ(Query("Select 应收,应付 From 进销单据 Where 单据编号='IO-20141208-9001'"), "应收,应付\r\n0,5\r\n");
  EXPECT_EQ(Count("序列号", "单据编号='SO-20141208-9001'"), 2);
}

TEST_F(DevServer, ReplyTableIsCommaSeparatedGbkWithCrLf) {
  ASSERT_EQ(Sql("INSERT INTO 客户信息 (ID,名称,负责人,QQ,会员卡号) VALUES "
                "(900,'A \"quoted\", text' || char(13,10) || 'next 行',NULL,'','001')"),
            "ok 1");
  ASSERT_EQ(Sql("INSERT INTO 进销单据 (单据编号,单据日期,结款日期,合计数量,合计金额,客户ID) VALUES "
                "('T-1','2014-08-02 10:23:45','2014-08-02 00:00:00',3.0,7.5,900)"),
            "ok 1");
  THttpReply raw = Raw(session_ + "&tablesql=" + Encoded("Select 名称,负责人,QQ,会员卡号 From 客户信息 Where ID=900"));
  // Bytes as they travel: GBK, text quoted with inner quotes doubled, commas and line breaks kept
  // inside the quotes, Null empty, CR LF after the last line too.
  EXPECT_EQ(raw.Body, Utf8ToGbk("名称,负责人,QQ,会员卡号\r\n\"A \"\"quoted\"\", text\r\nnext 行\",,\"\",\"001\"\r\n"));
  EXPECT_EQ(Query("Select 单据日期,结款日期,合计数量,合计金额,客户ID From 进销单据 Where 单据编号='T-1'"),
            "单据日期,结款日期,合计数量,合计金额,客户ID\r\n2014/8/2 10:23:45,2014/8/2 0:00:00,3,7.5,900\r\n");
  EXPECT_EQ(Query("Select 名称,总公司 From 门店信息 Order By ID"), "名称,总公司\r\n\"总店\",True\r\n\"城东分店\",False\r\n");
  // Columns without a name are Column1, Column2, ...; named ones keep their names.
  std::string r = Query("Select 1+2,'a'+'b',Null,GetDate() As 现在,Count(*) From 门店信息");
  EXPECT_TRUE(std::regex_match(r, std::regex("Column1,Column2,Column3,现在,Column4\r\n3,\"ab\",,\\d{4}/\\d{1,2}/\\d{1,2} "
                                             "\\d{1,2}:\\d\\d:\\d\\d,2\r\n")))
      << r;
  EXPECT_EQ(Query("Select * From 仓库 Where ID<0"), "ID,编号,名称,分店ID,负责人ID,备注\r\n");
}

TEST_F(DevServer, CustomerPriceIsTheSchemePriceElseTheLastSalePriceElseZero) {
  // Customer 901 has the retail scheme (no scheme prices), 902 the wholesale scheme.
  Sql("INSERT INTO 客户信息 (ID,名称,类别,停用,价格方案ID) VALUES (901,'甲','客户',0,1),(902,'乙','客户',0,2)");
  auto price = [&](const std::string& store, const std::string& customer, const std::string& goods) {
    std::string r = Query("Select dbo.F_客户价格(" + store + "," + customer + "," + goods + ",0)");
    EXPECT_EQ(r.substr(0, 9), "Column1\r\n"); // the client cuts the price out between these
    return r.substr(9, r.size() - 11);
  };
  EXPECT_EQ(price("1", "901", "5"), "0");
  auto sale = [&](const std::string& number, const std::string& date, const std::string& store, const std::string& unit) {
    return RunBatch(Batch({"Insert InTo 进销单据 (单据编号,单据日期,单据类型,客户ID,分店ID) Values ('" + number + "','" + date +
                               "','销售单',901," + store + ")",
                           "Insert InTo 进销单据明细 (单据编号,商品ID,数量,单价) Values ('" + number + "',5,1," + unit + ")"}));
  };
  ASSERT_EQ(sale("SO-P1", "2014/12/01", "1", "123.5"), "0");
  EXPECT_EQ(price("1", "901", "5"), "123.5");
  ASSERT_EQ(sale("SO-P2", "2014/12/05", "1", "120"), "0");
  ASSERT_EQ(sale("SO-P3", "2014/12/03", "1", "130"), "0");
  ASSERT_EQ(sale("SO-P4", "2014/12/09", "2", "99"), "0");
  EXPECT_EQ(price("1", "901", "5"), "120"); // the latest sale of that store
  EXPECT_EQ(price("2", "901", "5"), "99");
  EXPECT_EQ(price("1", "901", "6"), "0");
  std::string retail = Sql("SELECT 零售价 FROM 商品信息 WHERE ID=5");
  double expected = std::round(std::stod(retail.substr(retail.find("\r\n") + 2)) * 0.9 * 100) / 100;
  EXPECT_DOUBLE_EQ(std::stod(price("1", "902", "5")), expected);
}

// ---------------------------------------------------------------------------------------------
// Batches

TEST_F(DevServer, BatchWhoseThirdStatementFailsLeavesNothingBehind) {
  struct TCase {
    const char* Number;
    std::string Third;
    const char* Reason;
  };
  const TCase cases[] = {
      {"SO-F1", LineInsert("SO-F1", "'abc'"), "'abc'"}, // not a number
      {"SO-F2", "Insert InTo 进销单据明细 (单据编号,没有的列) Values ('SO-F2',1)", "没有的列"}, // no such column
      {"SO-F3", HeaderInsert("SO-F3"), "UNIQUE"},                                 // the bill twice
      {"SO-F4", "Insert InTo 进销单据明细 (ID,单据编号) Values (1,'SO-F4')", "IDENTITY_INSERT"},
  };
  for (const TCase& c : cases) {
    std::string reply = RunBatch(Batch({HeaderInsert(c.Number), LineInsert(c.Number), c.Third, LineInsert(c.Number)}));
    EXPECT_EQ(reply.rfind("error:第 3 条语句出错", 0), 0u) << reply;
    EXPECT_NE(reply.find(c.Reason), std::string::npos) << reply;
    EXPECT_EQ(Count("进销单据", std::string("单据编号='") + c.Number + "'"), 0) << c.Number;
    EXPECT_EQ(Count("进销单据明细", std::string("单据编号='") + c.Number + "'"), 0) << c.Number;
  }
  EXPECT_EQ(RunBatch(Batch({HeaderInsert("SO-F5"), LineInsert("SO-F5")})), "0");
}

TEST_F(DevServer, BatchOutsideTheFrameIsRefusedWhole) {
  const std::string h = " " + HeaderInsert("SO-G1"), l = " " + LineInsert("SO-G1");
  const std::string refused[] = {
      "Begin Tran" + h + kCheck + l + kFrameEnd,                              // a statement without its check
      "Begin Tran" + h + kCheck + " IsError:If @@TranCount>0 Rollback Tran", // no Commit
      "Begin Tran" + h + " If @@Error>0 GoTo Elsewhere" + kFrameEnd,          // the check goes nowhere
      h + kCheck + kFrameEnd,                                                 // no Begin Tran
      "Begin Tran" + h + kCheck + " Commit Tran",                             // no rollback after the label
  };
  for (const auto& b : refused) {
    EXPECT_EQ(RunBatch(b).rfind("error:批处理格式不对", 0), 0u) << b;
    EXPECT_EQ(Count("进销单据", "单据编号='SO-G1'"), 0) << b;
  }
}

TEST_F(DevServer, UpdateAndDeleteInABatch) {
  ASSERT_EQ(RunBatch(Batch({"Update 价格方案 Set 方案名称=方案名称+'二' Where ID=2", "Delete From 库存锁定 Where 解锁标记=1"})),
            "0");
  EXPECT_EQ(Query("Select 方案名称 From 价格方案 Where ID=2"), "方案名称\r\n\"批发价二\"\r\n");
  EXPECT_EQ(Count("库存锁定", "解锁标记=1"), 0);
  EXPECT_NE(RunBatch(Batch({"Update 价格方案 Set ID=9 Where ID=2"})).find("标识列"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// The dialect

TEST_F(DevServer, TSqlSubsetAnswersAsTheServerDoes) {
  const std::pair<const char*, const char*> cases[] = {
      {"Select Top 2 ID,名称 From 现金银行 Order By ID Desc", "ID,名称\r\n5,\"微信支付\"\r\n4,\"支付宝\"\r\n"},
      {"Select 方案名称 From 价格方案 Where ID In (1,3) Order By ID", "方案名称\r\n\"零售价\"\r\n\"会员价\"\r\n"},
      {"Select 名称 From 现金银行 Where 名称 Like '%银行' Order By ID", "名称\r\n\"工商银行\"\r\n\"建设银行\"\r\n"},
      {"Select '|'+角色+'|' As R,编号+'-'+登陆名 登陆 From 职员信息 Where 登陆名='zhang'", "R,登陆\r\n\"||1||\",\"001-zhang\"\r\n"},
      {"Select DateDiff(d,'2014/8/2','2014-08-12 23:00:00'),DateDiff(m,'2014/1/31','2014/2/1')", "Column1,Column2\r\n10,1\r\n"},
      {"Select Top 1 W.名称 As 仓库,S.名称 As 门店 From 仓库 W Left Join 门店信息 S On W.分店ID=S.ID Where W.ID=3",
       "仓库,门店\r\n\"分店仓库\",\"城东分店\"\r\n"},
      {"Select [名称] From dbo.现金银行 Where ID=1", "名称\r\n\"现金\"\r\n"},
      {"Select 没有 From 仓库", "error:列名 '没有' 无效。"},
      {"Select 1 From 没有的表", "error:对象名 '没有的表' 无效。"},
      {"Delete From 仓库", "error:tablesql 只能是一条 Select 语句。"},
      {"Select 1 Select 2", "error:一次只能执行一条语句：'Select' 开始了另一条语句。"},
      {"Select dbo.F_没有(1)", "error:找不到函数 dbo.F_没有。"},
      // What only the local dialect reads fails here, as on the server.
      {"Select 1 From 权限 Where 打开=True", "error:列名 'True' 无效。"},
      {"Select DateDiff('d',单据日期,GetDate()) From 进销单据", "error:无效参数 1 指定给了 DateDiff。"},
      {"Select Date()", "error:'Date' 不是可以识别的内置函数名称。"},
      {"Select IIf(1>0,1,0)", "error:'IIf' 不是可以识别的内置函数名称。"},
      {"Select ID From 现金银行 Where 名称=\"现金\"", "error:列名 '现金' 无效。"},
      {"Select 1 From 进销单据 Where 单据日期=#2014/8/2#", "error:'#2014' 附近有语法错误。"},
  };
  for (auto& [sql, expected] : cases) EXPECT_EQ(Query(sql), expected) << sql;
  // The window of recent bills: the seed has bills on both sides of 31 days.
  int recent = std::stoi(Query("Select Count(*) From 进销单据 Where DateDiff(d,单据日期,GetDate())<31").substr(9));
  EXPECT_GT(recent, 0);
  EXPECT_LT(recent, Count("进销单据", "1"));
}

TEST_F(DevServer, QueryIsDecodedOnlyFromPercentEscapesAndSplitBeforeTheSql) {
  const std::pair<std::string, std::string> cases[] = {
      {"Select 1+2 As n", "n\r\n3\r\n"},                           // "+" stays "+" (not a blank)
      {"Select 'a'+'b' As t", "t\r\n\"ab\"\r\n"},                  // and joins texts
      {"Select 'a&b=c' As t", "t\r\n\"a&b=c\"\r\n"},               // a raw "&" inside the SQL stays
      {"Select '中文 %' As t", "t\r\n\"中文 %\"\r\n"},              // GBK and "%" as escapes
      {"Select 'x\r\ny' As t", "t\r\n\"x\r\ny\"\r\n"},             // line breaks as escapes
  };
  for (auto& [sql, expected] : cases) EXPECT_EQ(Query(sql), expected) << sql;
  // An "&" the client escapes inside text comes back as "&", after the split.
  EXPECT_EQ(Api(session_ + "&tablesql=Select%20'a%26isonline=1'%20As%20t"), "t\r\n\"a&isonline=1\"\r\n");
  // The request log shows the decoded text.
  std::string log = Admin("log");
  EXPECT_NE(log.find("tablesql=Select '中文 %' As t"), std::string::npos) << log;
}

// ---------------------------------------------------------------------------------------------
// Login, sessions, numbers

TEST_F(DevServer, LoginChecksUserPasswordAndDatabase) {
  const std::pair<std::string, std::string> refused[] = {
      {"ver=1.0&db=demo&dbName=demo&uid=zhang&pwd=654321", "error:密码不正确。"},
      {"ver=1.0&db=demo&dbName=demo&uid=wang&pwd=123456", "error:此用户已停用。"},
      {"ver=1.0&db=demo&dbName=demo&uid=nobody&pwd=123456", "error:用户 nobody 不存在。"},
      {"ver=1.0&db=demo&dbName=demo&uid=&pwd=", "error:用户  不存在。"},
      {"ver=1.0&db=nosuch&dbName=nosuch&uid=zhang&pwd=123456", "error:数据库 nosuch 不存在。"},
      {"ver=1.0&db=demo&dbName=other&uid=zhang&pwd=123456", "error:登录请求中的数据库名不对。"},
      {"ver=2.0&db=demo&dbName=demo&uid=zhang&pwd=123456", "error:不支持的桌面端版本 2.0。"},
  };
  for (auto& [query, expected] : refused) EXPECT_EQ(Api(query), expected) << query;
  for (const char* user : {"zhang", "li", "zhao", "sun", "zhou"}) {
    std::string s = Api(std::string("ver=1.0&db=demo&dbName=demo&uid=") + user + "&pwd=123456");
    EXPECT_TRUE(std::regex_match(s, std::regex("sid=[0-9a-f]{32}&db=demo"))) << user << ": " << s;
  }
  // The login goes out unencoded: a Chinese name may arrive as raw GBK bytes or as escapes.
  EXPECT_EQ(Api("ver=1.0&db=demo&dbName=demo&uid=" + Utf8ToGbk("张三") + "&pwd=1"), "error:用户 张三 不存在。");
  EXPECT_EQ(Api("ver=1.0&db=demo&dbName=demo&uid=" + Encoded("张三") + "&pwd=1"), "error:用户 张三 不存在。");
}

TEST_F(DevServer, SessionsAndHeartbeats) {
  const std::string token = session_.substr(4, 32);
  EXPECT_EQ(Api("sid=0123&db=demo&tablesql=Select%201").rfind("error", 0), 0u);
  EXPECT_EQ(Api("db=demo&isonline=1").rfind("error", 0), 0u);
  EXPECT_EQ(Api("sid=" + token + "&db=nosuch&isonline=1"), "error:数据库 nosuch 不存在。");
  EXPECT_EQ(Api(session_ + "&isonline=1&GetSOCode=1"), "error:一个请求只能做一件事。");
  EXPECT_EQ(Api(session_ + "&nothing=1"), "error:不认识的请求。");
  Sql("UPDATE 在线会话 SET 最后心跳='2000-01-01 00:00:00' WHERE 令牌='" + token + "'");
  EXPECT_EQ(Api(session_ + "&isonline=1"), "1");
  EXPECT_EQ(Api(session_ + "&isonline=1"), "1");
  EXPECT_EQ(Count("在线会话", "令牌='" + token + "' AND 心跳次数=2 AND 最后心跳>'2001'"), 1);
}

TEST(DevServerNumbers, NumbersPerTypeNeverRepeatAlsoAfterARestart) {
  TTempDir dir;
  std::set<std::string> seen;
  auto numbers = [&](int port, int count) {
    std::string s = GbkToUtf8(HttpGet(port, kApi + "ver=1.0&db=demo&dbName=demo&uid=zhang&pwd=123456").Body);
    for (int i = 0; i < count; ++i)
      for (const char* code : {"SO", "IO", "SK"}) {
        std::string n = GbkToUtf8(HttpGet(port, kApi + s + "&Get" + code + "Code=1").Body);
        EXPECT_TRUE(std::regex_match(n, std::regex(std::string(code) + "-" + Today() + "-\\d{4}"))) << n;
        EXPECT_TRUE(seen.insert(n).second) << "repeated " << n;
      }
    for (const char* code : {"XX", "YW", "CW", "so1"}) EXPECT_EQ(HttpGet(port, kApi + s + "&Get" + code + "Code=1").Body, "");
  };
  {
    TDevServerProcess first(dir.Path());
    numbers(first.Port(), 3);
  }
  TDevServerProcess second(dir.Path());
  numbers(second.Port(), 3);
  EXPECT_EQ(seen.size(), 18u);
}

// ---------------------------------------------------------------------------------------------
// Faults

TEST_F(DevServer, RefuseAndHttp500MeetExactlyTheNextRequests) {
  const std::string heartbeat = session_ + "&isonline=1";
  ASSERT_EQ(Admin("fault", "kind=refuse&n=2"), "ok\n");
  EXPECT_TRUE(Raw(heartbeat).Dropped);
  EXPECT_TRUE(Raw(heartbeat).Dropped);
  EXPECT_EQ(Raw(heartbeat).Body, "1");
  ASSERT_EQ(Admin("fault", "kind=http500"), "ok\n");
  EXPECT_EQ(Raw(heartbeat).Status, 500);
  EXPECT_EQ(Raw(heartbeat).Status, 200);
  // A fault for one kind of request lets the others pass.
  Admin("fault", "kind=refuse&on=batch");
  EXPECT_EQ(Raw(heartbeat).Body, "1");
  EXPECT_TRUE(Raw(session_ + "&singlesql=" + Encoded(Batch({HeaderInsert("SO-R1")}))).Dropped);
  EXPECT_EQ(Count("进销单据", "单据编号='SO-R1'"), 0);
  EXPECT_NE(Admin("log").find("dropped (refuse)"), std::string::npos);
}

TEST_F(DevServer, DelayHoldsTheReply) {
  Admin("fault", "kind=delay&ms=300");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Api(session_ + "&isonline=1"), "1");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(DevServer, EmptyNumberAndRefusedBatch) {
  Admin("fault", "kind=emptynumber");
  Admin("fault", "kind=refusebatch");
  EXPECT_EQ(Query("Select 1 As n"), "n\r\n1\r\n"); // neither is a number or a batch request
  EXPECT_EQ(Api(session_ + "&GetSOCode=1"), "");
  EXPECT_NE(Api(session_ + "&GetSOCode=1"), "");
  const std::string batch = Batch({HeaderInsert("SO-E1")});
  EXPECT_EQ(RunBatch(batch).rfind("error", 0), 0u);
  EXPECT_EQ(Count("进销单据", "单据编号='SO-E1'"), 0);
  EXPECT_EQ(RunBatch(batch), "0");
}

TEST_F(DevServer, CommitDropKeepsTheBillButSendsNoReply) {
  Admin("fault", "kind=commitdrop");
  EXPECT_TRUE(Raw(session_ + "&singlesql=" + Encoded(Batch({HeaderInsert("SO-C1"), LineInsert("SO-C1")}))).Dropped);
  EXPECT_EQ(Count("进销单据", "单据编号='SO-C1'"), 1);
  EXPECT_EQ(Count("进销单据明细", "单据编号='SO-C1'"), 1);
}

// The HTTP library's limit: a request line over 8 KB never reaches the API (a bill of many lines
// in one batch can meet it).
TEST_F(DevServer, RequestLineOver8KBIsRefusedWith414) {
  EXPECT_EQ(Raw(session_ + "&tablesql=Select%20'" + std::string(7900, 'x') + "'%20As%20t").Status, 200);
  EXPECT_EQ(Raw(session_ + "&tablesql=Select%20'" + std::string(8200, 'x') + "'%20As%20t").Status, 414);
  // The library writes its refusal first and tells the log afterwards.
  bool logged = false;
  for (int i = 0; i < 100 && !logged; ++i) {
    logged = Admin("log").find("\trejected\t414") != std::string::npos;
    if (!logged) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(logged);
}

TEST_F(DevServer, ClearRemovesWaitingFaultsAndBadSwitchesAreRefused) {
  Admin("fault", "kind=http500&n=5");
  EXPECT_EQ(Admin("faults"), "http500 on=any n=5\n");
  EXPECT_EQ(Admin("clear"), "ok\n");
  EXPECT_EQ(Raw(session_ + "&isonline=1").Status, 200);
  EXPECT_EQ(Admin("fault", "kind=explode").rfind("error", 0), 0u);
  EXPECT_EQ(Admin("fault", "kind=refuse&on=everything").rfind("error", 0), 0u);
  EXPECT_EQ(Admin("faults"), "");
}

} // namespace
