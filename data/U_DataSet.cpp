#include "U_DataSet.h"

#include "U_Gbk.h"
#include "U_Jet.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

// ---------------------------------------------------------------------------------------------
// Rows, literals and matching

struct TDataSet::TRow {
  std::vector<TValue> V;
  std::vector<TValue> Orig; // the values as loaded, kept from the first posted change on
  enum { Unmodified, Modified, Inserted } St = Unmodified;
  size_t Seq = 0; // loaded order
  size_t Pos = 0; // index in rows_
};

namespace {

bool IsNumericType(TFieldType t) {
  return t == TFieldType::Integer || t == TFieldType::Real || t == TFieldType::Bool;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A value to compare rows with: from a filter text or a Locate key.
struct TLit {
  bool Null = false;
  std::string Text;
  bool IsNum = false;
  double Num = 0;
};

TLit LitFromText(std::string text, bool quoted) {
  TLit l;
  if (!quoted && EqualsNoCase(text, "Null")) {
    l.Null = true;
    return l;
  }
  if (!quoted && (EqualsNoCase(text, "True") || EqualsNoCase(text, "False"))) {
    l.IsNum = true;
    l.Num = EqualsNoCase(text, "True") ? 1 : 0;
  } else {
    l.IsNum = ParseNumber(text, l.Num);
  }
  l.Text = std::move(text);
  return l;
}

TLit LitFromValue(const TValue& v) {
  TLit l;
  if (IsNull(v)) {
    l.Null = true;
  } else if (auto s = std::get_if<std::string>(&v)) {
    l.Text = *s;
    l.IsNum = ParseNumber(*s, l.Num);
  } else {
    l.IsNum = true;
    l.Num = AsReal(v);
    l.Text = AsText(v);
  }
  return l;
}

// The number a row value stands for, when it stands for one.
std::optional<double> NumberOf(const TValue& v) {
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto s = std::get_if<std::string>(&v)) {
    double d;
    if (ParseNumber(*s, d)) return d;
  }
  return std::nullopt;
}

// Index and equality agree on one key: numbers by value in numeric fields, text as it stands.
std::optional<std::string> ValueKey(TFieldType type, const TValue& v) {
  if (IsNull(v)) return std::nullopt;
  if (IsNumericType(type))
    if (auto n = NumberOf(v)) return FormatReal(*n);
  return AsText(v);
}

std::string LitKey(TFieldType type, const TLit& l) {
  if (IsNumericType(type) && l.IsNum) return FormatReal(l.Num);
  return l.Text;
}

// -1, 0, 1; nullopt when the two cannot be compared (a Null side).
std::optional<int> Compare(TFieldType type, const TValue& v, const TLit& l) {
  if (IsNull(v) || l.Null) return std::nullopt;
  if ((IsNumericType(type) || !std::holds_alternative<std::string>(v)) && l.IsNum) {
    auto n = NumberOf(v);
    if (n) return *n < l.Num ? -1 : *n > l.Num ? 1 : 0;
  }
  int c = AsText(v).compare(l.Text);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Finds a lower-case needle in a haystack ignoring ASCII case (as the store's Like does).
bool ContainsNoCase(std::string_view hay, std::string_view lowNeedle, bool needleHasLetters) {
  if (lowNeedle.empty()) return true;
  if (!needleHasLetters) return hay.find(lowNeedle) != std::string_view::npos;
  const size_t n = lowNeedle.size();
  if (hay.size() < n) return false;
  const char first = lowNeedle[0];
  for (size_t i = 0, last = hay.size() - n; i <= last; ++i) {
    if (LowerAscii(hay[i]) != first) continue;
    size_t k = 1;
    while (k < n && LowerAscii(hay[i + k]) == lowNeedle[k]) ++k;
    if (k == n) return true;
  }
  return false;
}

bool StartsNoCase(std::string_view hay, std::string_view lowNeedle) {
  if (hay.size() < lowNeedle.size()) return false;
  for (size_t i = 0; i < lowNeedle.size(); ++i)
    if (LowerAscii(hay[i]) != lowNeedle[i]) return false;
  return true;
}

bool EndsNoCase(std::string_view hay, std::string_view lowNeedle) {
  return hay.size() >= lowNeedle.size() && StartsNoCase(hay.substr(hay.size() - lowNeedle.size()), lowNeedle);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Filters

namespace {

enum TFilterOp { Eq, Ne, Gt, Lt, Ge, Le, Like };
enum TLikeMode { Contains, Prefix, Suffix, Whole };

struct TFilterNode {
  enum { And, Or, Cmp } Kind = Cmp;
  int L = -1, R = -1;
  int Field = -1;
  TFieldType Type = TFieldType::Text;
  TFilterOp O = Eq;
  TLit Lit;
  TLikeMode Mode = Whole;
  std::string LowNeedle;
  bool NeedleHasLetters = false;
};

} // namespace

struct TDataSet::TCompiledFilter {
  using TNode = TFilterNode;
  std::vector<TNode> Nodes;
  int Root = -1;

  bool Eval(int n, const TRow& r) const {
    const TNode& x = Nodes[n];
    if (x.Kind == TNode::And) return Eval(x.L, r) && Eval(x.R, r);
    if (x.Kind == TNode::Or) return Eval(x.L, r) || Eval(x.R, r);
    const TValue& v = r.V[x.Field];
    if (x.O == Like) {
      if (::IsNull(v)) return false;
      const std::string* s = std::get_if<std::string>(&v);
      std::string tmp;
      if (!s) s = &(tmp = AsText(v));
      switch (x.Mode) {
      case Contains: return ContainsNoCase(*s, x.LowNeedle, x.NeedleHasLetters);
      case Prefix: return StartsNoCase(*s, x.LowNeedle);
      case Suffix: return EndsNoCase(*s, x.LowNeedle);
      case Whole: return s->size() == x.LowNeedle.size() && StartsNoCase(*s, x.LowNeedle);
      }
    }
    if (x.Lit.Null) {
      if (x.O == Eq) return ::IsNull(v);
      if (x.O == Ne) return !::IsNull(v);
      return false;
    }
    auto c = Compare(x.Type, v, x.Lit);
    if (!c) return false;
    switch (x.O) {
    case Eq: return *c == 0;
    case Ne: return *c != 0;
    case Gt: return *c > 0;
    case Lt: return *c < 0;
    case Ge: return *c >= 0;
    case Le: return *c <= 0;
    default: return false;
    }
  }
  bool Eval(const TRow& r) const { return Eval(Root, r); }

  // The equalities of an And chain that an index can answer.
  void IndexableEqualities(int n, std::vector<int>& out) const {
    const TNode& x = Nodes[n];
    if (x.Kind == TNode::And) {
      IndexableEqualities(x.L, out);
      IndexableEqualities(x.R, out);
    } else if (x.Kind == TNode::Cmp && x.O == Eq && !x.Lit.Null) {
      out.push_back(n);
    }
  }
};

namespace {

// Reads a filter text into the nodes of a compiled filter.
class TFilterParser {
public:
  using F = std::function<std::pair<int, TFieldType>(const std::string&)>; // field lookup
  TFilterParser(std::string_view text, F field, std::vector<TFilterNode>& nodes)
      : s_(text), field_(std::move(field)), nodes_(nodes) {}

  int Parse() {
    int n = ParseOr();
    SkipBlanks();
    if (p_ < s_.size()) Fail("多余的文字");
    return n;
  }

private:
  using TNode = TFilterNode;

  [[noreturn]] void Fail(const std::string& what) {
    throw EDataSetError("过滤条件有误（" + what + "）: " + std::string(s_));
  }
  void SkipBlanks() {
    while (p_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[p_]))) ++p_;
  }
  // A keyword (and, or, like) as a whole word at the current place.
  bool Keyword(const char* w) {
    SkipBlanks();
    size_t n = std::strlen(w);
    if (p_ + n > s_.size() || strncasecmp(s_.data() + p_, w, n) != 0) return false;
    if (p_ + n < s_.size()) {
      unsigned char c = s_[p_ + n];
      if (!(std::isspace(c) || c == '(' || c == '\'' || c == '%')) return false;
    }
    p_ += n;
    return true;
  }
  int Add(TNode n) {
    nodes_.push_back(std::move(n));
    return static_cast<int>(nodes_.size()) - 1;
  }
  int ParseOr() {
    int l = ParseAnd();
    while (Keyword("or")) {
      TNode n;
      n.Kind = TNode::Or;
      n.L = l;
      n.R = ParseAnd();
      l = Add(std::move(n));
    }
    return l;
  }
  int ParseAnd() {
    int l = ParseFactor();
    while (Keyword("and")) {
      TNode n;
      n.Kind = TNode::And;
      n.L = l;
      n.R = ParseFactor();
      l = Add(std::move(n));
    }
    return l;
  }
  int ParseFactor() {
    SkipBlanks();
    if (p_ < s_.size() && s_[p_] == '(') {
      ++p_;
      ++depth_;
      int n = ParseOr();
      SkipBlanks();
      if (p_ >= s_.size() || s_[p_] != ')') Fail("缺少右括号");
      ++p_;
      --depth_;
      return n;
    }
    return ParseComparison();
  }
  std::string Quoted() {
    std::string out;
    ++p_; // opening quote
    for (;;) {
      if (p_ >= s_.size()) Fail("引号不配对");
      if (s_[p_] == '\'') {
        if (p_ + 1 < s_.size() && s_[p_ + 1] == '\'') {
          out += '\'';
          p_ += 2;
          continue;
        }
        ++p_;
        return out;
      }
      out += s_[p_++];
    }
  }
  // A bare Like text runs to the next " and " or " or ".
  std::string BareLike() {
    size_t end = s_.size();
    for (size_t i = p_; i < s_.size(); ++i) {
      if (!std::isspace(static_cast<unsigned char>(s_[i]))) continue;
      size_t j = i;
      while (j < s_.size() && std::isspace(static_cast<unsigned char>(s_[j]))) ++j;
      for (const char* w : {"and", "or"}) {
        size_t n = std::strlen(w);
        if (j + n < s_.size() && strncasecmp(s_.data() + j, w, n) == 0 &&
            std::isspace(static_cast<unsigned char>(s_[j + n]))) {
          end = i;
          break;
        }
      }
      if (end != s_.size()) break;
    }
    std::string v(s_.substr(p_, end - p_));
    p_ = end;
    while (depth_ > 0 && !v.empty() && v.back() == ')' && v.find('(') == std::string::npos) {
      v.pop_back(); // the closing parenthesis of a group, not part of the text
      --p_;
    }
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back()))) v.pop_back();
    return v;
  }
  std::string BareWord() {
    size_t b = p_;
    while (p_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[p_])) && s_[p_] != ')') ++p_;
    return std::string(s_.substr(b, p_ - b));
  }
  int ParseComparison() {
    SkipBlanks();
    size_t b = p_;
    if (p_ < s_.size() && s_[p_] == '[') {
      size_t e = s_.find(']', p_);
      if (e == std::string_view::npos) Fail("缺少 ]");
      p_ = e + 1;
    } else {
      while (p_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[p_])) && !std::strchr("=<>!()", s_[p_]))
        ++p_;
    }
    std::string name(s_.substr(b, p_ - b));
    if (name.size() >= 2 && name.front() == '[') name = name.substr(1, name.size() - 2);
    if (name.empty()) Fail("缺少字段名");
    auto [field, type] = field_(name);
    if (field < 0) Fail("没有字段 " + name);
    TNode n;
    n.Field = field;
    n.Type = type;
    SkipBlanks();
    if (Keyword("like")) {
      n.O = Like;
      SkipBlanks();
      const bool quoted = p_ < s_.size() && s_[p_] == '\'';
      std::string pat = quoted ? Quoted() : BareLike();
      if (!quoted && pat.empty()) Fail("缺少比较值");
      bool lead = !pat.empty() && (pat.front() == '%' || pat.front() == '*');
      if (lead) pat.erase(0, 1);
      bool trail = !pat.empty() && (pat.back() == '%' || pat.back() == '*');
      if (trail) pat.pop_back();
      n.Mode = lead && trail ? Contains : lead ? Suffix : trail ? Prefix : Whole;
      for (char& c : pat) {
        c = LowerAscii(c);
        if (c >= 'a' && c <= 'z') n.NeedleHasLetters = true;
      }
      n.LowNeedle = std::move(pat);
      return Add(std::move(n));
    }
    static const std::pair<const char*, TFilterOp> ops[] = {{"<>", Ne}, {"!=", Ne}, {">=", Ge},
                                                         {"<=", Le}, {"=", Eq},  {">", Gt},
                                                         {"<", Lt}};
    bool found = false;
    for (auto& [t, o] : ops)
      if (s_.compare(p_, std::strlen(t), t) == 0) {
        n.O = o;
        p_ += std::strlen(t);
        found = true;
        break;
      }
    if (!found) Fail("缺少比较符");
    SkipBlanks();
    if (p_ < s_.size() && s_[p_] == '\'') n.Lit = LitFromText(Quoted(), true);
    else {
      std::string w = BareWord();
      if (w.empty()) Fail("缺少比较值");
      n.Lit = LitFromText(w, false);
    }
    return Add(std::move(n));
  }

  std::string_view s_;
  F field_;
  std::vector<TNode>& nodes_;
  size_t p_ = 0;
  int depth_ = 0;
};

} // namespace

struct TDataSet::TIndex {
  std::unordered_map<std::string, std::vector<TRow*>> Map;
};

// ---------------------------------------------------------------------------------------------
// The dataset

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}
TDataSet::~TDataSet() = default;

void TDataSet::SetParam(const std::string& name, TValue value) {
  std::string key = name.empty() || name[0] == ':' ? name : ":" + name;
  for (auto& p : Parameters)
    if (p.first == key) {
      p.second = std::move(value);
      return;
    }
  Parameters.emplace_back(key, std::move(value));
}

void TDataSet::Open() {
  if (Active()) return;
  if (!Connection) throw EDataSetError(name_ + ": 没有连接");
  TResult r = Connection->Query(SQL, Parameters);
  fields_.clear();
  for (size_t i = 0; i < r.Columns.size(); ++i) {
    TFieldDef f;
    f.Name = r.Columns[i];
    if (!r.DeclTypes[i].empty()) {
      f.Type = FieldTypeOf(r.DeclTypes[i]);
    } else { // an expression: its values tell
      f.Type = TFieldType::Text;
      for (auto& row : r.Rows) {
        if (std::holds_alternative<std::int64_t>(row[i])) { f.Type = TFieldType::Integer; break; }
        if (std::holds_alternative<double>(row[i])) { f.Type = TFieldType::Real; break; }
        if (std::holds_alternative<std::string>(row[i])) break;
      }
    }
    if (auto it = formats_.find(f.Name); it != formats_.end()) f.DisplayFormat = it->second;
    fields_.push_back(std::move(f));
  }
  rows_.clear();
  deleted_.clear();
  rows_.reserve(r.Rows.size());
  for (auto& values : r.Rows) {
    auto row = std::make_unique<TRow>();
    row->V = std::move(values);
    row->Seq = rows_.size();
    row->Pos = rows_.size();
    rows_.push_back(std::move(row));
  }
  nextSeq_ = rows_.size();
  DropIndexes();
  state_ = TDataSetState::Browse;
  Compile(); // a filter outlives a reload
  RebuildView();
  First();
  NotifyReset();
}

void TDataSet::Close() {
  if (!Active()) return;
  state_ = TDataSetState::Inactive;
  rows_.clear();
  deleted_.clear();
  view_.clear();
  allRows_.clear();
  allValid_ = viewIsAll_ = false;
  fields_.clear();
  compiled_.reset();
  DropIndexes();
  cur_ = 0;
  bof_ = eof_ = true;
  NotifyReset();
}

int TDataSet::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (EqualsNoCase(fields_[i].Name, name)) return static_cast<int>(i);
  return -1;
}

int TDataSet::FieldNo(std::string_view name) const {
  int i = FieldIndex(name);
  if (i < 0) throw EDataSetError(name_ + ": 没有字段 " + std::string(name));
  return i;
}

void TDataSet::SetDisplayFormat(const std::string& field, std::string format) {
  formats_[field] = format;
  if (int i = FieldIndex(field); i >= 0) fields_[i].DisplayFormat = std::move(format);
}

void TDataSet::RequireActive() const {
  if (!Active()) throw EDataSetError(name_ + ": 数据集没有打开");
}

void TDataSet::RequireBrowse(const char* what) const {
  RequireActive();
  if (state_ != TDataSetState::Browse) throw EDataSetError(name_ + ": 正在编辑，不能" + what);
}

// --- Navigation ------------------------------------------------------------------------------

void TDataSet::MoveTo(int index) {
  if (state_ == TDataSetState::Edit || state_ == TDataSetState::Insert) Post();
  cur_ = view_.empty() ? 0 : std::clamp(index, 0, static_cast<int>(view_.size()) - 1);
  bof_ = eof_ = view_.empty();
  NotifyCurrent();
}

void TDataSet::SetRecNo(int recNo) {
  RequireActive();
  MoveTo(recNo - 1);
}

void TDataSet::First() {
  RequireActive();
  MoveTo(0);
  bof_ = true;
}

void TDataSet::Last() {
  RequireActive();
  MoveTo(RecordCount() - 1);
  eof_ = true;
}

void TDataSet::Next() {
  RequireActive();
  if (cur_ + 1 >= RecordCount()) {
    if (state_ != TDataSetState::Browse) Post();
    eof_ = true;
    return;
  }
  MoveTo(cur_ + 1);
}

void TDataSet::Prior() {
  RequireActive();
  if (cur_ <= 0) {
    if (state_ != TDataSetState::Browse) Post();
    bof_ = true;
    return;
  }
  MoveTo(cur_ - 1);
}

// --- Values ----------------------------------------------------------------------------------

const TValue& TDataSet::Value(std::string_view field) const {
  RequireActive();
  if (view_.empty()) throw EDataSetError(name_ + ": 没有记录");
  return view_[cur_]->V[FieldNo(field)];
}

const TValue& TDataSet::ValueAt(int row, int field) const { return view_.at(row)->V.at(field); }

std::string TDataSet::DisplayText(int row, int field) const {
  const TValue& v = ValueAt(row, field);
  if (::IsNull(v)) return {};
  const TFieldDef& f = fields_[field];
  if (f.DisplayFormat == "0.00" && (IsNumericType(f.Type) || !std::holds_alternative<std::string>(v))) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", AsReal(v) + 0.0);
    return std::strcmp(buf, "-0.00") == 0 ? "0.00" : buf;
  }
  if (f.Type == TFieldType::Bool) return AsReal(v) != 0 ? "True" : "False";
  return AsText(v);
}

TValue TDataSet::Convert(int field, TValue value) const {
  if (::IsNull(value)) return value;
  const TFieldDef& f = fields_[field];
  auto text = std::get_if<std::string>(&value);
  switch (f.Type) {
  case TFieldType::Text: return text ? value : TValue(AsText(value));
  case TFieldType::Date: {
    if (!text) throw EDataSetError(f.Name + ": 不是日期");
    if (text->empty()) return std::monostate{};
    auto d = NormalizeDateText(*text);
    if (!d) throw EDataSetError("“" + *text + "”不是有效的日期");
    return *d;
  }
  case TFieldType::Bool:
    if (text) {
      if (text->empty()) return std::monostate{};
      if (EqualsNoCase(*text, "True") || *text == "是") return std::int64_t{1};
      if (EqualsNoCase(*text, "False") || *text == "否") return std::int64_t{0};
    }
    return std::int64_t{AsReal(value) != 0};
  case TFieldType::Integer:
  case TFieldType::Real: {
    if (!text) return f.Type == TFieldType::Integer ? TValue(AsInt(value)) : TValue(AsReal(value));
    if (text->find_first_not_of(' ') == std::string::npos) return std::monostate{};
    double d;
    if (!ParseNumber(*text, d)) throw EDataSetError("“" + *text + "”不是有效的数字");
    if (f.Type == TFieldType::Integer) {
      if (d != std::floor(d)) throw EDataSetError("“" + *text + "”不是有效的整数");
      return static_cast<std::int64_t>(d);
    }
    return d;
  }
  }
  return value;
}

void TDataSet::SetValue(std::string_view field, TValue value) {
  RequireActive();
  if (state_ != TDataSetState::Edit && state_ != TDataSetState::Insert)
    throw EDataSetError(name_ + ": 数据集不在编辑状态");
  int f = FieldNo(field);
  TValue v = Convert(f, std::move(value));
  view_[cur_]->V[f] = std::move(v);
  indexes_.erase(f);
  if (OnFieldChange) OnFieldChange(*this, fields_[f].Name);
  int at = cur_;
  Notify([at](TDataSetObserver* o) { o->RowChanged(at); });
}

// --- States ----------------------------------------------------------------------------------

void TDataSet::Edit() {
  RequireActive();
  if (state_ != TDataSetState::Browse) return;
  if (view_.empty()) return Append();
  if (BeforeEdit) BeforeEdit(*this);
  editBuffer_ = view_[cur_]->V;
  state_ = TDataSetState::Edit;
}

void TDataSet::NewRow(bool append) {
  RequireActive();
  if (state_ != TDataSetState::Browse) Post();
  auto row = std::make_unique<TRow>();
  row->V.assign(fields_.size(), std::monostate{});
  row->St = TRow::Inserted;
  row->Seq = nextSeq_++;
  TRow* p = row.get();
  int at;
  if (append || view_.empty()) {
    rows_.push_back(std::move(row));
    view_.push_back(p);
    at = static_cast<int>(view_.size()) - 1;
  } else {
    TRow* before = view_[cur_];
    rows_.insert(rows_.begin() + static_cast<long>(before->Pos), std::move(row));
    at = cur_;
    view_.insert(view_.begin() + at, p);
  }
  Renumber();
  cur_ = at;
  bof_ = eof_ = false;
  state_ = TDataSetState::Insert;
  Notify([at](TDataSetObserver* o) { o->RowInserted(at); });
  NotifyCurrent();
  if (AfterInsert) AfterInsert(*this);
}

void TDataSet::Insert() { NewRow(false); }
void TDataSet::Append() { NewRow(true); }

void TDataSet::Post() {
  RequireActive();
  TRow* r = view_.empty() ? nullptr : view_[cur_];
  if (state_ == TDataSetState::Edit && r) {
    if (r->St == TRow::Unmodified && r->V != editBuffer_) {
      r->Orig = editBuffer_;
      r->St = TRow::Modified;
    }
  }
  if (state_ == TDataSetState::Browse || state_ == TDataSetState::Inactive) return;
  state_ = TDataSetState::Browse;
  editBuffer_.clear();
  int at = cur_;
  Notify([at](TDataSetObserver* o) { o->RowChanged(at); });
}

void TDataSet::Cancel() {
  RequireActive();
  if (state_ == TDataSetState::Edit) {
    view_[cur_]->V = editBuffer_;
    DropIndexes();
    state_ = TDataSetState::Browse;
    int at = cur_;
    Notify([at](TDataSetObserver* o) { o->RowChanged(at); });
  } else if (state_ == TDataSetState::Insert) {
    state_ = TDataSetState::Browse;
    TRow* r = view_[cur_];
    int at = cur_;
    view_.erase(view_.begin() + at);
    rows_.erase(rows_.begin() + static_cast<long>(r->Pos));
    Renumber();
    DropIndexes();
    Notify([at](TDataSetObserver* o) { o->RowRemoved(at); });
    MoveTo(at);
  }
}

void TDataSet::Delete() {
  RequireActive();
  if (state_ == TDataSetState::Insert || state_ == TDataSetState::Edit) Cancel();
  if (view_.empty()) throw EDataSetError(name_ + ": 没有可删除的记录");
  if (BeforeDelete) BeforeDelete(*this);
  TRow* r = view_[cur_];
  int at = cur_;
  auto owned = std::move(rows_[r->Pos]);
  rows_.erase(rows_.begin() + static_cast<long>(r->Pos));
  if (owned->St != TRow::Inserted) deleted_.push_back(std::move(owned));
  view_.erase(view_.begin() + at);
  Renumber();
  DropIndexes();
  Notify([at](TDataSetObserver* o) { o->RowRemoved(at); });
  MoveTo(at);
}

// --- Observers -------------------------------------------------------------------------------

void TDataSet::AddObserver(TDataSetObserver* o) { observers_.push_back(o); }

void TDataSet::RemoveObserver(TDataSetObserver* o) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void TDataSet::Notify(const std::function<void(TDataSetObserver*)>& f) {
  if (disabled_ > 0) {
    missed_ = true;
    return;
  }
  for (auto* o : std::vector<TDataSetObserver*>(observers_)) f(o);
}

void TDataSet::NotifyReset() {
  Notify([](TDataSetObserver* o) { o->DataSetReset(); });
}

void TDataSet::NotifyCurrent() {
  Notify([](TDataSetObserver* o) { o->CurrentChanged(); });
  if (AfterScroll) AfterScroll(*this);
}

void TDataSet::DisableControls() { ++disabled_; }

void TDataSet::EnableControls() {
  if (disabled_ == 0) return;
  if (--disabled_ == 0 && missed_) {
    missed_ = false;
    NotifyReset();
    Notify([](TDataSetObserver* o) { o->CurrentChanged(); });
  }
}

// --- Sort, filter, locate --------------------------------------------------------------------

void TDataSet::Renumber() {
  allValid_ = false; // rows came or went: the full view kept aside is out of date
  for (size_t i = 0; i < rows_.size(); ++i) rows_[i]->Pos = i;
}

void TDataSet::DropIndexes() { indexes_.clear(); }

const std::vector<TDataSet::TRow*>& TDataSet::IndexLookup(int field, const TValue& value) {
  static const std::vector<TRow*> none;
  auto& idx = indexes_[field];
  if (!idx) {
    idx = std::make_unique<TIndex>();
    idx->Map.reserve(rows_.size());
    const TFieldType t = fields_[field].Type;
    for (auto& r : rows_)
      if (auto k = ValueKey(t, r->V[field])) idx->Map[*k].push_back(r.get());
  }
  auto k = ValueKey(fields_[field].Type, value);
  if (!k) return none;
  auto it = idx->Map.find(*k);
  return it == idx->Map.end() ? none : it->second;
}

bool TDataSet::RowVisible(const TRow* r) const { return !filtered_ || !compiled_ || compiled_->Eval(*r); }

void TDataSet::RebuildView() {
  const bool all = !filtered_ || !compiled_;
  // The full view in loaded order is kept aside while a filter shows fewer rows, so that
  // turning the filter off and on again (every barcode scan) makes no pass over all rows.
  if (viewIsAll_ && !all && sort_.empty()) {
    allRows_.swap(view_);
    allValid_ = true;
  }
  viewIsAll_ = all;
  if (all) {
    if (allValid_) {
      view_.swap(allRows_);
      allValid_ = false;
    } else {
      view_.clear();
      view_.reserve(rows_.size());
      for (auto& r : rows_) view_.push_back(r.get());
    }
    SortView();
    return;
  }
  view_.clear();
  std::vector<int> eqs;
  compiled_->IndexableEqualities(compiled_->Root, eqs);
  if (!eqs.empty()) {
    // The equality with the fewest candidate rows: a code before a warehouse.
    const std::vector<TRow*>* best = nullptr;
    for (int eq : eqs) {
      const auto& node = compiled_->Nodes[eq];
      TValue key = LitKey(node.Type, node.Lit);
      if (IsNumericType(node.Type) && node.Lit.IsNum) key = node.Lit.Num;
      const std::vector<TRow*>& rows = IndexLookup(node.Field, key);
      if (!best || rows.size() < best->size()) best = &rows;
      if (best->size() <= 1) break;
    }
    for (TRow* r : *best)
      if (compiled_->Eval(*r)) view_.push_back(r);
    std::sort(view_.begin(), view_.end(), [](const TRow* a, const TRow* b) { return a->Pos < b->Pos; });
  } else {
    for (auto& r : rows_)
      if (compiled_->Eval(*r)) view_.push_back(r.get());
  }
  SortView();
}

void TDataSet::SortView() {
  if (sort_.empty() || view_.size() < 2) return;
  std::string text = sort_;
  bool desc = false;
  size_t sp = text.find_last_of(' ');
  if (sp != std::string::npos) {
    std::string dir = text.substr(sp + 1);
    if (EqualsNoCase(dir, "DESC") || EqualsNoCase(dir, "ASC")) {
      desc = EqualsNoCase(dir, "DESC");
      text = text.substr(0, sp);
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  int f = FieldIndex(text);
  if (f < 0) throw EDataSetError(name_ + ": 不能按 " + text + " 排序");
  const bool numeric = IsNumericType(fields_[f].Type);
  struct TKey {
    bool Null;
    double Num;
    std::string Text;
    TRow* Row;
  };
  std::vector<TKey> keys;
  keys.reserve(view_.size());
  for (TRow* r : view_) {
    const TValue& v = r->V[f];
    TKey k{::IsNull(v), 0, {}, r};
    auto n = NumberOf(v);
    if (!k.Null && numeric && n) k.Num = *n;
    else if (!k.Null) {
      // Chinese text sorts in the order of its code page, which follows pinyin.
      try {
        k.Text = Utf8ToGbk(AsText(v));
      } catch (const std::exception&) {
        k.Text = AsText(v);
      }
    }
    keys.push_back(std::move(k));
  }
  std::stable_sort(keys.begin(), keys.end(), [&](const TKey& a, const TKey& b) {
    if (a.Null != b.Null) return desc ? b.Null : a.Null; // Null first ascending, last descending
    if (a.Null) return false;
    int c = numeric ? (a.Num < b.Num ? -1 : a.Num > b.Num ? 1 : 0) : a.Text.compare(b.Text);
    return desc ? c > 0 : c < 0;
  });
  for (size_t i = 0; i < keys.size(); ++i) view_[i] = keys[i].Row;
}

void TDataSet::SetSort(const std::string& sortText) {
  RequireBrowse("排序");
  TRow* current = view_.empty() ? nullptr : view_[cur_];
  sort_ = sortText;
  if (sort_.empty()) { // back to the loaded order
    std::sort(view_.begin(), view_.end(), [](const TRow* a, const TRow* b) { return a->Pos < b->Pos; });
  } else {
    SortView();
  }
  NotifyReset();
  int at = current ? ViewPosition(current) : 0;
  MoveTo(at < 0 ? 0 : at);
}

void TDataSet::Compile() {
  std::unique_ptr<TCompiledFilter> c;
  if (!filter_.empty() && !fields_.empty()) {
    c = std::make_unique<TCompiledFilter>();
    TFilterParser parser(
        filter_,
        [this](const std::string& name) {
          int i = FieldIndex(name);
          return std::make_pair(i, i < 0 ? TFieldType::Text : fields_[i].Type);
        },
        c->Nodes);
    c->Root = parser.Parse();
  }
  compiled_ = std::move(c);
}

void TDataSet::SetFilter(const std::string& filterText) {
  std::string old = std::move(filter_);
  filter_ = filterText;
  try {
    Compile();
  } catch (...) {
    filter_ = std::move(old); // a malformed text leaves the filter as it was
    Compile();
    throw;
  }
  if (Active() && filtered_) {
    if (state_ != TDataSetState::Browse) Post();
    RebuildView();
    NotifyReset();
    First();
  }
}

void TDataSet::SetFiltered(bool on) {
  if (filtered_ == on) return;
  filtered_ = on;
  if (!Active()) return;
  if (state_ != TDataSetState::Browse) Post();
  RebuildView();
  NotifyReset();
  First();
}

int TDataSet::ViewPosition(const TRow* r) const {
  auto it = std::find(view_.begin(), view_.end(), r);
  return it == view_.end() ? -1 : static_cast<int>(it - view_.begin());
}

bool TDataSet::Locate(const std::vector<std::pair<std::string, TValue>>& keys) {
  RequireActive();
  if (keys.empty()) return false;
  std::vector<std::pair<int, TLit>> lits;
  for (auto& [name, value] : keys) lits.emplace_back(FieldNo(name), LitFromValue(value));
  std::vector<TRow*> found;
  for (TRow* r : IndexLookup(lits[0].first, keys[0].second)) {
    bool all = true;
    for (auto& [f, lit] : lits) {
      auto c = Compare(fields_[f].Type, r->V[f], lit);
      if (!c || *c != 0) all = false;
    }
    if (all && RowVisible(r)) found.push_back(r);
  }
  if (found.empty()) return false;
  int best = -1;
  if (sort_.empty()) {
    // Visible rows keep the loaded order: the first found is the lowest position.
    TRow* first = *std::min_element(found.begin(), found.end(), [](auto a, auto b) { return a->Pos < b->Pos; });
    best = ViewPosition(first);
  } else {
    for (TRow* r : found) {
      int p = ViewPosition(r);
      if (p >= 0 && (best < 0 || p < best)) best = p;
    }
  }
  if (best < 0) return false;
  MoveTo(best);
  return true;
}

std::string TDataSet::LikeText(const std::string& field, const std::string& t) {
  std::string out = field + " Like '%";
  for (char c : t) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "%'";
}

// --- Pending changes -------------------------------------------------------------------------

bool TDataSet::HasPendingChanges() const {
  if (!deleted_.empty()) return true;
  for (auto& r : rows_)
    if (r->St != TRow::Unmodified) return true;
  return false;
}

void TDataSet::CancelBatch() {
  RequireActive();
  if (state_ != TDataSetState::Browse) Cancel();
  std::vector<std::unique_ptr<TRow>> kept;
  kept.reserve(rows_.size() + deleted_.size());
  for (auto* list : {&rows_, &deleted_})
    for (auto& r : *list) {
      if (r->St == TRow::Inserted) continue;
      if (r->St == TRow::Modified) r->V = std::move(r->Orig);
      r->Orig.clear();
      r->St = TRow::Unmodified;
      kept.push_back(std::move(r));
    }
  std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a->Seq < b->Seq; });
  rows_ = std::move(kept);
  deleted_.clear();
  Renumber();
  DropIndexes();
  RebuildView();
  NotifyReset();
  First();
}

namespace {

std::string SqlLiteral(const TValue& v, TFieldType type) {
  if (IsNull(v)) return "Null";
  if (IsNumericType(type) && !std::holds_alternative<std::string>(v)) return AsText(v);
  return QuotedStr(AsText(v));
}

} // namespace

void TDataSet::ApplyUpdates(TStore& store, const std::string& table, const std::string& keyField) {
  RequireActive();
  if (state_ != TDataSetState::Browse) Post();
  const int key = FieldNo(keyField);
  assignedKeys_.clear();
  std::vector<int> cols;
  for (const TColumnInfo& c : store.Columns(table))
    if (int f = FieldIndex(c.Name); f >= 0) cols.push_back(f);
  auto keyOf = [&](const TRow& r) {
    const TValue& k = r.St == TRow::Modified ? r.Orig[key] : r.V[key];
    return fields_[key].Name + "=" + SqlLiteral(k, fields_[key].Type);
  };
  for (auto& r : deleted_) store.Execute("Delete From " + table + " Where " + keyOf(*r));
  for (auto& r : rows_) {
    if (r->St == TRow::Modified) {
      std::string set;
      for (int f : cols) set += (set.empty() ? "" : ",") + fields_[f].Name + "=" + SqlLiteral(r->V[f], fields_[f].Type);
      store.Execute("Update " + table + " Set " + set + " Where " + keyOf(*r));
    } else if (r->St == TRow::Inserted) {
      std::string names, values;
      for (int f : cols) {
        if (f == key && ::IsNull(r->V[f])) continue; // the store gives the key
        names += (names.empty() ? "" : ",") + fields_[f].Name;
        values += (values.empty() ? "" : ",") + SqlLiteral(r->V[f], fields_[f].Type);
      }
      store.Execute("Insert InTo " + table + " (" + names + ") Values (" + values + ")");
      if (::IsNull(r->V[key])) assignedKeys_.emplace_back(r.get(), store.Query("Select last_insert_rowid()").Rows[0][0]);
    }
  }
  appliedKey_ = key;
}

void TDataSet::CommitUpdates() {
  RequireActive();
  for (auto& [row, id] : assignedKeys_) row->V[appliedKey_] = id;
  assignedKeys_.clear();
  for (auto& r : rows_) {
    r->St = TRow::Unmodified;
    r->Orig.clear();
  }
  deleted_.clear();
  DropIndexes();
  NotifyReset();
}

// --- Loading helpers -------------------------------------------------------------------------

void OpenDetached(TDataSet& ds, TStore& store) {
  ds.Connection = &store;
  ds.Open();
}

void ReloadDetached(TDataSet& ds, TStore& store) {
  ds.Connection = &store;
  ds.Close();
  ds.Open();
}

void ReloadKeepPosition(TDataSet& ds, TStore& store) {
  const int recNo = ds.RecNo();
  TControlsDisabled suspended(ds);
  ReloadDetached(ds, store);
  ds.SetRecNo(recNo);
}
