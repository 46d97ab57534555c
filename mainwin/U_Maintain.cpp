#include "U_Maintain.h"

#include "U_Config.h"
#include "U_Data.h"
#include "U_Heartbeat.h"
#include "U_Loading.h"
#include "U_Main.h"
#include "U_PublicApi.h"
#include "U_PublicSync.h"
#include "U_PublicUpload.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

#include <sqlite3.h>
#include <stdexcept>

namespace {

bool Ask(const QString& text) { return DM->SM->Question(text); }
void Notice(const QString& text) { DM->SM->Notice(text); }
QString Text(const std::string& s) { return QString::fromStdString(s); }

// T_Server stays still while the store is rebuilt under it, and runs again however the
// rebuild ends.
class TServerTimerPaused {
public:
  explicit TServerTimerPaused(QTimer* timer) : timer_(timer) { timer_->stop(); }
  ~TServerTimerPaused() { timer_->start(); }
  TServerTimerPaused(const TServerTimerPaused&) = delete;
  TServerTimerPaused& operator=(const TServerTimerPaused&) = delete;

private:
  QTimer* timer_;
};

// The rows of a table, put back when the table is still empty at the end of the scope's
// failure: the increments download 权限 and 系统信息 whole again after deleting them, and a
// download that fails before those steps must not leave a shop without its rights offline.
class TRowsKept {
public:
  TRowsKept(TStore& db, std::string table) : db_(db), table_(std::move(table)) {
    rows_ = db_.Query("Select * From " + table_);
    for (auto& c : db_.Columns(table_)) types_.push_back(FieldTypeOf(c.Type));
  }
  void PutBackIfEmpty() {
    if (AsInt(db_.Query("Select Count(*) From " + table_).Rows.at(0).at(0)) > 0) return;
    for (auto& row : rows_.Rows) {
      std::string values;
      for (size_t i = 0; i < row.size(); ++i) {
        values += i ? "," : "";
        const bool number = i < types_.size() && types_[i] != TFieldType::Text && types_[i] != TFieldType::Date;
        values += IsNull(row[i]) ? "Null" : number ? AsText(row[i]) : QuotedStr(AsText(row[i]));
      }
      db_.Execute("Insert InTo " + table_ + " Values (" + values + ")");
    }
  }

private:
  TStore& db_;
  std::string table_;
  TResult rows_;
  std::vector<TFieldType> types_;
};

} // namespace

// --- Pieces ------------------------------------------------------------------------------------

QString SyncCommandLine() {
  auto flag = [](const std::string& filter) { return filter.empty() ? " 0" : " 1"; };
  return Text(ApiBaseURL() + OnlineSession() + " " + Session.StoreID + flag(Session.BusinessFilter) +
              flag(Session.CustomerFilter) + flag(Session.SupplierFilter));
}

void RetainRecentBills(TStore& db) {
  auto count = [&db](const char* sql) { return AsInt(db.Query(sql).Rows.at(0).at(0)); };
  if (count("Select Count(*) From 进销单据 Where DateDiff('d',单据日期,Date())<30") > 0) {
    db.Execute("Delete From 进销单据 Where DateDiff('d',单据日期,Date())>30");
    db.Execute("Delete From 进销单据明细 Where 单据编号 Not In (Select 单据编号 From 进销单据)");
  }
  if (count("Select Count(*) From 收付款单 Where Date()-单据日期<30") > 0) {
    db.Execute("Delete From 收付款单 Where Date()-单据日期>30");
    db.Execute("Delete From 收付款单明细 Where 单据编号 Not In (Select 单据编号 From 收付款单)");
  }
}

void ClearDraftTables(TStore& db) {
  TTransaction t(db);
  for (const char* table : {"进销草稿", "进销草稿明细", "收付草稿", "收付草稿明细", "序列号草稿"})
    db.Execute(std::string("Delete From ") + table);
  t.Commit();
}

void CompactStore(TStore& db) {
  TOperation op(db);
  char* error = nullptr;
  if (sqlite3_exec(db.Handle(), "VACUUM", nullptr, nullptr, &error) != SQLITE_OK) {
    std::string text = error ? error : "VACUUM failed";
    sqlite3_free(error);
    throw EStoreError(text, "VACUUM");
  }
}

// --- Connection --------------------------------------------------------------------------------

void TF_Main::N_FWQClick() {
  if (N_FWQ->text() != kConnectCaption) {
    SetOnlineSession({});
    SetOnlinePresentation(false);
    Notice(kDisconnectedText);
    return;
  }
  std::string reply;
  try {
    reply = LoginRequest(DatabaseName(), Session.LoginName, Session.Password);
  } catch (const EHttpError&) {
    Notice(kConnectFailedText);
    return;
  }
  SetOnlineSession(reply);
  // Only the lower-case word is a refusal.
  if (reply.compare(0, 5, "error") == 0) {
    SetOnlineSession({});
    Notice(Text(reply));
    return;
  }
  SetOnlinePresentation(true);
  Notice(kConnectedText);
}

void TF_Main::T_ServerTimer() {
  if (!IsOnline()) return;
  {
    TOperation op(DM->ADOC);
    RefreshLookups();
  }
  const QString sync = ProgramDir + QStringLiteral("Sync.exe");
  if (QFileInfo(sync).isFile()) MainPlatform.Start(sync, SyncCommandLine());
}

// --- Drafts ------------------------------------------------------------------------------------

void TF_Main::N_SCDJClick() {
  if (!IsOnline()) return;
  if (!Ask(QStringLiteral("是否要上传本地单据到服务器？"))) return;
  UploadReport.clear();
  {
    TOperation op(DM->ADOC);
    DM->ADOQ.Connection = &DM->ADOC;
    Upload(kBusinessBills);
    Upload(kFinanceBills);
  }
  Notice(Text(UploadReport));
}

void TF_Main::N_QKDJClick() {
  if (!Ask(QStringLiteral("是否要清空本地单据？"))) return;
  {
    TOperation op(DM->ADOC);
    ClearDraftTables(DM->ADOC);
  }
  Notice(QStringLiteral("本地单据已清空。"));
}

// --- Downloads ---------------------------------------------------------------------------------

void TF_Main::N_XZSJClick() {
  if (!Ask(QStringLiteral("是否要下载服务器最新增量数据到本地？"))) return;
  std::string report;
  {
    TLoading loading(QStringLiteral("正在下载服务器最新增量数据..."));
    TOperation op(DM->ADOC);
    TStore& db = DM->ADOC;
    db.Open();
    RetainRecentBills(db);
    // Both come again whole with the increments.
    TRowsKept rights(db, "权限"), switches(db, "系统信息");
    db.Execute("Delete From 权限");
    db.Execute("Delete From 系统信息");
    try {
      report = DownloadIncrements();
    } catch (...) {
      rights.PutBackIfEmpty();
      switches.PutBackIfEmpty();
      throw;
    }
    RefreshLookups();
  }
  Notice(QStringLiteral("服务器最新增量数据已经下载到本地。") + '\r' + Text(report));
}

void TF_Main::N_BDSJClick() {
  if (!IsOnline()) return;
  if (!Ask(QStringLiteral("是否要初始化本地数据？"))) return;
  std::string report;
  {
    TServerTimerPaused paused(T_Server);
    TLoading loading(QStringLiteral("正在初始化本地数据，请等待..."));
    TOperation op(DM->ADOC);
    // One transaction: a download that fails half-way leaves the store as it was, so the shop
    // can go on working offline with what it had.
    TTransaction t(DM->ADOC);
    ClearStore();
    report = DownloadAll();
    t.Commit();
    RefreshLookups();
  }
  CompactStore(DM->ADOC);
  Notice(QStringLiteral("本地数据初始化成功。") + '\r' + Text(report));
}

void TF_Main::N_SPKCClick() {
  if (!IsOnline()) return;
  if (!Ask(QStringLiteral("是否要同步本地商品库存？"))) return;
  std::string report;
  {
    TServerTimerPaused paused(T_Server);
    TLoading loading(QStringLiteral("正在同步本地商品库存，请等待..."));
    TOperation op(DM->ADOC);
    TStore& db = DM->ADOC;
    TTransaction t(db); // a failed download leaves the old stock, not none
    for (const char* table : {"库存锁定", "商品库存", "综合库存", "业务序列号"})
      db.Execute(std::string("Delete From ") + table);
    // Each piece starts with its carriage return, so they join with one between each two.
    report = DownloadTable("库存锁定", "*", "");
    report += DownloadTable("商品库存", kStockColumns, StockFilter());
    report += DownloadTable("综合库存", kStoreStockColumns, StockFilter());
    report += DownloadTable("业务序列号", kSerialColumns, kSerialFilter);
    t.Commit();
    ReloadDetached(DM->Q_KCSP, db);
  }
  Notice(QStringLiteral("本地商品库存同步成功。") + Text(report));
}

void TF_Main::N_KHXXClick() {
  if (!IsOnline()) return;
  if (!Ask(QStringLiteral("是否要同步本地客户信息？"))) return;
  std::string report;
  {
    TServerTimerPaused paused(T_Server);
    TLoading loading(QStringLiteral("正在同步本地客户信息，请等待..."));
    TOperation op(DM->ADOC);
    TStore& db = DM->ADOC;
    TTransaction t(db); // a failed download leaves the old customers, not none
    db.Execute("Delete From 客户信息");
    report = DownloadTable("客户信息", kCustomerColumns, CustomerFilter());
    t.Commit();
    ReloadDetached(DM->Q_KH, db);
    ReloadDetached(DM->Q_QQ, db);
  }
  Notice(QStringLiteral("本地客户信息同步成功。") + Text(report));
}

// --- Update and the web ------------------------------------------------------------------------

void TF_Main::N_UpdateClick() {
  if (!Ask(QStringLiteral("升级时软件将自动关闭。是否要升级？"))) return;
  {
    TLoading loading(QStringLiteral("正在升级(软件关闭10秒钟后自动打开)..."));
    const std::string package =
        MainPlatform.NewHttp()->Get(QUrl(Config.UpdateAddress).toEncoded().toStdString());
    QFile file(ProgramDir + QStringLiteral("Update.rar"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(package.data(), qint64(package.size())) != qint64(package.size()))
      throw std::runtime_error("Update.rar: " + file.errorString().toStdString());
  }
  const QString updater = ProgramDir + QStringLiteral("Update.exe");
  // Without the updater the package would wait for nobody: keep running and say so.
  if (!QFileInfo(updater).isFile()) {
    Notice(QStringLiteral("升级包已下载，但程序目录中没有升级程序 Update.exe。"));
    return;
  }
  MainPlatform.Start(updater, QString());
  CloseWithoutQuestion();
  MainPlatform.Quit();
}

void TF_Main::SB_WebClick() { MainPlatform.OpenUrl(QUrl(Config.LoginPage)); }

void TF_Main::N10Click() { MainPlatform.OpenUrl(QUrl(kMakerSite)); }

void TF_Main::N12Click() { MainPlatform.OpenUrl(QUrl::fromLocalFile(ProgramDir + kHelpDocument)); }
