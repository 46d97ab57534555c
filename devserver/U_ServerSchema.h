// The tables of the server's database. The replicas and the posted bills of the local store are
// copies of server tables, so the server has the same tables under the same names and columns
// (built from StoreTables(), not listed again here), plus what only the server keeps: customers'
// category and disabled mark, the in/out mark of serial numbers, the staff's password hashes, the
// serial numbers of posted bills (序列号), price schemes' prices, roles, bill number counters,
// sessions and the request log.
//
// Every table whose first column is ID numbers its rows itself (AUTOINCREMENT, like an identity
// column: an ID is never handed out twice). A posted bill's number is unique.
#pragma once

#include "U_TSql.h"

#include <string>
#include <vector>

const std::vector<TServerTable>& ServerTables();
// Looks tables up among ServerTables().
const TSchemaLookup& ServerSchema();
// CREATE TABLE and CREATE INDEX statements of the whole layout, in order.
const std::vector<std::string>& ServerSchemaStatements();
// A number that changes whenever the layout changes (kept in PRAGMA user_version).
int ServerSchemaVersion();
