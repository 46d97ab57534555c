#include "U_TSql.h"

#include "U_Store.h"

#include <cctype>
#include <cstring>
#include <set>
#include <strings.h>

const TServerColumn* TServerTable::Find(std::string_view column) const {
  for (auto& c : Columns)
    if (c.Name.size() == column.size() && strncasecmp(c.Name.data(), column.data(), column.size()) == 0) return &c;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Tokens and the tree of parentheses

namespace {

enum class K { Space, Word, Number, String, Ident, Var, Op, Comma, Group };

struct TNode {
  K Kind;
  std::string Text;            // Ident: the name without quotes; Group: empty
  std::vector<TNode> Children; // Group only
  size_t Pos = 0, End = 0;     // where the node stands in the statement
};

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool WordIs(const TNode& n, const char* w) { return n.Kind == K::Word && SameText(n.Text, w); }
bool OpIs(const TNode& n, const char* op) { return n.Kind == K::Op && n.Text == op; }

bool IsWordByte(unsigned char c) { return c >= 0x80 || std::isalnum(c) || c == '_'; }

std::string QuoteIdent(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::vector<TNode> Tokenize(std::string_view s) {
  struct TFrame {
    std::vector<TNode> Nodes;
    size_t Pos;
  };
  std::vector<TFrame> stack(1, TFrame{{}, 0});
  size_t i = 0, n = s.size();
  auto push = [&](K k, std::string t, size_t b, size_t e) { stack.back().Nodes.push_back(TNode{k, std::move(t), {}, b, e}); };
  while (i < n) {
    unsigned char c = s[i];
    if (std::isspace(c)) {
      size_t j = i;
      while (j < n && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
      push(K::Space, std::string(s.substr(i, j - i)), i, j);
      i = j;
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      size_t j = s.find('\n', i);
      j = j == std::string_view::npos ? n : j;
      push(K::Space, " ", i, j);
      i = j;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t j = s.find("*/", i + 2);
      if (j == std::string_view::npos) throw ETSqlError("注释没有结束（缺少 */）。");
      push(K::Space, " ", i, j + 2);
      i = j + 2;
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
      size_t start = c == '\'' ? i : i + 1;
      size_t j = start + 1;
      for (;; ++j) {
        if (j >= n) throw ETSqlError("字符串 " + std::string(s.substr(start, 40)) + " 后的引号不完整。");
        if (s[j] == '\'') {
          if (j + 1 < n && s[j + 1] == '\'') {
            ++j;
            continue;
          }
          break;
        }
      }
      push(K::String, std::string(s.substr(start, j + 1 - start)), i, j + 1);
      i = j + 1;
    } else if (c == '"' || c == '[') {
      char close = c == '"' ? '"' : ']';
      std::string name;
      size_t j = i + 1;
      for (;; ++j) {
        if (j >= n) throw ETSqlError("标识符 " + std::string(s.substr(i, 40)) + " 没有结束。");
        if (s[j] == close) {
          if (j + 1 < n && s[j + 1] == close) {
            name += close;
            ++j;
            continue;
          }
          break;
        }
        name += s[j];
      }
      push(K::Ident, name, i, j + 1);
      i = j + 1;
    } else if (c == '@') {
      size_t j = i + 1;
      if (j < n && s[j] == '@') ++j;
      while (j < n && IsWordByte(s[j])) ++j;
      push(K::Var, std::string(s.substr(i, j - i)), i, j);
      i = j;
    } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      size_t j = i;
      while (j < n && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      if (j < n && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) {
          j = k;
          while (j < n && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        }
      }
      if (j < n && IsWordByte(s[j])) { // not a number after all; let the engine name it
        while (j < n && IsWordByte(s[j])) ++j;
        push(K::Word, std::string(s.substr(i, j - i)), i, j);
      } else {
        push(K::Number, std::string(s.substr(i, j - i)), i, j);
      }
      i = j;
    } else if (IsWordByte(c)) {
      size_t j = i;
      while (j < n && IsWordByte(s[j])) ++j;
      push(K::Word, std::string(s.substr(i, j - i)), i, j);
      i = j;
    } else if (c == '(') {
      stack.push_back(TFrame{{}, i});
      ++i;
    } else if (c == ')') {
      if (stack.size() == 1) throw ETSqlError("')' 附近有语法错误。");
      TNode g{K::Group, {}, std::move(stack.back().Nodes), stack.back().Pos, i + 1};
      stack.pop_back();
      stack.back().Nodes.push_back(std::move(g));
      ++i;
    } else if (c == ',') {
      push(K::Comma, ",", i, i + 1);
      ++i;
    } else {
      std::string op(1, static_cast<char>(c));
      if (i + 1 < n) {
        char d = s[i + 1];
        if ((c == '<' && (d == '=' || d == '>')) || (c == '>' && d == '=') ||
            (c == '!' && (d == '=' || d == '<' || d == '>')))
          op += d;
      }
      push(K::Op, op, i, i + op.size());
      i += op.size();
    }
  }
  if (stack.size() > 1) throw ETSqlError("'(' 没有对应的 ')'。");
  return std::move(stack[0].Nodes);
}

size_t NextSolid(const std::vector<TNode>& nodes, size_t i) {
  for (++i; i < nodes.size(); ++i)
    if (nodes[i].Kind != K::Space) return i;
  return std::string::npos;
}

std::vector<size_t> SolidIndexes(const std::vector<TNode>& nodes) {
  std::vector<size_t> v;
  for (size_t i = 0; i < nodes.size(); ++i)
    if (nodes[i].Kind != K::Space) v.push_back(i);
  return v;
}

// Splits at the commas of this level.
std::vector<std::vector<TNode>> SplitCommas(const std::vector<TNode>& nodes) {
  std::vector<std::vector<TNode>> parts(1);
  for (auto& n : nodes) {
    if (n.Kind == K::Comma) parts.emplace_back();
    else parts.back().push_back(n);
  }
  return parts;
}

std::string Trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// ---------------------------------------------------------------------------------------------
// Functions: T-SQL names to the connection's functions

const char* const kFunctions[][2] = {
    {"GetDate", "ts_getdate"}, {"DateDiff", "ts_datediff"}, {"DateAdd", "ts_dateadd"}, {"Left", "ts_left"},
    {"Right", "ts_right"},     {"Len", "ts_len"},           {"IsNull", "ifnull"},      {"SubString", "substr"},
    {"Year", "ts_year"},       {"Month", "ts_month"},       {"Day", "ts_day"},
};

const char* const kDboFunctions[][2] = {
    {"F_客户价格", "ts_customer_price"},
};

// T-SQL functions SQLite knows under the same name and meaning.
const char* const kPlainFunctions[] = {"Count", "Sum",   "Max",  "Min",     "Avg",     "Abs",    "Round",
                                       "Upper", "Lower", "LTrim", "RTrim", "Coalesce", "NullIf", "Cast",
                                       "Char",  "Replace"};

bool IsKeyword(const TNode& n);

size_t PrevSolid(const std::vector<TNode>& nodes, size_t i) {
  while (i-- > 0)
    if (nodes[i].Kind != K::Space) return i;
  return std::string::npos;
}

void Rename(std::vector<TNode>& nodes) {
  for (size_t i = 0; i < nodes.size(); ++i) {
    TNode& n = nodes[i];
    if (n.Kind == K::Group) {
      Rename(n.Children);
      continue;
    }
    if (n.Kind == K::Var) throw ETSqlError("必须声明标量变量 \"" + n.Text + "\"。");
    if (n.Kind != K::Word) continue;
    size_t next = NextSolid(nodes, i);
    if (WordIs(n, "dbo") && next == i + 1 && OpIs(nodes[next], ".")) {
      size_t name = next + 1;
      if (name >= nodes.size() || (nodes[name].Kind != K::Word && nodes[name].Kind != K::Ident))
        throw ETSqlError("'.' 附近有语法错误。");
      size_t after = NextSolid(nodes, name);
      if (after != std::string::npos && nodes[after].Kind == K::Group) {
        const char* to = nullptr;
        for (auto& f : kDboFunctions)
          if (SameText(nodes[name].Text, f[0])) to = f[1];
        if (!to) throw ETSqlError("找不到函数 dbo." + nodes[name].Text + "。");
        nodes[name] = TNode{K::Word, to, {}, nodes[name].Pos, nodes[name].End};
      }
      // A table of the owner dbo is the table itself; the name stays at i, already read.
      nodes.erase(nodes.begin() + i, nodes.begin() + name);
      continue;
    }
    bool afterDot = i > 0 && OpIs(nodes[i - 1], ".");
    // The server has no yes/no literals (the local dialect has).
    if (!afterDot && (WordIs(n, "True") || WordIs(n, "False"))) throw ETSqlError("列名 '" + n.Text + "' 无效。");
    if (next == std::string::npos || nodes[next].Kind != K::Group) continue;
    bool mapped = false;
    for (auto& f : kFunctions) {
      if (!WordIs(n, f[0])) continue;
      if (SameText(n.Text, "DateDiff") || SameText(n.Text, "DateAdd")) {
        // The date part is a bare word in T-SQL: DateDiff(d,...), never a text as in DateDiff('d',...).
        auto& args = nodes[next].Children;
        size_t first = NextSolid(args, static_cast<size_t>(-1));
        if (first == std::string::npos || args[first].Kind != K::Word)
          throw ETSqlError("无效参数 1 指定给了 " + n.Text + "。");
        std::string unit = args[first].Text;
        for (auto& ch : unit) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        args[first] = TNode{K::String, "'" + unit + "'", {}, args[first].Pos, args[first].End};
      }
      n.Text = f[1];
      mapped = true;
      break;
    }
    if (mapped || afterDot || IsKeyword(n)) continue;
    size_t prev = PrevSolid(nodes, i);
    if (prev != std::string::npos && (WordIs(nodes[prev], "Into") || WordIs(nodes[prev], "Insert")))
      continue; // the table of an Insert, before its column list
    bool known = false;
    for (const char* f : kPlainFunctions) known = known || WordIs(n, f);
    if (!known) throw ETSqlError("'" + n.Text + "' 不是可以识别的内置函数名称。");
  }
}

// ---------------------------------------------------------------------------------------------
// Expressions

const char* const kDelimiters[] = {
    "Select", "Distinct", "From", "Where",  "And",   "Or",    "Not",     "As",     "On",     "Like",  "Between",
    "In",     "Is",       "Order", "By",    "Group", "Having", "Union",  "All",    "Set",    "Values", "Into",
    "Join",   "Left",     "Right", "Inner", "Outer", "Cross", "Full",    "Asc",    "Desc",   "Top",   "Exists",
    "Case",   "When",     "Then",  "Else",  "End",   "Insert", "Update", "Delete", "Escape", "Except", "Intersect"};

bool IsKeyword(const TNode& n) {
  if (n.Kind != K::Word) return false;
  for (const char* w : kDelimiters)
    if (WordIs(n, w)) return true;
  return false;
}

bool IsDelimiter(const TNode& n) {
  if (n.Kind == K::Comma) return true;
  if (n.Kind == K::Op)
    return n.Text == "=" || n.Text == "<" || n.Text == ">" || n.Text == "<=" || n.Text == ">=" || n.Text == "<>" ||
           n.Text == "!=" || n.Text == "!<" || n.Text == "!>" || n.Text == ";";
  return IsKeyword(n);
}

bool IsOperand(const TNode& n) {
  return n.Kind == K::Word || n.Kind == K::Number || n.Kind == K::String || n.Kind == K::Ident || n.Kind == K::Group;
}

std::string EmitLevel(const std::vector<TNode>& nodes, int* columnCounter);

std::string EmitNode(const TNode& n) {
  switch (n.Kind) {
  case K::Group: return "(" + EmitLevel(n.Children, nullptr) + ")";
  case K::Ident: return QuoteIdent(n.Text);
  default: return n.Text;
  }
}

std::string EmitPlain(const std::vector<TNode>& nodes) {
  std::string out;
  for (auto& n : nodes) out += EmitNode(n);
  return out;
}

// One run of operands between delimiters: + becomes ts_plus, keeping T-SQL's left-to-right order
// of + and -; * and / bind tighter and stay inside the terms.
std::string EmitSegment(const std::vector<TNode>& seg) {
  std::vector<std::vector<TNode>> terms(1);
  std::vector<std::string> ops;
  const TNode* last = nullptr;
  for (const TNode& n : seg) {
    bool binary = n.Kind == K::Op && (n.Text == "+" || n.Text == "-") && last && IsOperand(*last);
    if (binary) {
      ops.push_back(n.Text);
      terms.emplace_back();
    } else {
      terms.back().push_back(n);
    }
    if (n.Kind != K::Space) last = &n;
  }
  bool plus = false;
  for (auto& op : ops) plus = plus || op == "+";
  if (!plus) return EmitPlain(seg);
  std::string lead, trail;
  for (auto& n : terms.front()) {
    if (n.Kind != K::Space) break;
    lead += n.Text;
  }
  for (auto it = terms.back().rbegin(); it != terms.back().rend() && it->Kind == K::Space; ++it) trail = it->Text + trail;
  std::string acc = Trimmed(EmitPlain(terms[0]));
  for (size_t i = 0; i < ops.size(); ++i) {
    std::string rhs = Trimmed(EmitPlain(terms[i + 1]));
    if (acc.empty() || rhs.empty()) throw ETSqlError("'" + ops[i] + "' 附近有语法错误。");
    acc = ops[i] == "+" ? "ts_plus(" + acc + "," + rhs + ")" : "(" + acc + "-" + rhs + ")";
  }
  return lead + acc + trail;
}

std::string EmitExpr(const std::vector<TNode>& nodes) {
  std::string out;
  std::vector<TNode> seg;
  auto flush = [&] {
    if (!seg.empty()) out += EmitSegment(seg);
    seg.clear();
  };
  for (auto& n : nodes) {
    if (IsDelimiter(n)) {
      flush();
      out += EmitNode(n);
    } else {
      seg.push_back(n);
    }
  }
  flush();
  return out;
}

bool IsClauseStart(const TNode& n) {
  for (const char* w : {"From", "Where", "Group", "Having", "Order", "Union", "Except", "Intersect", "Into"})
    if (WordIs(n, w)) return true;
  return false;
}

std::string AliasText(const TNode& n) {
  if (n.Kind == K::String) { // 'name': the quotes go, doubled quotes become one
    std::string t;
    for (size_t i = 1; i + 1 < n.Text.size(); ++i) {
      t += n.Text[i];
      if (n.Text[i] == '\'' && n.Text[i + 1] == '\'') ++i;
    }
    return t;
  }
  return n.Text;
}

bool IsName(const TNode& n) { return (n.Kind == K::Word && !IsKeyword(n) && !WordIs(n, "Null")) || n.Kind == K::Ident; }

// A column of the select list. Expressions without a name get Column1, Column2, ... in the
// outermost list, which is what the server's own reply tables call them.
std::string EmitSelectItem(const std::vector<TNode>& item, int* columnCounter) {
  std::vector<size_t> solid = SolidIndexes(item);
  if (solid.empty()) throw ETSqlError("Select 列表中有空的一项。");
  std::vector<TNode> expr;
  std::string alias;
  bool named = false;
  size_t m = solid.size();
  if (m >= 3 && WordIs(item[solid[m - 2]], "As")) {
    const TNode& a = item[solid[m - 1]];
    if (a.Kind != K::Word && a.Kind != K::Ident && a.Kind != K::String) throw ETSqlError("As 后面应是列名。");
    alias = AliasText(a);
    named = true;
    expr.assign(item.begin(), item.begin() + solid[m - 2]);
  } else if (m >= 2 && IsName(item[solid[m - 1]]) && solid[m - 1] > 0 && item[solid[m - 1] - 1].Kind == K::Space &&
             IsOperand(item[solid[m - 2]]) && !IsKeyword(item[solid[m - 2]])) {
    alias = item[solid[m - 1]].Text; // expression alias, without As
    named = true;
    expr.assign(item.begin(), item.begin() + solid[m - 1]);
  } else if (m >= 3 && IsName(item[solid[0]]) && OpIs(item[solid[1]], "=")) {
    alias = item[solid[0]].Text; // alias = expression
    named = true;
    expr.assign(item.begin() + solid[1] + 1, item.end());
  } else {
    expr = item;
  }
  std::string text = Trimmed(EmitExpr(expr));
  if (named) return text + " AS " + QuoteIdent(alias);
  // A column, a star or a table's star keeps its own name.
  auto is = [&](std::initializer_list<int> shape) {
    if (shape.size() != m) return false;
    size_t k = 0;
    for (int s : shape) {
      const TNode& n = item[solid[k++]];
      if (s == 0 && !IsName(n)) return false;
      if (s == 1 && !OpIs(n, ".")) return false;
      if (s == 2 && !OpIs(n, "*")) return false;
    }
    return true;
  };
  if (is({0}) || is({2}) || is({0, 1, 0}) || is({0, 1, 2})) return text;
  if (!columnCounter) return text;
  return text + " AS Column" + std::to_string(++*columnCounter);
}

std::string TrimEnd(std::string s) {
  size_t e = s.find_last_not_of(" \t\r\n;");
  return e == std::string::npos ? std::string() : s.substr(0, e + 1);
}

std::string EmitSelect(const std::vector<TNode>& nodes, int* columnCounter) {
  size_t i = NextSolid(nodes, static_cast<size_t>(-1)); // Select
  std::string out = "SELECT ";
  size_t j = NextSolid(nodes, i);
  while (j != std::string::npos && (WordIs(nodes[j], "Distinct") || WordIs(nodes[j], "All"))) {
    out += nodes[j].Text + " ";
    j = NextSolid(nodes, j);
  }
  std::string limit;
  if (j != std::string::npos && WordIs(nodes[j], "Top")) {
    size_t v = NextSolid(nodes, j);
    if (v == std::string::npos) throw ETSqlError("Top 后面应是行数。");
    if (nodes[v].Kind == K::Number) limit = nodes[v].Text;
    else if (nodes[v].Kind == K::Group) limit = Trimmed(EmitPlain(nodes[v].Children));
    else throw ETSqlError("Top 后面应是行数。");
    j = NextSolid(nodes, v);
    if (j != std::string::npos && (WordIs(nodes[j], "Percent") || WordIs(nodes[j], "With")))
      throw ETSqlError("不支持 Top ... " + nodes[j].Text + "。");
  }
  if (j == std::string::npos) throw ETSqlError("Select 后面缺少列。");
  size_t end = j;
  while (end < nodes.size() && !IsClauseStart(nodes[end])) ++end;
  std::vector<TNode> list(nodes.begin() + j, nodes.begin() + end);
  std::string items;
  for (auto& item : SplitCommas(list)) items += (items.empty() ? "" : ",") + EmitSelectItem(item, columnCounter);
  out += items;
  std::vector<TNode> rest(nodes.begin() + end, nodes.end());
  std::string tail = EmitExpr(rest);
  if (!tail.empty() && tail.front() != ' ') out += " ";
  out += tail;
  if (limit.empty()) return out;
  for (auto& n : rest)
    if (WordIs(n, "Union") || WordIs(n, "Except") || WordIs(n, "Intersect"))
      throw ETSqlError("不支持 Top 与 Union 同用。");
  return TrimEnd(out) + " LIMIT " + limit;
}

std::string EmitLevel(const std::vector<TNode>& nodes, int* columnCounter) {
  size_t first = NextSolid(nodes, static_cast<size_t>(-1));
  if (first != std::string::npos && WordIs(nodes[first], "Select")) {
    std::vector<TNode> before(nodes.begin(), nodes.begin() + first);
    return EmitPlain(before) + EmitSelect(std::vector<TNode>(nodes.begin() + first, nodes.end()), columnCounter);
  }
  return EmitExpr(nodes);
}

// ---------------------------------------------------------------------------------------------
// Insert, Update, Delete

std::string Converted(const TServerColumn& col, const std::string& expr) {
  std::string name = QuotedStr(col.Name);
  switch (FieldTypeOf(col.Type)) {
  case TFieldType::Bool: return "ts_bit(" + expr + "," + name + ")";
  case TFieldType::Date: return "ts_datetime(" + expr + "," + name + ")";
  case TFieldType::Integer: return "ts_int(" + expr + "," + name + ")";
  case TFieldType::Real: return "ts_real(" + expr + "," + name + ")";
  case TFieldType::Text: return expr;
  }
  return expr;
}

// The table named at nodes[i] (a name; "dbo." has gone already).
const TServerTable& TargetTable(const std::vector<TNode>& nodes, size_t i, const TSchemaLookup& schema) {
  if (i == std::string::npos || !IsName(nodes[i])) throw ETSqlError("语句中缺少表名。");
  const TServerTable* t = schema.FindTable(nodes[i].Text);
  if (!t) throw ETSqlError("对象名 '" + nodes[i].Text + "' 无效。");
  return *t;
}

const TServerColumn& WritableColumn(const TServerTable& t, const TNode& n, bool insert) {
  if (!IsName(n)) throw ETSqlError("'" + n.Text + "' 附近有语法错误。");
  const TServerColumn* c = t.Find(n.Text);
  if (!c) throw ETSqlError("列名 '" + n.Text + "' 无效。");
  if (t.Identity && c == &t.Columns.front()) {
    if (insert) throw ETSqlError("当 IDENTITY_INSERT 设置为 OFF 时，不能为表 '" + t.Name + "' 中的标识列插入显式值。");
    throw ETSqlError("无法更新标识列 '" + c->Name + "'。");
  }
  return *c;
}

std::string EmitInsert(const std::vector<TNode>& nodes, const TSchemaLookup& schema) {
  size_t i = NextSolid(nodes, static_cast<size_t>(-1)); // Insert
  i = NextSolid(nodes, i);
  if (i != std::string::npos && WordIs(nodes[i], "Into")) i = NextSolid(nodes, i);
  const TServerTable& t = TargetTable(nodes, i, schema);
  std::vector<const TServerColumn*> cols;
  i = NextSolid(nodes, i);
  if (i != std::string::npos && nodes[i].Kind == K::Group) {
    for (auto& part : SplitCommas(nodes[i].Children)) {
      auto solid = SolidIndexes(part);
      if (solid.size() != 1) throw ETSqlError("Insert 的列表中应是列名。");
      cols.push_back(&WritableColumn(t, part[solid[0]], true));
    }
    i = NextSolid(nodes, i);
  } else {
    for (size_t k = t.Identity ? 1 : 0; k < t.Columns.size(); ++k) cols.push_back(&t.Columns[k]);
  }
  std::string head = "INSERT INTO " + QuoteIdent(t.Name) + " (";
  for (size_t k = 0; k < cols.size(); ++k) head += (k ? "," : "") + QuoteIdent(cols[k]->Name);
  head += ") ";
  if (i != std::string::npos && WordIs(nodes[i], "Select"))
    return head + EmitLevel(std::vector<TNode>(nodes.begin() + i, nodes.end()), nullptr);
  if (i == std::string::npos || !WordIs(nodes[i], "Values")) throw ETSqlError("Insert 语句缺少 Values。");
  std::string rows;
  for (;;) {
    i = NextSolid(nodes, i);
    if (i == std::string::npos || nodes[i].Kind != K::Group) throw ETSqlError("Values 后面应是括号中的值。");
    auto values = SplitCommas(nodes[i].Children);
    if (values.size() != cols.size())
      throw ETSqlError("Insert 语句中列的数目（" + std::to_string(cols.size()) + "）与 Values 中值的数目（" +
                       std::to_string(values.size()) + "）不同。");
    std::string row;
    for (size_t k = 0; k < values.size(); ++k) {
      std::string v = Trimmed(EmitExpr(values[k]));
      if (v.empty()) throw ETSqlError("Values 中第 " + std::to_string(k + 1) + " 个值是空的。");
      row += (k ? "," : "") + Converted(*cols[k], v);
    }
    rows += (rows.empty() ? "(" : ",(") + row + ")";
    size_t next = NextSolid(nodes, i);
    if (next == std::string::npos || OpIs(nodes[next], ";")) break;
    if (nodes[next].Kind != K::Comma) throw ETSqlError("'" + nodes[next].Text + "' 附近有语法错误。");
    i = next;
  }
  return head + "VALUES " + rows;
}

std::string EmitUpdate(const std::vector<TNode>& nodes, const TSchemaLookup& schema) {
  size_t i = NextSolid(nodes, static_cast<size_t>(-1)); // Update
  i = NextSolid(nodes, i);
  const TServerTable& t = TargetTable(nodes, i, schema);
  i = NextSolid(nodes, i);
  if (i == std::string::npos || !WordIs(nodes[i], "Set")) throw ETSqlError("Update 语句缺少 Set。");
  size_t end = i + 1;
  while (end < nodes.size() && !WordIs(nodes[end], "Where") && !WordIs(nodes[end], "From")) ++end;
  std::string sets;
  for (auto& part : SplitCommas(std::vector<TNode>(nodes.begin() + i + 1, nodes.begin() + end))) {
    auto solid = SolidIndexes(part);
    size_t eq = 0;
    while (eq < solid.size() && !OpIs(part[solid[eq]], "=")) ++eq;
    if (eq == 0 || eq == solid.size()) throw ETSqlError("Set 中应是 列=值。");
    // 列 or 别名.列: the column is the last name before "=".
    const TServerColumn& c = WritableColumn(t, part[solid[eq - 1]], false);
    std::string v = Trimmed(EmitExpr(std::vector<TNode>(part.begin() + solid[eq] + 1, part.end())));
    if (v.empty()) throw ETSqlError("列 " + c.Name + " 的新值是空的。");
    sets += (sets.empty() ? "" : ",") + QuoteIdent(c.Name) + "=" + Converted(c, v);
  }
  if (end < nodes.size() && WordIs(nodes[end], "From")) throw ETSqlError("不支持 Update ... From。");
  std::vector<TNode> rest(nodes.begin() + end, nodes.end());
  return "UPDATE " + QuoteIdent(t.Name) + " SET " + sets + " " + EmitExpr(rest);
}

std::string EmitDelete(const std::vector<TNode>& nodes, const TSchemaLookup& schema) {
  size_t i = NextSolid(nodes, static_cast<size_t>(-1)); // Delete
  i = NextSolid(nodes, i);
  if (i != std::string::npos && WordIs(nodes[i], "From")) i = NextSolid(nodes, i);
  const TServerTable& t = TargetTable(nodes, i, schema);
  return "DELETE FROM " + QuoteIdent(t.Name) + EmitExpr(std::vector<TNode>(nodes.begin() + i + 1, nodes.end()));
}

const char* const kStatementWords[] = {"Insert", "Update", "Delete", "Begin", "Commit", "Rollback", "If", "GoTo",
                                       "Declare", "Exec", "Execute", "Create", "Drop", "Alter", "Truncate", "Set",
                                       "Use", "Print", "Return", "While"};

void CheckSingle(const std::vector<TNode>& nodes, TStatementKind kind) {
  auto solid = SolidIndexes(nodes);
  while (!solid.empty() && OpIs(nodes[solid.back()], ";")) solid.pop_back();
  for (size_t k = 1; k < solid.size(); ++k) {
    const TNode& n = nodes[solid[k]];
    bool another = OpIs(n, ";");
    for (const char* w : kStatementWords)
      if (WordIs(n, w) && !(kind == TStatementKind::Update && WordIs(n, "Set"))) another = true;
    if (WordIs(n, "Select") && kind != TStatementKind::Insert) {
      const TNode& prev = nodes[solid[k - 1]];
      if (!WordIs(prev, "Union") && !WordIs(prev, "All") && !WordIs(prev, "Except") && !WordIs(prev, "Intersect"))
        another = true;
    }
    if (another) throw ETSqlError("一次只能执行一条语句：'" + n.Text + "' 开始了另一条语句。");
  }
}

} // namespace

TTranslated TranslateStatement(std::string_view tsql, const TSchemaLookup& schema) {
  std::vector<TNode> nodes = Tokenize(tsql);
  size_t first = NextSolid(nodes, static_cast<size_t>(-1));
  if (first == std::string::npos) throw ETSqlError("空语句。");
  TStatementKind kind;
  if (WordIs(nodes[first], "Select")) kind = TStatementKind::Select;
  else if (WordIs(nodes[first], "Insert")) kind = TStatementKind::Insert;
  else if (WordIs(nodes[first], "Update")) kind = TStatementKind::Update;
  else if (WordIs(nodes[first], "Delete")) kind = TStatementKind::Delete;
  else throw ETSqlError("不支持的语句：" + nodes[first].Text);
  CheckSingle(nodes, kind);
  while (!nodes.empty() && (nodes.back().Kind == K::Space || OpIs(nodes.back(), ";"))) nodes.pop_back();
  Rename(nodes);
  int columns = 0;
  switch (kind) {
  case TStatementKind::Select: return {kind, Trimmed(EmitLevel(nodes, &columns))};
  case TStatementKind::Insert: return {kind, EmitInsert(nodes, schema)};
  case TStatementKind::Update: return {kind, EmitUpdate(nodes, schema)};
  case TStatementKind::Delete: return {kind, EmitDelete(nodes, schema)};
  }
  throw ETSqlError("不支持的语句。");
}

// ---------------------------------------------------------------------------------------------
// Batches

namespace {

struct TCommand {
  std::string Head; // the first word, or ":" for a label
  std::vector<const TNode*> Solid;
  size_t Pos = 0, End = 0;
};

const char* const kCommandWords[] = {"Begin", "Commit", "Rollback", "If", "GoTo", "Insert", "Update", "Delete", "Select"};

// The solid words of a command after its head, joined in lower case without blanks.
std::string Rest(const TCommand& c, size_t from = 1) {
  std::string s;
  for (size_t i = from; i < c.Solid.size(); ++i) s += c.Solid[i]->Text;
  for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

bool IsTran(const TCommand& c, const char* head) {
  std::string r = Rest(c);
  return SameText(c.Head, head) && (r == "tran" || r == "transaction");
}

} // namespace

std::vector<std::string> ParseBatch(std::string_view tsql) {
  std::vector<TNode> nodes = Tokenize(tsql);
  std::vector<TCommand> cmds;
  const TNode* prev = nullptr;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const TNode& n = nodes[i];
    if (n.Kind == K::Space) continue;
    if (OpIs(n, ";")) {
      prev = nullptr;
      cmds.push_back(TCommand{";", {}, n.Pos, n.End});
      continue;
    }
    bool label = n.Kind == K::Word && i + 1 < nodes.size() && OpIs(nodes[i + 1], ":");
    bool starts = label;
    for (const char* w : kCommandWords)
      if (WordIs(n, w)) starts = true;
    if (WordIs(n, "Select") && prev &&
        (WordIs(*prev, "Union") || WordIs(*prev, "All") || WordIs(*prev, "Except") || WordIs(*prev, "Intersect") ||
         (!cmds.empty() && SameText(cmds.back().Head, "Insert"))))
      starts = false;
    if (cmds.empty() || starts || cmds.back().Head == ";") {
      cmds.push_back(TCommand{label ? ":" : n.Text, {}, n.Pos, n.End});
      if (label) {
        cmds.back().Solid.push_back(&n);
        cmds.back().End = nodes[i + 1].End;
        ++i; // the colon
        prev = nullptr;
        continue;
      }
    }
    cmds.back().Solid.push_back(&n);
    cmds.back().End = n.End;
    prev = &n;
  }
  // Separators between statements carry no meaning of their own.
  std::vector<TCommand> c;
  for (auto& cmd : cmds)
    if (cmd.Head != ";") c.push_back(std::move(cmd));

  auto text = [&](const TCommand& cmd) { return std::string(tsql.substr(cmd.Pos, cmd.End - cmd.Pos)); };
  auto fail = [&](const std::string& why) -> void { throw ETSqlError("批处理格式不对：" + why); };
  size_t k = 0;
  if (c.empty() || !IsTran(c[0], "Begin")) fail("应以 Begin Tran 开始。");
  ++k;
  std::vector<std::string> statements;
  std::set<std::string> targets;
  auto isDml = [](const TCommand& cmd) {
    for (const char* w : {"Insert", "Update", "Delete", "Select"})
      if (SameText(cmd.Head, w)) return true;
    return false;
  };
  auto errorCheckAt = [&](size_t at) {
    return at + 1 < c.size() && SameText(c[at].Head, "If") &&
           (Rest(c[at]) == "@@error>0" || Rest(c[at]) == "@@error<>0" || Rest(c[at]) == "@@error!=0") &&
           SameText(c[at + 1].Head, "GoTo") && c[at + 1].Solid.size() == 2;
  };
  while (k < c.size() && !SameText(c[k].Head, "Commit")) {
    if (!isDml(c[k])) fail("不认识的语句 " + text(c[k]));
    statements.push_back(text(c[k]));
    bool writes = !SameText(c[k].Head, "Select");
    ++k;
    if (errorCheckAt(k)) {
      std::string target = c[k + 1].Solid[1]->Text;
      for (auto& ch : target) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      targets.insert(target);
      k += 2;
    } else if (writes) {
      fail("语句后缺少 If @@Error>0 GoTo IsError：" + statements.back());
    }
  }
  if (k >= c.size() || !IsTran(c[k], "Commit")) fail("缺少 Commit Tran。");
  ++k;
  if (k >= c.size() || c[k].Head != ":") fail("Commit Tran 之后缺少出错时的标签。");
  std::string label = c[k].Solid[0]->Text;
  for (auto& ch : label) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (auto& t : targets)
    if (t != label) fail("GoTo " + t + " 没有对应的标签。");
  ++k;
  if (k + 1 >= c.size() || !SameText(c[k].Head, "If") || Rest(c[k]) != "@@trancount>0" || !IsTran(c[k + 1], "Rollback"))
    fail("标签后应是 If @@TranCount>0 Rollback Tran。");
  k += 2;
  if (k != c.size()) fail("Rollback Tran 之后还有 " + text(c[k]));
  return statements;
}
