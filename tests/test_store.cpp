// The store connection, its dialect and its layout.
#include "TestSupport.h"
#include "U_Jet.h"
#include "U_Schema.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(Store, OpensOnFirstStatementAndClosesAfterTheOperation) {
  TFreshStore s;
  EXPECT_FALSE(s.Store.Connected());
  {
    TOperation op(s.Store);
    EXPECT_EQ(s.Store.Execute("Insert InTo 现金银行 (ID,帐号,名称) Values (1,'001','现金')"), 1);
    EXPECT_TRUE(s.Store.Connected());
  }
  EXPECT_FALSE(s.Store.Connected());
  EXPECT_EQ(s.Store.Execute("Insert InTo 现金银行 (ID,帐号,名称) Values (2,'002','银行')"), 1);
  EXPECT_EQ(s.Store.Execute("Update 现金银行 Set 名称='x'"), 2);
  EXPECT_EQ(s.Store.Execute("Select * From 现金银行"), 0);
  EXPECT_EQ(s.Store.Execute("Delete From 现金银行 Where ID=9"), 0);
}

TEST(Store, QuotedTextIsStoredAsTyped) {
  TFreshStore s;
  const std::string typed = "O'Brien's \"店\" -- ; Drop Table 仓库 '";
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  s.Store.Execute("Insert InTo 客户信息 (ID,名称) Values (1," + QuotedStr(typed) + ")");
  EXPECT_EQ(AsText(s.Scalar("Select 名称 From 客户信息 Where 名称=" + QuotedStr(typed))), typed);
  EXPECT_EQ(s.Store.TableNames().size(), StoreTables().size());
}

TEST(Store, TableListIsUserTablesInNameOrder) {
  TFreshStore s;
  auto names = s.Store.TableNames();
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "CWD");
  EXPECT_EQ(names[1], "YWD");
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  for (auto& n : names) EXPECT_NE(n.rfind("sqlite", 0), 0u) << n;
}

TEST(Store, TransactionRollsBackUnlessCommitted) {
  TFreshStore s;
  {
    TTransaction t(s.Store);
    s.Store.Execute("Insert InTo 价格方案 Values (1,'零售')");
  }
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 价格方案")), 0);
  {
    TTransaction t(s.Store);
    s.Store.Execute("Insert InTo 价格方案 Values (1,'零售')");
    {
      TTransaction inner(s.Store);
      s.Store.Execute("Insert InTo 价格方案 Values (2,'批发')");
    }
    t.Commit();
  }
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 价格方案")), 1);
  // Closing in the middle of a transaction loses its work, never half of it.
  s.Store.BeginTrans();
  s.Store.Execute("Insert InTo 价格方案 Values (3,'会员')");
  s.Store.Close();
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From 价格方案")), 1);
}

TEST(Store, ErrorsAreExceptionsWithTheEngineText) {
  TFreshStore s;
  try {
    s.Store.Execute("Select 不存在 From 仓库");
    FAIL();
  } catch (const EStoreError& e) {
    EXPECT_NE(std::string(e.what()).find("不存在"), std::string::npos) << e.what();
    EXPECT_EQ(e.Sql(), "Select 不存在 From 仓库");
  }
  EXPECT_THROW(s.Store.Query("Select * From 权限 Where :RID Like 名称"), EStoreError); // parameter not given
  EXPECT_THROW(s.Store.Execute("Delete From 仓库; Delete From 权限"), EStoreError);

  TTempDir dir;
  TStore missing(dir.Dir() + "WebC.db");
  EXPECT_THROW(missing.Open(), EStoreError);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "WebC.db")); // never created by opening
  dir.Write("WebC.db", std::string(4096, 'x'));
  TStore garbage(dir.Dir() + "WebC.db");
  EXPECT_THROW(garbage.Open(), EStoreError);
  EXPECT_FALSE(garbage.Connected());
}

TEST(Schema, NewStoreHasTheBlankTemplateLinesAndIsPrivate) {
  TFreshStore s;
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From YWD")), kBusinessBlankLines);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From CWD")), kFinanceBlankLines);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From YWD Where ID Is Not Null or SPID Is Not Null or SL Is Not Null")), 0);
  struct stat st{};
  ASSERT_EQ(stat((s.Dir.Dir() + "WebC.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600);
  EXPECT_THROW(CreateStore(s.Dir.Dir() + "WebC.db"), EStoreError); // never overwrites
}

// Jet expressions and what the Jet engine answers for them.
TEST(Dialect, ExpressionsAnswerAsJetDoes) {
  TFreshStore s;
  SetJetClock([] { return std::string("2014/08/15 09:30:00"); });
  struct Case {
    const char* expr;
    const char* expected; // text form; "<null>" for Null
  } const cases[] = {
      {"#2014/8/2#", "2014/08/02"},
      {"#2014-08-02 10:23:45#", "2014/08/02 10:23:45"},
      {"'a'+'b'", "ab"},
      {"'a'+Null", "<null>"},
      {"Null+'a'", "<null>"},
      {"1+2", "3"},
      {"1.5+2", "3.5"},
      {"'|'+Cstr(12)+'|'", "|12|"},
      {"(1+2)*3", "9"},
      {"2*3+1", "7"},
      {"10-2+1", "9"},
      {"Left('单据编号',2)", "单据"},
      {"Right('SO-140802-本地-001',3)", "001"},
      {"Right('ab',5)", "ab"},
      {"Left(Null,2)", "<null>"},
      {"Cstr(2.5)", "2.5"},
      {"IIf(1>0,'是','否')", "是"},
      {"IIf(Null Is Null,0,5)", "0"},
      {"True", "1"},
      {"False", "0"},
      {"Date()", "2014/08/15"},
      {"DateDiff('d',#2014/8/2 23:59:59#,#2014/8/3#)", "1"},
      {"DateDiff('d',#2014/8/2#,Date())", "13"},
      {"DateDiff('m',#2014/7/31#,#2014/8/1#)", "1"},
      {"DateDiff('m',#2013/8/15#,Date())", "12"},
      {"DateDiff('yyyy',#2013/12/31#,#2014/1/1#)", "1"},
      {"Date()-#2014/8/5#", "10"},
      {"Date()-#2014/8/14 12:00:00#", "0.5"},
      {"#2014/8/5#-3", "2014/08/02"},
  };
  for (auto& c : cases) {
    TValue v = s.Scalar(std::string("Select ") + c.expr);
    EXPECT_EQ(IsNull(v) ? "<null>" : AsText(v), c.expected) << c.expr << " -> " << JetToSqlite(c.expr);
  }
  SetJetClock({});
}

TEST(Dialect, TopLimitsItsOwnSelect) {
  TFreshStore s;
  for (int i = 1; i <= 5; ++i) s.Store.Execute("Insert InTo 价格方案 Values (" + std::to_string(i) + ",'p')");
  EXPECT_EQ(s.Store.Query("Select Top 2 * From 价格方案 Order By ID Desc").Rows.size(), 2u);
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From (Select Top 3 ID From 价格方案)")), 3);
  // Only the first member of a Union is limited.
  EXPECT_EQ(s.Store.Query("Select Top 1 ID From 价格方案 Union Select ID+10 From 价格方案").Rows.size(), 6u);
  TResult sorted = s.Store.Query("Select Top 1 ID From 价格方案 Order By ID Union Select ID+10 From 价格方案 Order By ID Desc");
  ASSERT_EQ(sorted.Rows.size(), 6u);
  EXPECT_EQ(AsInt(sorted.Rows.front()[0]), 15);
  // Text is left alone: words and marks inside quotes are not rewritten.
  EXPECT_EQ(AsText(s.Scalar("Select 'Top 5 a+b #1# Left(x)'")), "Top 5 a+b #1# Left(x)");
}

} // namespace
