// Every local statement of the program, as the program writes it in the Jet dialect, runs on
// a fresh store; where the answer is the point, a few rows go in and the answer is checked.
#include "TestSupport.h"
#include "U_Jet.h"

#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

const std::vector<TStatement>& Statements() {
  static const std::vector<TStatement> all = ReadStatements("local_statements.tsv");
  return all;
}

std::string Sql(const std::string& label) {
  for (auto& s : Statements())
    if (s.Label == label) return s.Sql;
  throw std::runtime_error("no statement " + label);
}

const TParams kParams = {{":RID", std::string("|1|2|")}, {":FID", std::string("1")}};

TEST(LocalStatements, EveryStatementRunsOnAFreshStore) {
  TFreshStore s;
  ASSERT_GT(Statements().size(), 100u);
  for (const auto& st : Statements()) {
    TTransaction t(s.Store); // each statement sees the fresh store
    try {
      s.Store.Query(st.Sql, kParams);
    } catch (const EStoreError& e) {
      ADD_FAILURE() << st.Label << ": " << e.what() << "\n  jet:    " << st.Sql << "\n  sqlite: " << JetToSqlite(st.Sql);
    }
  }
}

std::vector<std::string> Column(const TResult& r, const std::string& name) {
  int c = r.ColumnIndex(name);
  std::vector<std::string> v;
  for (auto& row : r.Rows) v.push_back(c < 0 ? "<no column>" : IsNull(row[c]) ? "<null>" : AsText(row[c]));
  return v;
}

class LocalAnswers : public ::testing::Test {
protected:
  void SetUp() override { SetJetClock([] { return std::string("2014/08/15 09:30:00"); }); }
  void TearDown() override { SetJetClock({}); }
  TFreshStore s;
  void Run(const std::string& sql) { s.Store.Execute(sql); }
};

TEST_F(LocalAnswers, ThisMonthIsTheCalendarMonthOfToday) {
  Run("Insert InTo 进销单据 (ID,单据编号,单据日期,客户ID) Values (1,'in-first','2014/08/01 00:00:01',1)");
  Run("Insert InTo 进销单据 (ID,单据编号,单据日期,客户ID) Values (2,'out-lastday','2014/07/31 23:59:59',1)");
  Run("Insert InTo 进销单据 (ID,单据编号,单据日期,客户ID) Values (3,'out-lastyear','2013/08/10',1)");
  Run("Insert InTo 进销单据 (ID,单据编号,单据日期,客户ID) Values (4,'in-today','2014/08/15 18:00:00',1)");
  Run("Insert InTo 收付款单 (ID,单据编号,单据日期,客户ID,收款金额) Values (1,'in-receipt','2014/08/31',1,5)");
  Run("Insert InTo 收付款单 (ID,单据编号,单据日期,客户ID,收款金额) Values (2,'out-next','2014/09/01',1,5)");
  TResult r = s.Store.Query(Sql("dm.customer_history_this_month") + " Order By 单据编号");
  EXPECT_EQ(Column(r, "单据编号"), (std::vector<std::string>{"in-first", "in-receipt", "in-today"}));
  EXPECT_EQ(Column(r, "BillType"), (std::vector<std::string>{"YW", "CW", "YW"}));
}

TEST_F(LocalAnswers, BetweenEndsAtMidnightOfTheEndDay) {
  auto draft = [&](const char* no, const char* date) {
    Run(std::string("Insert InTo 进销草稿 (单据编号,单据日期,单据类型) Values ('") + no + "','" + date + "','销售单')");
  };
  draft("before", "2014/07/31 23:59:59");
  draft("first", "2014/08/01");
  draft("end-day", "2014/08/03");
  draft("end-day-with-time", "2014/08/03 10:00:00");
  draft("middle-with-time", "2014/08/02 10:00:00");
  TResult r = s.Store.Query(Sql("local_bills.query_all") + " Order By 单据编号");
  EXPECT_EQ(Column(r, "单据编号"), (std::vector<std::string>{"end-day", "first", "middle-with-time"}));
}

TEST_F(LocalAnswers, NextLocalNumberCountsTheDaysBillsOfOneType) {
  auto draft = [&](const char* no, const char* type, const char* date) {
    Run(std::string("Insert InTo 进销草稿 (单据编号,单据日期,单据类型) Values ('") + no + "','" + date + "','" + type + "')");
  };
  EXPECT_TRUE(IsNull(s.Scalar(Sql("business.next_local_number")))); // none yet
  draft("SO-140802-本地-009", "销售单", "2014/08/02");
  draft("SO-140802-本地-010", "销售单", "2014/08/02");
  draft("IO-140802-本地-011", "进货单", "2014/08/02");
  draft("SO-140801-本地-099", "销售单", "2014/08/01");
  EXPECT_EQ(AsText(s.Scalar(Sql("business.next_local_number"))), "010");
}

TEST_F(LocalAnswers, RightsMatchWholeRoleIdsOfTheList) {
  Run("Insert InTo 权限 Values (1,'进货单',True,1,True)");
  Run("Insert InTo 权限 Values (2,'销售单',True,2,False)");
  Run("Insert InTo 权限 Values (3,'库存查询',True,12,True)");
  Run("Insert InTo 权限 Values (4,'查看成本',True,21,True)");
  Run("Insert InTo 权限 Values (5,'供应商',False,2,True)");
  TResult r = s.Store.Query(Sql("dm.rights_of_roles") + " Order By 名称", {{":RID", std::string("|2|12|")}});
  EXPECT_EQ(Column(r, "名称"), (std::vector<std::string>{"库存查询", "销售单"}));
  EXPECT_EQ(Column(r, "显示"), (std::vector<std::string>{"1", "0"}));
}

TEST_F(LocalAnswers, GoodsInStockJoinsSeriesAndModelAndNullSpoilsIt) {
  Run("Insert InTo 仓库 Values (1,'01','主仓库',1,0,'')");
  Run("Insert InTo 仓库 Values (2,'02','别店仓库',2,0,'')");
  Run("Insert InTo 商品信息 (ID,名称,系列,型号) Values (10,'手机','X','100')");
  Run("Insert InTo 商品信息 (ID,名称,系列,型号) Values (11,'耳机','Y',Null)");
  Run("Insert InTo 商品库存 Values (1,10,1,4,1,'A1')");
  Run("Insert InTo 综合库存 Values (1,1,10,4,40,50,10,12.5)");
  TResult r = s.Store.Query(Sql("dm.goods_in_stock") + " Order By SG.ID", kParams);
  EXPECT_EQ(Column(r, "名称"), (std::vector<std::string>{"手机", "耳机"})); // only the store's warehouse
  EXPECT_EQ(Column(r, "规格型号"), (std::vector<std::string>{"X100", "<null>"}));
  EXPECT_EQ(Column(r, "库存数量"), (std::vector<std::string>{"4", "<null>"}));
  EXPECT_EQ(Column(r, "最后售价"), (std::vector<std::string>{"12.5", "<null>"}));
}

TEST_F(LocalAnswers, SaleableQuantityLeavesOutLockedStock) {
  Run("Insert InTo 仓库 Values (1,'01','主仓库',1,0,'')");
  Run("Insert InTo 商品信息 (ID,名称,零售价) Values (10,'locked',2)");
  Run("Insert InTo 商品信息 (ID,名称,零售价) Values (11,'released',2)");
  Run("Insert InTo 商品信息 (ID,名称,零售价) Values (12,'free',2)");
  Run("Insert InTo 商品库存 Values (1,10,1,10,1,'')");
  Run("Insert InTo 商品库存 Values (2,11,1,10,1,'')");
  Run("Insert InTo 商品库存 Values (3,12,1,10,1,'')");
  Run("Insert InTo 库存锁定 Values (1,1,10,3,0)");
  Run("Insert InTo 库存锁定 Values (2,1,11,3,1)");
  TResult r = s.Store.Query(Sql("stock.query_with_saleable") + " Order By G.ID");
  EXPECT_EQ(Column(r, "商品名称"), (std::vector<std::string>{"locked", "released", "free"}));
  EXPECT_EQ(Column(r, "可销数量"), (std::vector<std::string>{"7", "10", "10"}));
  EXPECT_EQ(Column(r, "库存金额"), (std::vector<std::string>{"20", "20", "20"}));
}

TEST_F(LocalAnswers, StoreClearingStatementsKeepBillsAndTemplates) {
  Run("Insert InTo 仓库 Values (5,'05','旧仓库',1,0,'')");
  Run("Insert InTo 进销草稿 (单据编号) Values ('SO-140802-本地-001')");
  for (auto& st : Statements())
    if (st.Label.rfind("clear_store.", 0) == 0) Run(st.Sql);
  EXPECT_EQ(AsText(s.Scalar("Select 名称 From 仓库")), "所有仓库");
  EXPECT_EQ(AsInt(s.Scalar("Select ID From 仓库")), 0);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 进销草稿")), 1);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From YWD")), 30);
}

} // namespace
