// The data module and the rules of its line datasets.
#include "TestSupport.h"
#include "U_Data.h"
#include "U_Schema.h"

#include <gtest/gtest.h>

namespace {

class Lines : public ::testing::Test {
protected:
  void SetUp() override {
    for (TLineDataSet* d : dm.LineDataSets()) d->Open();
    dm.ADOC.Close();
  }
  // Types into one line as the grid does: edit, set, post.
  static void Type(TLineDataSet& d, const char* field, const std::string& text) {
    d.Edit();
    d.SetValue(field, text);
    d.Post();
  }
  TFreshStore s;
  TDM dm{s.Dir.Dir() + "WebC.db", std::make_unique<TScriptedMessageBox>()};
};

TEST_F(Lines, EveryBusinessDatasetKeepsItsOwnTotals) {
  for (TLineDataSet* d : dm.LineDataSets()) {
    if (d->Kind() != TLineDataSet::TKind::Business) continue;
    SCOPED_TRACE(d->Name());
    d->ResetTotals();
    d->First();
    Type(*d, "SL", "3");
    Type(*d, "DJ", "2.5");
    EXPECT_EQ(d->AsFloat("JE"), 7.5);
    EXPECT_EQ(d->SumQuantity, 3);
    EXPECT_EQ(d->SumAmount, 7.5);

    Type(*d, "SL", "5"); // 3 -> 5: the quantity total rises by 2, the amount follows
    EXPECT_EQ(d->SumQuantity, 5);
    EXPECT_EQ(d->AsFloat("JE"), 12.5);
    EXPECT_EQ(d->SumAmount, 12.5);
    Type(*d, "DJ", "3"); // a price change moves only the amount
    EXPECT_EQ(d->SumQuantity, 5);
    EXPECT_EQ(d->SumAmount, 15);

    Type(*d, "JE", "14"); // a typed amount keeps price and quantity
    EXPECT_EQ(d->AsFloat("DJ"), 3);
    EXPECT_EQ(d->AsFloat("SL"), 5);
    EXPECT_EQ(d->SumAmount, 14);

    d->Next();
    Type(*d, "SL", "0.1");
    Type(*d, "DJ", "0.2");
    EXPECT_DOUBLE_EQ(d->AsFloat("JE"), 0.1 * 0.2); // unrounded

    d->First();
    d->Delete();
    EXPECT_NEAR(d->SumQuantity, 0.1, 1e-9); // running sums carry the float error of their steps
    EXPECT_NEAR(d->SumAmount, 0.1 * 0.2, 1e-9);
  }
  // Each dataset moved only its own totals: all ended alike, nothing was added twice.
  EXPECT_DOUBLE_EQ(dm.Q_XSD.SumQuantity, dm.Q_BHD.SumQuantity);
  EXPECT_EQ(dm.Q_SKD.SumAmount, 0);
}

TEST_F(Lines, FinanceLinesTotalTheirAmounts) {
  TLineDataSet& d = dm.Q_SKD;
  d.ResetTotals();
  Type(d, "JE", "100");
  d.Next();
  Type(d, "JE", "20.5");
  Type(d, "JE", "30");
  EXPECT_EQ(d.SumAmount, 130);
  d.Delete();
  EXPECT_EQ(d.SumAmount, 100);
  EXPECT_EQ(d.DisplayText(0, d.FieldNo("JE")), "100.00");
}

TEST_F(Lines, AnAppendedLineIsNewAndPostedAtOnceAndDiscardRestoresTheBlankLines) {
  TLineDataSet& d = dm.Q_JHD;
  const int blank = d.RecordCount();
  EXPECT_EQ(blank, kBusinessBlankLines);
  EXPECT_TRUE(d.IsNull("ID")); // template lines carry no ID
  Type(d, "SPMC", "手机");
  Type(d, "SL", "2");
  d.Last();
  d.Append();
  EXPECT_EQ(d.State(), TDataSetState::Browse);
  EXPECT_EQ(d.AsInteger("ID"), 0);
  EXPECT_FALSE(d.IsNull("ID"));
  EXPECT_EQ(d.RecordCount(), blank + 1);
  Type(d, "SL", "4");
  EXPECT_EQ(d.SumQuantity, 6);

  d.CancelBatch();
  EXPECT_EQ(d.RecordCount(), blank);
  for (int r = 0; r < d.RecordCount(); ++r)
    for (int f = 0; f < static_cast<int>(d.Fields().size()); ++f) EXPECT_TRUE(IsNull(d.ValueAt(r, f)));
  EXPECT_EQ(AsInt(s.Scalar("Select Count(*) From YWD Where SPMC Is Not Null")), 0); // never written back
}

TEST_F(Lines, AmountsShowTwoDecimalsExceptOnThePGLines) {
  Type(dm.Q_XSD, "DJ", "2.5");
  Type(dm.Q_BHD, "DJ", "2.5");
  EXPECT_EQ(dm.Q_XSD.DisplayText(0, dm.Q_XSD.FieldNo("DJ")), "2.50");
  EXPECT_EQ(dm.Q_BHD.DisplayText(0, dm.Q_BHD.FieldNo("DJ")), "2.5");
  EXPECT_THROW(Type(dm.Q_XSD, "SL", "三"), EDataSetError);
}

TEST(DataModule, ListsLoadFromTheStoreAndAreFoundByName) {
  TFreshStore s;
  s.Store.Execute("Insert InTo 职员信息 (ID,编号,姓名,停用) Values (1,'001','张三',0)");
  s.Store.Execute("Insert InTo 职员信息 (ID,编号,姓名,停用) Values (2,'002','李四',1)");
  s.Store.Execute("Insert InTo 权限 Values (1,'销售单',True,2,True)");
  TDM dm(s.Dir.Dir() + "WebC.db", std::make_unique<TScriptedMessageBox>());
  for (auto* name : {"ADOQ", "Q_Bill", "Q_JHD", "Q_CWD", "Q_XSXL", "Q_BHXL", "Q_ZY", "Q_CK", "Q_ZH", "Q_KH", "Q_KCSP",
                     "Q_QX", "Q_XT", "Q_QQ", "Q_KHJL", "Q_KC", "Q_JY", "Q_CG", "Q_Master", "Q_Detail"})
    EXPECT_NE(dm.ByName(name), nullptr) << name;
  EXPECT_EQ(dm.ByName("Q_NONE"), nullptr);
  {
    TOperation op(dm.ADOC);
    dm.Q_QX.SetParam("RID", std::string("|2|"));
    dm.Q_KCSP.SetParam("FID", std::string("1"));
    for (auto* name : {"Q_ZY", "Q_CK", "Q_ZH", "Q_KH", "Q_KCSP", "Q_QX", "Q_XT", "Q_QQ", "Q_KHJL", "Q_JGFA", "Q_SPFL",
                       "Q_JY", "Q_CG", "Q_XSXL"})
      dm.ByName(name)->Open();
  }
  EXPECT_FALSE(dm.ADOC.Connected());
  EXPECT_EQ(dm.Q_ZY.RecordCount(), 1);
  EXPECT_EQ(dm.Q_ZY.AsString("姓名"), "张三");
  EXPECT_EQ(dm.Q_QX.AsString("名称"), "销售单");
  EXPECT_EQ(dm.Q_XSXL.RecordCount(), 0);
}

TEST(MessageBox, ScriptedBoxAnswersInOrderAndRecordsEveryText) {
  TScriptedMessageBox sm;
  sm.Answers = {true, false};
  EXPECT_TRUE(sm.Question("是否要退出系统？"));
  sm.Notice("保存成功！");
  EXPECT_FALSE(sm.Question("确认删除？"));
  sm.Failure("单据删除失败！");
  EXPECT_EQ(sm.Shown, (QStringList{"? 是否要退出系统？", "i 保存成功！", "? 确认删除？", "! 单据删除失败！"}));
  EXPECT_THROW(sm.Question("再问？"), std::logic_error);
}

} // namespace
