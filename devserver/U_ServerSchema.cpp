#include "U_ServerSchema.h"

#include "U_Schema.h"

#include <cstdint>
#include <map>
#include <sstream>
#include <stdexcept>
#include <strings.h>

namespace {

// Column definitions the server has beyond the local copy of a table.
const std::map<std::string, std::vector<TServerColumn>>& ServerOnlyColumns() {
  static const std::map<std::string, std::vector<TServerColumn>> extra = {
      // 类别 "供应商" marks suppliers; 停用 hides a customer from downloads; 价格方案ID names the
      // customer's price scheme for dbo.F_客户价格.
      {"客户信息", {{"类别", "TEXT"}, {"停用", "BOOLEAN"}, {"价格方案ID", "INTEGER"}}},
      // 0 while the piece is in stock, 1 once it has gone out.
      {"业务序列号", {{"进出标记", "INTEGER"}}},
      // The login's password check; 职员信息.密码 itself is never read by the server.
      {"职员信息", {{"密码散列", "TEXT"}, {"密码盐", "TEXT"}}},
  };
  return extra;
}

struct TOwnTable {
  const char* Name;
  std::vector<TServerColumn> Columns;
  const char* Key; // table constraint, or empty
};

// Tables only the server has, apart from 序列号 (which has the columns of 序列号草稿).
const std::vector<TOwnTable>& OwnTables() {
  static const std::vector<TOwnTable> own = {
      {"角色信息", {{"ID", "INTEGER"}, {"名称", "TEXT"}}, ""},
      {"方案价格", {{"ID", "INTEGER"}, {"价格方案ID", "INTEGER"}, {"商品ID", "INTEGER"}, {"价格", "REAL"}}, ""},
      // The last number handed out per bill type and day.
      {"单据计数", {{"类型", "TEXT"}, {"日期", "TEXT"}, {"序号", "INTEGER"}}, "PRIMARY KEY (类型, 日期)"},
      {"在线会话",
       {{"令牌", "TEXT"}, {"职员ID", "INTEGER"}, {"登陆名", "TEXT"}, {"登录时间", "DATETIME"}, {"最后心跳", "DATETIME"},
        {"心跳次数", "INTEGER"}},
       "PRIMARY KEY (令牌)"},
      {"请求日志",
       {{"ID", "INTEGER"}, {"时间", "DATETIME"}, {"会话", "TEXT"}, {"类别", "TEXT"}, {"请求", "TEXT"}, {"状态", "TEXT"},
        {"回复", "TEXT"}},
       ""},
      // How the database was made (goods count of the seed, seed day).
      {"服务器信息", {{"键", "TEXT"}, {"值", "TEXT"}}, "PRIMARY KEY (键)"},
  };
  return own;
}

// Local tables that are not copies of server tables: the bills made on the client (草稿) and the
// blank line templates.
bool LocalOnly(const std::string& name) {
  return name.find("草稿") != std::string::npos || name == "CWD" || name == "YWD";
}

// "ID INTEGER PRIMARY KEY, 编号 TEXT, ..." -> columns.
std::vector<TServerColumn> ParseColumns(const std::string& defs) {
  std::vector<TServerColumn> cols;
  std::stringstream in(defs);
  std::string def;
  while (std::getline(in, def, ',')) {
    std::stringstream words(def);
    TServerColumn c;
    if (!(words >> c.Name >> c.Type)) throw std::logic_error("column definition: " + def);
    cols.push_back(c);
  }
  return cols;
}

bool HasIdentity(const std::vector<TServerColumn>& cols) { return !cols.empty() && cols.front().Name == "ID"; }

struct TLayout {
  std::vector<TServerTable> Tables;
  std::vector<std::string> Statements;
};

const TLayout& Layout() {
  static const TLayout layout = [] {
    TLayout l;
    std::map<std::string, std::string> keys;
    for (const TTableDef& t : StoreTables()) {
      if (LocalOnly(t.Name)) continue;
      TServerTable s{t.Name, ParseColumns(t.Columns), false};
      auto extra = ServerOnlyColumns().find(t.Name);
      if (extra != ServerOnlyColumns().end()) s.Columns.insert(s.Columns.end(), extra->second.begin(), extra->second.end());
      l.Tables.push_back(std::move(s));
    }
    // The serial numbers of posted bills, written by the batches of the saves and the upload.
    for (const TTableDef& t : StoreTables())
      if (std::string(t.Name) == "序列号草稿") l.Tables.push_back(TServerTable{"序列号", ParseColumns(t.Columns), false});
    for (const TOwnTable& t : OwnTables()) {
      l.Tables.push_back(TServerTable{t.Name, t.Columns, false});
      if (*t.Key) keys[t.Name] = t.Key;
    }
    for (auto& t : l.Tables) {
      t.Identity = HasIdentity(t.Columns);
      std::string ddl = "CREATE TABLE \"" + t.Name + "\" (";
      for (size_t i = 0; i < t.Columns.size(); ++i) {
        ddl += (i ? ", " : "") + t.Columns[i].Name + " " + t.Columns[i].Type;
        if (i == 0 && t.Identity) ddl += " PRIMARY KEY AUTOINCREMENT";
      }
      if (keys.count(t.Name)) ddl += ", " + keys[t.Name];
      l.Statements.push_back(ddl + ")");
    }
    // The local store's indexes where their table is a server table; a posted bill's number is
    // unique on the server.
    for (const char* index : StoreIndexes()) {
      std::string ix = index;
      size_t on = ix.find(" ON "), paren = ix.find('(', on);
      std::string table = ix.substr(on + 4, paren - on - 4);
      if (LocalOnly(table)) continue;
      if ((table == "进销单据" || table == "收付款单") && ix.find("(单据编号)") != std::string::npos)
        ix.replace(0, 12, "CREATE UNIQUE INDEX");
      l.Statements.push_back(ix);
    }
    for (const char* ix : {"CREATE INDEX 序列号_单据编号 ON 序列号(单据编号)",
                           "CREATE INDEX 方案价格_方案商品 ON 方案价格(价格方案ID, 商品ID)",
                           "CREATE INDEX 进销单据_客户 ON 进销单据(客户ID)",
                           "CREATE INDEX 职员信息_登陆名 ON 职员信息(登陆名)"})
      l.Statements.push_back(ix);
    return l;
  }();
  return layout;
}

class TLookup : public TSchemaLookup {
public:
  const TServerTable* FindTable(std::string_view name) const override {
    for (auto& t : Layout().Tables)
      if (t.Name.size() == name.size() && strncasecmp(t.Name.data(), name.data(), name.size()) == 0) return &t;
    return nullptr;
  }
};

} // namespace

const std::vector<TServerTable>& ServerTables() { return Layout().Tables; }

const TSchemaLookup& ServerSchema() {
  static const TLookup lookup;
  return lookup;
}

const std::vector<std::string>& ServerSchemaStatements() { return Layout().Statements; }

int ServerSchemaVersion() {
  std::uint32_t h = 2166136261u;
  for (auto& s : ServerSchemaStatements()) {
    for (unsigned char c : s) h = (h ^ c) * 16777619u;
    h = (h ^ '\n') * 16777619u;
  }
  return static_cast<int>(h & 0x7fffffff);
}
