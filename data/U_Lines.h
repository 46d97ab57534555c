// The line datasets of the bill editors. A line's amount follows its quantity and price, and
// each dataset keeps its own running totals of quantity and amount, whatever changes a line:
// typing in the grid, the pickers' fill, a scan or a deletion.
#pragma once

#include "U_DataSet.h"

class TLineDataSet : public TDataSet {
public:
  enum class TKind { Business, Finance }; // YWD lines (SL, DJ, JE) or CWD lines (JE)
  TLineDataSet(std::string name, TKind kind, bool amountFormat = true);

  TKind Kind() const { return kind_; }
  // The totals the editors show and save; they reset them when a bill starts.
  double SumQuantity = 0;
  double SumAmount = 0;
  void ResetTotals() { SumQuantity = SumAmount = 0; }
  // Of the line being changed, taken when it enters edit mode.
  double PrevQuantity = 0;
  double PrevAmount = 0;

private:
  void FieldChanged(const std::string& field);
  TKind kind_;
};
