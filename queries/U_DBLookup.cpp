#include "U_DBLookup.h"

#include <cstdlib>
#include <optional>

namespace {

// A key as a number when it is one: numeric values, and text that is a number through and
// through (IDs come back as text from some statements).
std::optional<double> NumberOf(const TValue& v) {
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto s = std::get_if<std::string>(&v)) {
    if (s->empty()) return std::nullopt;
    char* end = nullptr;
    double d = std::strtod(s->c_str(), &end);
    if (end && *end == '\0') return d;
  }
  return std::nullopt;
}

} // namespace

bool SameKey(const TValue& a, const TValue& b) {
  if (IsNull(a) || IsNull(b)) return false;
  auto x = NumberOf(a), y = NumberOf(b);
  if (x && y) return *x == *y;
  return AsText(a) == AsText(b);
}

TDBLookupComboBox::TDBLookupComboBox(const QString& name, TDataSet& ds, std::string keyField, std::string listField,
                                     QWidget* parent)
    : QComboBox(parent), ds_(ds), keyField_(std::move(keyField)), listField_(std::move(listField)) {
  setObjectName(name);
  setEditable(false);
  setInsertPolicy(QComboBox::NoInsert);
  connect(this, &QComboBox::currentIndexChanged, this, &TDBLookupComboBox::IndexChanged);
  ds_.AddObserver(this);
  Rebuild();
}

TDBLookupComboBox::~TDBLookupComboBox() { ds_.RemoveObserver(this); }

int TDBLookupComboBox::RowOfKey(const TValue& v) const {
  if (!ds_.Active() || IsNull(v)) return -1;
  int f = ds_.FieldIndex(keyField_);
  if (f < 0) return -1;
  for (int r = 0; r < ds_.RecordCount(); ++r)
    if (SameKey(ds_.ValueAt(r, f), v)) return r;
  return -1;
}

void TDBLookupComboBox::SetKeyValue(const TValue& v) {
  key_ = v;
  internal_ = true;
  setCurrentIndex(RowOfKey(v));
  internal_ = false;
}

void TDBLookupComboBox::DataSetReset() { Rebuild(); }

void TDBLookupComboBox::Rebuild() {
  internal_ = true;
  clear();
  if (ds_.Active()) {
    int f = ds_.FieldIndex(listField_);
    for (int r = 0; r < ds_.RecordCount(); ++r)
      addItem(f < 0 ? QString() : QString::fromStdString(ds_.DisplayText(r, f)));
  }
  setCurrentIndex(RowOfKey(key_));
  internal_ = false;
}

void TDBLookupComboBox::IndexChanged(int index) {
  if (internal_) return;
  int f = ds_.Active() ? ds_.FieldIndex(keyField_) : -1;
  key_ = index >= 0 && index < ds_.RecordCount() && f >= 0 ? ds_.ValueAt(index, f) : TValue{};
  emit KeyValueChanged();
}
