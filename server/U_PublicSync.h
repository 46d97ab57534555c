// Table replication: server tables copied into the local replicas through query requests
// whose reply tables the store imports, page by page above the local high-water mark. Each
// operation returns its report piece: "\r" + table + " " + rows + " 条记录".
#pragma once

#include <string>

// Column lists sent in the query and used again in the import.
extern const char* const kStaffColumns;
extern const char* const kStoreColumns;
extern const char* const kCustomerColumns;
extern const char* const kGoodsColumns;
extern const char* const kStockColumns;
extern const char* const kStoreStockColumns;
extern const char* const kSerialColumns;
extern const char* const kRightsColumns;
extern const char* const kSwitchColumns;
extern const char* const kRightsFilter;
extern const char* const kSerialFilter;
std::string CustomerFilter(); // " and 停用=0" + the session's customer and supplier filters
std::string StockFilter();    // " and 库存数量<>0" + the session's stock filter

// Appends the server rows of table above the highest local ID that pass filter, 1000 a page.
std::string DownloadTable(const std::string& table, const std::string& columns, const std::string& filter);
// "Select * From " + table + where, imported whole.
std::string DownloadWhole(const std::string& table, const std::string& where);
// The query's rows, or when it has none the newest row of the table, so that a later
// incremental download starts after it.
std::string DownloadRecent(const std::string& table, const std::string& query);

// Empties every replica (not the local bills, whose names hold 草稿, nor the line
// templates) and puts back the pseudo warehouse 所有仓库.
void ClearStore();

// The download sequences of the maintenance commands; they return the report.
std::string DownloadIncrements();
std::string DownloadAll();

// Writes a salted hash of the session's password (and its role list in the "|id|" form) into
// the user's staff row after a full download.
void RecordSessionPassword();

// True when the rights list (Q_QX, loaded for the session's roles) hides suppliers: they are
// hidden unless the roles hold the 供应商 right and it is shown.
class TDataSet;
bool SuppliersHidden(TDataSet& rights);

// Reloads the data module's lookup lists after a download.
void RefreshLookups();
