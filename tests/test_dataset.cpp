// The in-memory dataset: loading, states, sort, filters, locate and pending changes.
#include "TestSupport.h"
#include "U_DataSet.h"

#include <gtest/gtest.h>

namespace {

// Goods in two warehouses, the shape of the goods-in-stock list.
class DataSetTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto run = [&](const std::string& sql) { s.Store.Execute(sql); };
    run("Insert InTo 商品信息 (ID,拼音首码,名称,条形码,助记码,零售价,产地) Values (1,'SJ','手机','6901','a1',1999,'深圳')");
    run("Insert InTo 商品信息 (ID,拼音首码,名称,条形码,助记码,零售价,产地) Values (2,'EJ','耳机','6902','b''2',59.5,'东莞')");
    run("Insert InTo 商品信息 (ID,拼音首码,名称,条形码,助记码,零售价,产地) Values (3,'CDQ','充电器 and 线','6903',Null,25,Null)");
    run("Insert InTo 商品信息 (ID,拼音首码,名称,条形码,助记码,零售价,产地) Values (4,'LSJ','老人手机','6904','d4',299,'深圳')");
    run("Insert InTo 仓库 Values (1,'01','主仓库',1,0,'')");
    run("Insert InTo 仓库 Values (2,'02','二仓',1,0,'')");
    run("Insert InTo 商品库存 Values (1,1,1,5,1,'')");
    run("Insert InTo 商品库存 Values (2,2,1,0.5,1,'')");
    run("Insert InTo 商品库存 Values (3,4,2,2,1,'')");
    ds.Connection = &s.Store;
    ds.SQL = "Select G.ID,G.拼音首码,G.名称,G.条形码,G.助记码,G.零售价,G.产地,S.ID As 仓库ID,S.名称 As 仓库,"
             "GS.库存数量 From (商品信息 G Inner Join 仓库 S On 1=1) Left Join 商品库存 GS On GS.商品ID=G.ID "
             "and GS.仓库ID=S.ID Order By S.ID,G.ID";
    TOperation op(s.Store);
    ds.Open();
  }
  std::vector<std::string> Visible(const std::string& field) {
    std::vector<std::string> v;
    for (int i = 0; i < ds.RecordCount(); ++i) v.push_back(ds.DisplayText(i, ds.FieldNo(field)));
    return v;
  }
  TFreshStore s;
  TDataSet ds{"Q_KCSP"};
};

TEST_F(DataSetTest, RowsStayAfterTheConnectionClosesAndNavigate) {
  EXPECT_FALSE(s.Store.Connected());
  ASSERT_EQ(ds.RecordCount(), 8);
  EXPECT_EQ(ds.RecNo(), 1);
  EXPECT_TRUE(ds.Bof());
  ds.Next();
  EXPECT_EQ(ds.AsString("名称"), "耳机");
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.RecNo(), 8);
  ds.Next();
  EXPECT_EQ(ds.RecNo(), 8);
  ds.SetRecNo(40);
  EXPECT_EQ(ds.RecNo(), 8);
  EXPECT_EQ(ds.Fields()[ds.FieldNo("仓库ID")].Type, TFieldType::Integer);
  EXPECT_EQ(ds.Fields()[ds.FieldNo("库存数量")].Type, TFieldType::Real);
  EXPECT_THROW(ds.Value("没有"), EDataSetError);
}

// Every filter form the windows write, with the rows it must leave.
TEST_F(DataSetTest, FilterTexts) {
  struct Case {
    std::string filter;
    std::vector<std::string> ids; // ID and 仓库ID of the visible rows
  } const cases[] = {
      {"仓库ID='1' and 条形码='6902'", {"2/1"}},
      {"仓库ID=2 and ID='4'", {"4/2"}},
      {"条形码='6904'", {"4/1", "4/2"}},
      {"条形码='690'", {}},
      {"商品库存=Null", {}}, // see below: a field that does not exist fails instead
      {"库存数量=Null and ID='3'", {"3/1", "3/2"}},
      {"库存数量<>Null", {"1/1", "2/1", "4/2"}},
      {"ID>0 and 库存数量>0", {"1/1", "2/1", "4/2"}},
      {"仓库ID=1 and 库存数量>0", {"1/1", "2/1"}},
      {"ID>0 and 拼音首码 Like %sj% and 库存数量>0", {"1/1", "4/2"}},
      {"ID>0 and 名称 Like %手机%", {"1/1", "4/1", "1/2", "4/2"}},
      {"ID>0 and " + TDataSet::LikeText("名称", "充电器 and 线"), {"3/1", "3/2"}},
      {"ID>0 and " + TDataSet::LikeText("助记码", "b'2"), {"2/1", "2/2"}},
      {"拼音首码 Like %j% or 名称 Like %j% or 助记码 Like %j%", {"1/1", "2/1", "4/1", "1/2", "2/2", "4/2"}},
      {"产地 Like %深% and 仓库ID=2", {"1/2", "4/2"}},
      {"拼音首码 Like SJ%", {"1/1", "1/2"}},
      {"仓库ID=2 or ID=1", {"1/1", "1/2", "2/2", "3/2", "4/2"}},
      {"(仓库ID=2 or ID=1) and 库存数量>1", {"1/1", "4/2"}},
      {"仓库=Null and 条形码='6901'", {}},
      {"零售价>=59.5 and 零售价<300", {"2/1", "4/1", "2/2", "4/2"}},
  };
  for (auto& c : cases) {
    if (c.filter.find("商品库存") != std::string::npos) {
      EXPECT_THROW(ds.SetFilter(c.filter), EDataSetError);
      continue;
    }
    ds.SetFilter(c.filter);
    ds.SetFiltered(true);
    std::vector<std::string> got;
    for (int i = 0; i < ds.RecordCount(); ++i)
      got.push_back(ds.DisplayText(i, ds.FieldNo("ID")) + "/" + ds.DisplayText(i, ds.FieldNo("仓库ID")));
    EXPECT_EQ(got, c.ids) << c.filter;
    EXPECT_EQ(ds.RecNo(), got.empty() ? 0 : 1) << c.filter;
  }
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 8);
  // A bare Like text ends at " and ": typed text holding one needs LikeText.
  for (const char* bad : {"名称 Like", "ID=", "(ID=1", "ID=1 and", "名称 ~ 1", "ID='1", "名称 Like %充电器 and 线%"})
    EXPECT_THROW(ds.SetFilter(bad), EDataSetError) << bad;
}

TEST_F(DataSetTest, SortAndLocate) {
  ds.SetSort("名称 ASC");
  // Chinese text sorts as the code page does (by pinyin): 充, 耳, 老, 手.
  EXPECT_EQ(Visible("名称")[0], "充电器 and 线");
  EXPECT_EQ(Visible("名称")[6], "手机");
  ds.SetSort("库存数量 DESC");
  EXPECT_EQ(Visible("库存数量"), (std::vector<std::string>{"5", "2", "0.5", "", "", "", "", ""}));
  ds.SetSort("");
  EXPECT_EQ(Visible("ID")[1], "2");

  ASSERT_TRUE(ds.Locate("条形码", std::string("6904")));
  EXPECT_EQ(ds.RecNo(), 4);
  ASSERT_TRUE(ds.Locate({{"ID", std::int64_t{4}}, {"仓库ID", std::string("2")}}));
  EXPECT_EQ(ds.RecNo(), 8);
  EXPECT_FALSE(ds.Locate("条形码", std::string("9999")));
  EXPECT_EQ(ds.RecNo(), 8); // no move when nothing is found
  ds.SetFilter("仓库ID=2");
  ds.SetFiltered(true);
  ASSERT_TRUE(ds.Locate("条形码", std::string("6901")));
  EXPECT_EQ(ds.AsInteger("仓库ID"), 2); // only visible rows are found
}

TEST_F(DataSetTest, EditInsertDeleteAndTheirEvents) {
  std::vector<std::string> events;
  ds.BeforeEdit = [&](TDataSet& d) { events.push_back("edit " + d.AsString("ID")); };
  ds.AfterInsert = [&](TDataSet&) { events.push_back("insert"); };
  ds.OnFieldChange = [&](TDataSet&, const std::string& f) { events.push_back("change " + f); };
  ds.BeforeDelete = [&](TDataSet& d) { events.push_back("delete " + d.AsString("ID")); };

  EXPECT_THROW(ds.SetValue("名称", std::string("x")), EDataSetError); // browse state
  ds.Edit();
  ds.SetValue("零售价", std::string("12.5"));
  EXPECT_THROW(ds.SetValue("零售价", std::string("abc")), EDataSetError);
  ds.Cancel();
  EXPECT_EQ(ds.AsFloat("零售价"), 1999);
  ds.Edit();
  ds.SetValue("零售价", std::string("12.5"));
  ds.Post();
  EXPECT_EQ(ds.AsFloat("零售价"), 12.5);
  ds.SetRecNo(2);
  ds.Insert();
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_TRUE(ds.IsNull("ID"));
  ds.Cancel();
  EXPECT_EQ(ds.RecordCount(), 8);
  ds.Append();
  ds.SetValue("ID", std::int64_t{9});
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 9);
  ds.Delete();
  EXPECT_EQ(ds.RecordCount(), 8);
  EXPECT_EQ(events, (std::vector<std::string>{"edit 1", "change 零售价", "edit 1", "change 零售价", "insert", "insert",
                                              "change ID", "delete 9"}));
}

TEST_F(DataSetTest, DiscardingBringsBackWhatWasLoaded) {
  ds.Edit();
  ds.SetValue("名称", std::string("改了"));
  ds.Post();
  ds.SetRecNo(3);
  ds.Delete();
  ds.Append();
  ds.SetValue("ID", std::int64_t{7});
  ds.Post();
  EXPECT_TRUE(ds.HasPendingChanges());
  ds.CancelBatch();
  EXPECT_FALSE(ds.HasPendingChanges());
  EXPECT_EQ(Visible("名称"), (std::vector<std::string>{"手机", "耳机", "充电器 and 线", "老人手机", "手机", "耳机",
                                                     "充电器 and 线", "老人手机"}));
}

// Pending rows of a draft table, written inside the caller's transaction.
TEST(DataSetUpdates, AppliedOnlyWhenTheTransactionCommits) {
  TFreshStore s;
  s.Store.Execute("Insert InTo 序列号草稿 (单据编号,序列号,商品ID) Values ('SO-1','A',1)");
  s.Store.Execute("Insert InTo 序列号草稿 (单据编号,序列号,商品ID) Values ('SO-1','B',1)");
  TDataSet q("Q_XSXL");
  q.Connection = &s.Store;
  q.SQL = "Select ID,单据编号,序列号,商品ID,'' As 商品名称 From 序列号草稿 Where 单据编号='SO-1'";
  q.Open();
  q.Edit();
  q.SetValue("序列号", std::string("A'1"));
  q.Post();
  q.Next();
  q.Delete();
  q.Append();
  q.SetValue("单据编号", std::string("SO-1"));
  q.SetValue("序列号", std::string("C"));
  q.Post();
  const std::string rows = "Select 序列号 From 序列号草稿 Order By ID";
  {
    TTransaction t(s.Store);
    q.ApplyUpdates(s.Store, "序列号草稿", "ID");
  } // rolled back
  EXPECT_EQ(s.Store.Query(rows).Rows.size(), 2u);
  EXPECT_EQ(AsText(s.Store.Query(rows).Rows[0][0]), "A");
  EXPECT_TRUE(q.HasPendingChanges());
  {
    TTransaction t(s.Store);
    q.ApplyUpdates(s.Store, "序列号草稿", "ID");
    t.Commit();
  }
  q.CommitUpdates();
  EXPECT_FALSE(q.HasPendingChanges());
  TResult r = s.Store.Query(rows);
  ASSERT_EQ(r.Rows.size(), 2u);
  EXPECT_EQ(AsText(r.Rows[0][0]), "A'1");
  EXPECT_EQ(AsText(r.Rows[1][0]), "C");
  q.Last();
  EXPECT_FALSE(q.IsNull("ID")); // the store's key came back to the appended row
  q.Edit();
  q.SetValue("序列号", std::string("D"));
  q.Post();
  q.ApplyUpdates(s.Store, "序列号草稿", "ID");
  q.CommitUpdates();
  EXPECT_EQ(AsText(s.Store.Query(rows).Rows[1][0]), "D");
}

} // namespace
