#include "U_PublicUpload.h"

#include "U_Data.h"
#include "U_Jet.h"
#include "U_PublicApi.h"

const TBillKind kBusinessBills{"进销草稿", "进销单据", true};
const TBillKind kFinanceBills{"收付草稿", "收付款单", false};
std::string UploadReport;

namespace {

const char* const kBusinessBase = "单据编号,单据日期,单据类型,摘要,业务员ID,业务员姓名,客户ID,客户名称,合计数量,合计金额,"
                                  "制单人ID,制单人姓名,现金银行ID,现金银行名称,实收金额,原始单号,发票类型,出库人ID,"
                                  "出库人姓名,结款日期,优惠金额,附加费用,现金,入库人ID,过帐人ID,作废人ID,分店ID,联系人ID";
const char* const kFinanceHeader = "单据编号,单据日期,单据类型,摘要,收款人ID,收款人姓名,客户ID,客户名称,收款金额,制单人ID,"
                                   "制单人姓名,作废人ID,分店ID,过帐人ID,业务分店ID";
const char* const kBusinessLines =
    "单据编号,仓库ID,仓库名称,商品ID,商品名称,数量,单位,单价,成本,应收金额,备注,保修说明,附送,分店ID,源仓库ID";
const char* const kFinanceLines = "单据编号,现金银行ID,现金银行名称,金额,备注,分店ID";
const char* const kSerialInsert =
    " Insert InTo 序列号 (单据编号,序列号,分店ID,仓库ID,仓库名称,商品ID,商品名称,成本,目的仓库ID,单价) Values (";
const char* const kOnError = " If @@Error>0 GoTo IsError";

std::string SelectList(const TBillKind& k) {
  return k.Business ? std::string(kBusinessBase) + ",应收,应付" : kFinanceHeader;
}

// Purchase bills and their returns keep the two adjustments in each other's server columns.
std::string InsertList(const TBillKind& k, const std::string& typeCode) {
  if (!k.Business) return kFinanceHeader;
  return std::string(kBusinessBase) + (typeCode == "IO" || typeCode == "IB" ? ",应付,应收" : ",应收,应付");
}

// One value of a value list: Null for nothing (an empty text too), texts, yes/no and dates
// quoted, numbers bare.
std::string ValueText(const TValue& v, TFieldType type) {
  if (IsNull(v) || (std::holds_alternative<std::string>(v) && std::get<std::string>(v).empty())) return "Null";
  switch (type) {
  case TFieldType::Bool: return AsReal(v) != 0 ? "'True'" : "'False'";
  case TFieldType::Date: {
    auto d = NormalizeDateText(AsText(v));
    return QuotedStr(d ? *d : AsText(v));
  }
  case TFieldType::Integer:
  case TFieldType::Real:
    if (!std::holds_alternative<std::string>(v)) return AsText(v);
    [[fallthrough]];
  default: return QuotedStr(AsText(v));
  }
}

// The values of the current row from column `from` on, each after a comma.
std::string Values(const TDataSet& d, int from) {
  std::string out;
  for (int f = from; f < static_cast<int>(d.Fields().size()); ++f)
    out += "," + ValueText(d.Value(d.Fields()[f].Name), d.Fields()[f].Type);
  return out;
}

void MarkPosted(const TBillKind& k, const std::string& local, const std::string& server) {
  TTransaction t(DM->ADOC);
  DM->ADOC.Execute(std::string("Update ") + k.LocalHeader + " Set 单据编号=" + QuotedStr(server) +
                   ",服务器=0,服务器单号=Null Where 单据编号=" + QuotedStr(local));
  DM->ADOC.Execute(std::string("Update ") + k.LocalHeader + "明细 Set 单据编号=" + QuotedStr(server) +
                   " Where 单据编号=" + QuotedStr(local));
  if (k.Business)
    DM->ADOC.Execute("Update 序列号草稿 Set 单据编号=" + QuotedStr(server) + " Where 单据编号=" + QuotedStr(local));
  t.Commit();
}

void KeepNumber(const TBillKind& k, const std::string& local, const std::string& server) {
  DM->ADOC.Execute(std::string("Update ") + k.LocalHeader + " Set 服务器单号=" +
                   (server.empty() ? std::string("Null") : QuotedStr(server)) + " Where 单据编号=" + QuotedStr(local));
}

} // namespace

TPostOutcome PostBill(const TBillKind& kind, const std::string& local,
                      const std::function<std::string(const std::string&)>& build, std::string* serverNumber) {
  TValue kept = DM->ADOC.Query(std::string("Select 服务器单号 From ") + kind.LocalHeader + " Where 单据编号=" +
                               QuotedStr(local)).Rows.at(0).at(0);
  std::string number = AsText(kept);
  if (!number.empty() && ServerHasBill(kind.ServerHeader, number)) {
    // The last batch was committed; only its reply was lost.
    MarkPosted(kind, local, number);
    if (serverNumber) *serverNumber = number;
    return TPostOutcome::Posted;
  }
  if (number.empty()) {
    // Otherwise the kept number is used again: the server handed it to this bill alone and
    // never committed it, and a batch still under way would collide with it, not double it.
    number = BillNumberRequest(local.substr(0, 2));
    if (number.empty()) return TPostOutcome::NoNumber;
    KeepNumber(kind, local, number);
  }
  if (serverNumber) *serverNumber = number;
  if (!BatchRequest(build(number))) {
    KeepNumber(kind, local, "");
    return TPostOutcome::Refused;
  }
  MarkPosted(kind, local, number);
  return TPostOutcome::Posted;
}

std::string UploadStatements(const TBillKind& kind, const std::string& local, const std::string& code,
                             const std::string& server) {
  TStore& db = DM->ADOC;
  TDataSet& q = DM->ADOQ;
  std::string b;
  q.SQL = "Select " + SelectList(kind) + " From " + kind.LocalHeader + " Where 单据编号=" + QuotedStr(local);
  ReloadDetached(q, db);
  b += std::string(" Insert InTo ") + kind.ServerHeader + " (" + InsertList(kind, code) + ") Values (" +
       QuotedStr(server) + Values(q, 1) + ")" + kOnError;
  q.SQL = std::string("Select ") + (kind.Business ? kBusinessLines : kFinanceLines) + " From " + kind.LocalHeader +
          "明细 Where 单据编号=" + QuotedStr(local);
  ReloadDetached(q, db);
  for (q.First(); !q.Eof(); q.Next())
    b += std::string(" Insert InTo ") + kind.ServerHeader + "明细 (" + (kind.Business ? kBusinessLines : kFinanceLines) +
         ") Values (" + QuotedStr(server) + Values(q, 1) + ")" + kOnError;
  if (kind.Business) {
    q.SQL = "Select 序列号,分店ID,仓库ID,仓库名称,商品ID,商品名称,成本,目的仓库ID,单价 From 序列号草稿 Where 单据编号=" +
            QuotedStr(local);
    ReloadDetached(q, db);
    for (q.First(); !q.Eof(); q.Next()) b += kSerialInsert + QuotedStr(server) + Values(q, 0) + ")" + kOnError;
  }
  q.Close();
  return b;
}

void Upload(const TBillKind& kind) {
  TDataSet& bills = DM->Q_Bill;
  bills.SQL = "Select " + SelectList(kind) + " From " + kind.LocalHeader + " Where 服务器 Is Null";
  ReloadDetached(bills, DM->ADOC);
  int posted = 0, refused = 0;
  for (bills.First(); !bills.Eof(); bills.Next()) {
    const std::string local = bills.AsString("单据编号");
    const std::string code = local.substr(0, 2);
    TPostOutcome o = PostBill(kind, local, [&](const std::string& server) {
      return UploadStatements(kind, local, code, server);
    });
    if (o == TPostOutcome::Posted) ++posted;
    if (o == TPostOutcome::Refused) ++refused;
  }
  bills.Close();
  UploadReport += "\r成功上传 " + std::to_string(posted) + " 条" + kind.ServerHeader + "到服务器。";
  if (refused > 0) UploadReport += "另有 " + std::to_string(refused) + " 条被服务器拒绝，留待下次上传。";
}
