// The tables of the local store. The program never creates tables while it runs: mkstore
// writes a store file with this layout and the build puts it in the program directory.
// Declared types tell the reply import how to store a value: INTEGER, REAL, TEXT,
// BOOLEAN (yes/no as 1/0) and DATETIME ("yyyy/mm/dd" or "yyyy/mm/dd hh:nn:ss").
#pragma once

#include <string>
#include <vector>

struct TTableDef {
  const char* Name;
  const char* Columns; // column definitions as in CREATE TABLE
};

// Every table: the replicas of server tables, the local bills (草稿) and the line templates.
const std::vector<TTableDef>& StoreTables();
// Indexes on the columns the program looks bills and stock up by.
const std::vector<const char*>& StoreIndexes();

// Blank rows of the line templates: how many lines a new bill offers before the grid appends.
constexpr int kBusinessBlankLines = 30;
constexpr int kFinanceBlankLines = 10;

// A number that changes whenever the layout above changes (kept in PRAGMA user_version).
int SchemaVersion();

// Writes a new store file at path with every table and the blank template rows. Fails when
// the file exists. The file is readable by its owner only.
void CreateStore(const std::string& path);
