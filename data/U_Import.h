// The import of a server reply table into a local table. The reply is kept in SQL.txt in the
// program directory and appended by the statement
//   Insert InTo T Select <columns> From [text;Database=<dir>].[SQL#txt]
// which the store runs here: the file is read as comma-separated text with a header line,
// its columns are matched to the table's by name, each value is converted to the stored form
// of its column, and the rows are appended in one transaction.
#pragma once

#include <string>
#include <string_view>

class TStore;

// True when the statement reads the text-file source.
bool IsTextImport(std::string_view jetSql);
// Runs such a statement; returns the number of rows appended. Fails whole: a header column the
// table lacks, a listed column the file lacks or a value that does not fit its column appends
// nothing.
int RunTextImport(TStore& store, const std::string& jetSql);

// Saves a reply table (GBK, as received) as SQL.txt in programDir and imports it into table
// with the column list ("*" or the list of the query that produced the reply). A reply of
// fewer than two lines holds no rows: 0, and no file is written.
int ImportReplyTable(TStore& store, const std::string& programDir, const std::string& table,
                     const std::string& columns, std::string_view reply);
