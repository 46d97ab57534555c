#include "U_Lines.h"

#include <cstring>
#include <strings.h>

namespace {

bool Is(const std::string& field, const char* name) { return strcasecmp(field.c_str(), name) == 0; }

} // namespace

TLineDataSet::TLineDataSet(std::string name, TKind kind, bool amountFormat) : TDataSet(std::move(name)), kind_(kind) {
  if (amountFormat) {
    SetDisplayFormat("JE", "0.00");
    if (kind_ == TKind::Business) SetDisplayFormat("DJ", "0.00");
  }
  // A line the grid appends after the last blank one is marked as new and posted at once,
  // so that every later change to it happens in edit mode.
  AfterInsert = [](TDataSet& d) {
    d.SetValue("ID", std::int64_t{0});
    d.Post();
  };
  BeforeEdit = [this](TDataSet& d) {
    if (kind_ == TKind::Business) PrevQuantity = d.AsFloat("SL");
    PrevAmount = d.AsFloat("JE");
  };
  OnFieldChange = [this](TDataSet&, const std::string& field) { FieldChanged(field); };
  BeforeDelete = [this](TDataSet& d) {
    if (kind_ == TKind::Business) SumQuantity -= d.AsFloat("SL");
    SumAmount -= d.AsFloat("JE");
  };
}

void TLineDataSet::FieldChanged(const std::string& field) {
  if (kind_ == TKind::Business && Is(field, "SL")) {
    const double sl = AsFloat("SL");
    SumQuantity = SumQuantity - PrevQuantity + sl;
    PrevQuantity = sl;
    SetValue("JE", AsFloat("DJ") * sl);
  } else if (kind_ == TKind::Business && Is(field, "DJ")) {
    SetValue("JE", AsFloat("DJ") * AsFloat("SL"));
  } else if (Is(field, "JE")) {
    const double je = AsFloat("JE");
    SumAmount = SumAmount - PrevAmount + je;
    PrevAmount = je;
  }
}
