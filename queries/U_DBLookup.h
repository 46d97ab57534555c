// The lookup combo box of every window: a drop-down list over one of the data module's
// lists (staff, accounts, warehouses...) that shows one field of each row and stands for
// another, the key (normally ID).
#pragma once

#include "U_DataSet.h"

#include <QComboBox>
#include <QString>

#include <string>

// The items are the dataset's visible rows, in their order, showing the list field. The box
// holds a key value rather than a row: a key that no row has (0 for "none", or a row that is
// no longer in the list) is kept and shows an empty box, and when the list is reloaded the
// row with the key is selected again. Reading the rows never moves the dataset's current
// row, since other windows share the list.
//
// Typing while the box has the focus selects the next row whose text starts with what was
// typed (a drop-down list, not a free text box). The dataset must outlive the box.
class TDBLookupComboBox : public QComboBox, public TDataSetObserver {
  Q_OBJECT
public:
  TDBLookupComboBox(const QString& name, TDataSet& ds, std::string keyField, std::string listField,
                    QWidget* parent = nullptr);
  ~TDBLookupComboBox() override;

  TDataSet& ListSource() const { return ds_; }

  // The key of the selected row; the key last set when no row has it; Null when nothing
  // was ever set or the selection was cleared.
  const TValue& KeyValue() const { return key_; }
  // The key as a whole number: Null counts as 0 (no selection).
  int KeyInt() const { return static_cast<int>(AsInt(key_)); }
  // Selects the row whose key equals v (1 and "1" are the same key); no row selected when
  // none has it. Does not emit KeyValueChanged.
  void SetKeyValue(const TValue& v);

  // The visible row (0-based) whose key equals v; -1 when none.
  int RowOfKey(const TValue& v) const;

  void DataSetReset() override;
  void RowChanged(int) override { Rebuild(); }
  void RowInserted(int) override { Rebuild(); }
  void RowRemoved(int) override { Rebuild(); }

signals:
  // The selection changed through the box (the user picking, typing or a setCurrentIndex).
  void KeyValueChanged();

private:
  void Rebuild();
  void IndexChanged(int index);

  TDataSet& ds_;
  std::string keyField_, listField_;
  TValue key_;
  bool internal_ = false; // our own changes of the items or the index
};

// Keys are compared by value: numbers as numbers (1, 1.0 and "1" are equal), other text as
// text; Null equals nothing.
bool SameKey(const TValue& a, const TValue& b);
