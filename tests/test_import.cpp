// The import of server reply tables into local tables.
#include "TestSupport.h"
#include "U_Gbk.h"
#include "U_Import.h"

#include <gtest/gtest.h>

namespace {

// A reply as the server sends it: GBK, every line ending in CR LF.
std::string Reply(std::initializer_list<std::string> lines) {
  std::string r;
  for (auto& l : lines) r += l + "\r\n";
  return Utf8ToGbk(r);
}

int Import(TFreshStore& s, const std::string& table, const std::string& columns, const std::string& reply) {
  return ImportReplyTable(s.Store, s.Dir.Dir(), table, columns, reply);
}

TEST(Import, ReplyWithoutRowsImportsNothingAndWritesNoFile) {
  TFreshStore s;
  for (const std::string reply : {"", "ID,帐号,名称", "ID,帐号,名称\r\n", "ID,帐号,名称\r\n\r\n"}) {
    EXPECT_EQ(Import(s, "现金银行", "*", reply), 0) << reply;
    EXPECT_FALSE(std::filesystem::exists(s.Dir.Path() / "SQL.txt"));
  }
}

TEST(Import, ChineseTextComesBackAsTheServerWroteIt) {
  TFreshStore s;
  std::string reply = Reply({"ID,帐号,名称", "1,\"001\",\"现金（人民币）\"", "2,\"0002\",\"工商银行·禾岚店\""});
  EXPECT_EQ(Import(s, "现金银行", "*", reply), 2);
  EXPECT_EQ(s.Dir.Read("SQL.txt"), reply); // the file keeps the reply as received
  TResult r = s.Store.Query("Select 帐号,名称 From 现金银行 Order By ID");
  EXPECT_EQ(AsText(r.Rows[0][1]), "现金（人民币）");
  EXPECT_EQ(AsText(r.Rows[1][0]), "0002"); // quoted digits stay text with their zeros
  EXPECT_EQ(AsText(r.Rows[1][1]), "工商银行·禾岚店");
}

TEST(Import, QuotedValuesKeepCommasQuotesAndLineBreaks) {
  TFreshStore s;
  std::string reply = Reply({"ID,名称,地址,经营范围", "7,\"张三, 李四\",\"他说\"\"好\"\"\",\"第一行\r\n第二行\nend\"",
                             "8,\"\",,\"a,\"\"b\"\",c\""});
  EXPECT_EQ(Import(s, "客户信息", "ID,名称,地址,经营范围", reply), 2);
  TResult r = s.Store.Query("Select 名称,地址,经营范围 From 客户信息 Order By ID");
  EXPECT_EQ(AsText(r.Rows[0][0]), "张三, 李四");
  EXPECT_EQ(AsText(r.Rows[0][1]), "他说\"好\"");
  EXPECT_EQ(AsText(r.Rows[0][2]), "第一行\r\n第二行\nend");
  EXPECT_EQ(AsText(r.Rows[1][0]), "");         // an empty text is a text
  EXPECT_TRUE(IsNull(r.Rows[1][1]));          // nothing at all is Null
  EXPECT_EQ(AsText(r.Rows[1][2]), "a,\"b\",c");
}

TEST(Import, ValuesTakeTheStoredFormOfTheirColumn) {
  TFreshStore s;
  std::string reply = Reply({"ID,单据编号,单据日期,合计数量,合计金额,结款日期,客户ID",
                             "1,\"SO-1\",2014/8/2 10:23:45,3,7.5,2014-08-02,12",
                             "2,\"SO-2\",2014/8/2 0:00:00,,-2.25,,"});
  EXPECT_EQ(Import(s, "进销单据", "*", reply), 2);
  TResult r = s.Store.Query("Select 单据日期,合计数量,合计金额,结款日期,客户ID From 进销单据 Order By ID");
  EXPECT_EQ(AsText(r.Rows[0][0]), "2014/08/02 10:23:45");
  EXPECT_EQ(std::get<double>(r.Rows[0][1]), 3.0);
  EXPECT_EQ(std::get<double>(r.Rows[0][2]), 7.5);
  EXPECT_EQ(AsText(r.Rows[0][3]), "2014/08/02");
  EXPECT_EQ(std::get<std::int64_t>(r.Rows[0][4]), 12);
  EXPECT_EQ(AsText(r.Rows[1][0]), "2014/08/02"); // midnight is the date alone
  EXPECT_TRUE(IsNull(r.Rows[1][1]));
  EXPECT_TRUE(IsNull(r.Rows[1][3]));

  std::string switches = Reply({"店间业务互查,店间库存互查,供应商店间共享", "True,False,true"});
  EXPECT_EQ(Import(s, "系统信息", "店间业务互查,店间库存互查,供应商店间共享", switches), 1);
  TResult b = s.Store.Query("Select 店间业务互查,店间库存互查,供应商店间共享 From 系统信息 Where 店间业务互查=True");
  ASSERT_EQ(b.Rows.size(), 1u);
  EXPECT_EQ(AsInt(b.Rows[0][1]), 0);
  EXPECT_EQ(AsInt(b.Rows[0][2]), 1);
}

TEST(Import, ConstantColumnsApplyAgainLocally) {
  TFreshStore s;
  std::string reply = Reply({"ID,编号,登陆名,密码,姓名,停用,角色,出生日期",
                             "1,\"001\",\"admin\",\"secret\",\"管理员\",False,\"1\",1980/1/2",
                             "2,\"002\",\"li\",,\"李四\",True,\"2\","});
  EXPECT_EQ(Import(s, "职员信息", "ID,编号,登陆名,'wobrel' As 密码,姓名,停用,角色,出生日期", reply), 2);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 职员信息 Where 密码='wobrel'")), 2);
  EXPECT_EQ(AsText(s.Scalar("Select 出生日期 From 职员信息 Where ID=1")), "1980/01/02");

  std::string stores = Reply({"ID,编号,名称,负责人,电话,传真,地址,备注,总公司,管理密码,授权号,是否停用,管理性质",
                              "1,\"01\",\"总店\",,,,,,True,,,False,\"直营\""});
  EXPECT_EQ(Import(s, "门店信息", "ID,编号,名称,负责人,电话,传真,地址,备注,总公司,Null As 管理密码,Null As 授权号,是否停用,管理性质", stores), 1);
  EXPECT_TRUE(IsNull(s.Scalar("Select 管理密码 From 门店信息")));
}

TEST(Import, AColumnTheTableLacksFailsTheWholeImport) {
  TFreshStore s;
  std::string reply = Reply({"ID,帐号,名称,余额", "1,\"001\",\"现金\",5", "2,\"002\",\"银行\",6"});
  try {
    Import(s, "现金银行", "*", reply);
    FAIL();
  } catch (const EStoreError& e) {
    EXPECT_NE(std::string(e.what()).find("余额"), std::string::npos) << e.what();
  }
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 现金银行")), 0);
}

TEST(Import, ATableColumnMissingFromTheReplyStaysEmpty) {
  TFreshStore s;
  EXPECT_EQ(Import(s, "现金银行", "*", Reply({"ID,名称", "1,\"现金\""})), 1);
  EXPECT_TRUE(IsNull(s.Scalar("Select 帐号 From 现金银行")));
}

TEST(Import, ABadValueOrARowTooLongAppendsNothing) {
  TFreshStore s;
  EXPECT_THROW(Import(s, "商品信息", "*", Reply({"ID,名称,零售价", "1,\"a\",5", "2,\"b\",abc"})), EStoreError);
  EXPECT_THROW(Import(s, "商品信息", "*", Reply({"ID,名称", "1,\"a\"", "2,\"b\",3"})), EStoreError);
  EXPECT_THROW(Import(s, "商品信息", "ID,名称,条形码", Reply({"ID,名称", "1,\"a\""})), EStoreError);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 商品信息")), 0);
  // An ID the table has already: the page is refused whole, the rows before it stay.
  EXPECT_EQ(Import(s, "商品信息", "*", Reply({"ID,名称", "1,\"a\""})), 1);
  EXPECT_THROW(Import(s, "商品信息", "*", Reply({"ID,名称", "2,\"b\"", "1,\"again\""})), EStoreError);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 商品信息")), 1);
}

TEST(Import, RunsInsideTheCallersTransaction) {
  TFreshStore s;
  {
    TTransaction t(s.Store);
    EXPECT_EQ(Import(s, "价格方案", "*", Reply({"ID,方案名称", "1,\"零售\"", "2,\"批发\""})), 2);
  }
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 价格方案")), 0);
}

TEST(Import, LoneLineFeedsAndAMissingLastLineEndAreRead) {
  TFreshStore s;
  EXPECT_EQ(Import(s, "价格方案", "*", Utf8ToGbk("ID,方案名称\n1,\"零售\"\n2,\"批发\"")), 2);
  EXPECT_EQ(AsText(s.Scalar("Select 方案名称 From 价格方案 Where ID=2")), "批发");
}

} // namespace
