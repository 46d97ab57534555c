// The data module: the one shared container of the store connection, the scratch queries,
// the line datasets of the bill editors, the serial lists, the lookup lists, the browse and
// report datasets and the message box. It lives for the whole run.
#pragma once

#include "U_DataSet.h"
#include "U_Http.h"
#include "U_Lines.h"
#include "U_Message.h"
#include "U_Store.h"

#include <memory>
#include <vector>

class TDM {
public:
  // path: the store file (program directory + "WebC.db"); sm: the message box to use.
  explicit TDM(const std::string& path, std::unique_ptr<TMessageBox> sm = std::make_unique<TQtMessageBox>());
  TDM(const TDM&) = delete;
  TDM& operator=(const TDM&) = delete;

  TStore ADOC; // the local store, closed between operations
  std::unique_ptr<TMessageBox> SM;
  std::unique_ptr<THttp> IHTTP; // set by the server link at the start

  // Scratch queries: callers set the SQL, open them and read the rows.
  TDataSet ADOQ{"ADOQ"};
  TDataSet Q_Bill{"Q_Bill"};

  // Lines of the bills being edited, one dataset per bill type code.
  TLineDataSet Q_JHD{"Q_JHD", TLineDataSet::TKind::Business}; // IO purchase
  TLineDataSet Q_JTD{"Q_JTD", TLineDataSet::TKind::Business}; // IB purchase return
  TLineDataSet Q_XSD{"Q_XSD", TLineDataSet::TKind::Business}; // SO sale, also the counter sale
  TLineDataSet Q_XTD{"Q_XTD", TLineDataSet::TKind::Business}; // SB sales return
  TLineDataSet Q_BHD{"Q_BHD", TLineDataSet::TKind::Business, false}; // PG
  TLineDataSet Q_YWD{"Q_YWD", TLineDataSet::TKind::Business}; // YW business draft reopened
  TLineDataSet Q_SKD{"Q_SKD", TLineDataSet::TKind::Finance};  // SK receipt
  TLineDataSet Q_FKD{"Q_FKD", TLineDataSet::TKind::Finance};  // FK payment
  TLineDataSet Q_CWD{"Q_CWD", TLineDataSet::TKind::Finance};  // CW finance draft reopened

  // Serial numbers of the business bills being edited.
  TDataSet Q_JHXL{"Q_JHXL"}, Q_JTXL{"Q_JTXL"}, Q_XSXL{"Q_XSXL"}, Q_XTXL{"Q_XTXL"}, Q_YWXL{"Q_YWXL"},
      Q_BHXL{"Q_BHXL"};

  // Lookup lists, loaded and kept in memory.
  TDataSet Q_ZY{"Q_ZY"};     // staff
  TDataSet Q_CK{"Q_CK"};     // warehouses
  TDataSet Q_ZH{"Q_ZH"};     // cash and bank accounts
  TDataSet Q_KH{"Q_KH"};     // customers
  TDataSet Q_KCSP{"Q_KCSP"}; // goods in stock of the store given by :FID
  TDataSet Q_QX{"Q_QX"};     // rights of the roles given by :RID
  TDataSet Q_XT{"Q_XT"};     // system switches
  TDataSet Q_QQ{"Q_QQ"};     // customers with a QQ number
  TDataSet Q_KHJL{"Q_KHJL"}; // this month's posted bills of the customers
  TDataSet Q_JGFA{"Q_JGFA"}; // price schemes
  TDataSet Q_SPFL{"Q_SPFL"}; // goods categories

  // Browse and report datasets; their windows set the SQL.
  TDataSet Q_KC{"Q_KC"};     // stock query
  TDataSet Q_JY{"Q_JY"};     // business history
  TDataSet Q_CG{"Q_CG"};     // local bills
  TDataSet Q_Master{"Q_Master"}, Q_Detail{"Q_Detail"};

  // Every dataset of the module by its name; nullptr for an unknown name.
  TDataSet* ByName(std::string_view name);
  const std::vector<TLineDataSet*>& LineDataSets() const { return lines_; }
  const std::vector<TDataSet*>& SerialLists() const { return serials_; }

private:
  std::vector<TDataSet*> all_;
  std::vector<TLineDataSet*> lines_;
  std::vector<TDataSet*> serials_;
};

// The data module of the running program, made at the start.
extern TDM* DM;
