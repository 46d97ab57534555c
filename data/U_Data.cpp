#include "U_Data.h"

#include <strings.h>

TDM* DM = nullptr;

TDM::TDM(const std::string& path, std::unique_ptr<TMessageBox> sm) : ADOC(path), SM(std::move(sm)) {
  lines_ = {&Q_JHD, &Q_JTD, &Q_XSD, &Q_XTD, &Q_BHD, &Q_YWD, &Q_SKD, &Q_FKD, &Q_CWD};
  serials_ = {&Q_JHXL, &Q_JTXL, &Q_XSXL, &Q_XTXL, &Q_YWXL, &Q_BHXL};
  all_ = {&ADOQ, &Q_Bill, &Q_ZY, &Q_CK, &Q_ZH, &Q_KH, &Q_KCSP, &Q_QX, &Q_XT, &Q_QQ, &Q_KHJL, &Q_JGFA, &Q_SPFL,
          &Q_KC, &Q_JY, &Q_CG, &Q_Master, &Q_Detail};
  all_.insert(all_.end(), lines_.begin(), lines_.end());
  all_.insert(all_.end(), serials_.begin(), serials_.end());
  for (TDataSet* d : all_) d->Connection = &ADOC;

  for (TLineDataSet* d : lines_)
    d->SQL = d->Kind() == TLineDataSet::TKind::Business ? "Select * From YWD" : "Select * From CWD";
  for (TDataSet* d : serials_) d->SQL = "Select 序列号 From 序列号草稿 Where ID=0";

  Q_ZY.SQL = "Select ID,编号,姓名 From 职员信息 Where 停用=0";
  Q_CK.SQL = "Select ID,编号,名称,分店ID From 仓库";
  Q_ZH.SQL = "Select ID,帐号,名称 From 现金银行";
  Q_KH.SQL = "Select ID,客户分类ID,拼音首码,名称,助记码,会员卡号 From 客户信息";
  Q_KCSP.SQL = std::string("Select SG.*,GS.库存数量,CS.最后进价,CS.最后售价 From (((") +
               "Select G.ID,G.拼音首码,G.名称,G.助记码,G.条形码,G.零售价" +
               ",G.系列+G.型号 As 规格型号,G.产地,G.单位,G.配置,G.序列号管理" +
               ",G.生产日期,G.保质期,S.ID As 仓库ID,S.名称 As 仓库" +
               " From 商品信息 G,仓库 S Where S.分店ID=:FID) SG" +
               " Left Join 商品库存 GS On SG.ID=GS.商品ID and SG.仓库ID=GS.仓库ID)" +
               " Left Join 综合库存 CS On GS.分店ID=CS.分店ID and GS.商品ID=CS.商品ID)";
  Q_KCSP.SetParam(":FID", std::string("0"));
  Q_QX.SQL = std::string("Select 名称,显示 From 权限") + " Where :RID Like '%|'+Cstr(角色ID)+'|%' and 打开=True";
  Q_QX.SetParam(":RID", std::string());
  Q_XT.SQL = "Select 店间业务互查,店间库存互查,供应商店间共享 From 系统信息";
  Q_QQ.SQL = std::string("Select C.ID,T.名称 As 分类名称,C.名称,C.负责人,C.邮编,C.电话") +
             ",C.QQ,C.微信,C.传真,C.地址,C.邮箱,C.网址,C.经营范围" +
             " From 客户信息 C Left Join 客户分类 T On C.客户分类ID=T.ID" + " Where C.QQ>''";
  Q_KHJL.SQL = std::string("Select 客户ID,单据编号,单据日期,单据类型,摘要,合计数量,合计金额") +
               ",业务员姓名,制单人姓名,'YW' As BillType" + " From 进销单据 Where DateDiff('m',单据日期,Date())=0" +
               " Union Select 客户ID,单据编号,单据日期,单据类型,摘要,0,收款金额" + ",收款人姓名,制单人姓名,'CW'" +
               " From 收付款单 Where DateDiff('m',单据日期,Date())=0";
  Q_JGFA.SQL = "Select ID,方案名称 From 价格方案";
  Q_SPFL.SQL = "Select ID,编号,名称,ParentID From 商品分类";
  Q_JY.SQL = "Select Top 1 *,'' As BillType From 进销单据";
  Q_CG.SQL = "Select Top 1 *,'' As BillType From 进销草稿";
}

TDataSet* TDM::ByName(std::string_view name) {
  for (TDataSet* d : all_)
    if (d->Name().size() == name.size() && strncasecmp(d->Name().data(), name.data(), name.size()) == 0) return d;
  return nullptr;
}
