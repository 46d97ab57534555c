// The in-memory dataset behind every Q_ object of the data module: rows loaded from a local
// statement and kept after the connection closes, a current row, browse/edit/insert states,
// the events the line rules hang on, sorting, filtering, indexed locating and pending
// changes that can be discarded or written to a table.
#pragma once

#include "U_Store.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

class EDataSetError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};



struct TFieldDef {
  std::string Name;
  TFieldType Type = TFieldType::Text;
  std::string DisplayFormat; // "0.00": two decimals; empty: the shortest form
};

enum class TDataSetState { Inactive, Browse, Edit, Insert };

// What a grid needs to hear. Indexes are 0-based positions among the visible rows.
class TDataSetObserver {
public:
  virtual ~TDataSetObserver() = default;
  virtual void DataSetReset() {} // rows, their order or the fields changed wholesale
  virtual void RowChanged(int) {}
  virtual void RowInserted(int) {}
  virtual void RowRemoved(int) {}
  virtual void CurrentChanged() {} // the current row moved
};

class TDataSet {
public:
  explicit TDataSet(std::string name = {});
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  const std::string& Name() const { return name_; }

  // --- Loading ------------------------------------------------------------------------------
  TStore* Connection = nullptr;
  std::string SQL;    // Jet text
  TParams Parameters; // ":RID", ":FID"
  void SetParam(const std::string& name, TValue value);

  // Runs SQL on Connection (which opens itself) and keeps the rows; nothing when open.
  void Open();
  void Close();
  void Requery() { Close(); Open(); }
  bool Active() const { return state_ != TDataSetState::Inactive; }
  TDataSetState State() const { return state_; }

  // --- Fields -------------------------------------------------------------------------------
  const std::vector<TFieldDef>& Fields() const { return fields_; }
  int FieldIndex(std::string_view name) const; // -1 when absent
  int FieldNo(std::string_view name) const;    // throws when absent
  // Display formats set before opening are kept for fields of that name.
  void SetDisplayFormat(const std::string& field, std::string format);

  // --- Navigation over the visible rows (filtered and sorted) --------------------------------
  int RecordCount() const { return static_cast<int>(view_.size()); }
  bool IsEmpty() const { return view_.empty(); }
  int RecNo() const { return view_.empty() ? 0 : cur_ + 1; } // 1-based; 0 when empty
  void SetRecNo(int recNo); // clamped to the rows there are
  void First();
  void Last();
  void Next();  // sets Eof at the last row
  void Prior(); // sets Bof at the first row
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }

  // --- Values -------------------------------------------------------------------------------
  const TValue& Value(std::string_view field) const;
  const TValue& ValueAt(int row, int field) const; // row: 0-based visible position
  bool IsNull(std::string_view field) const { return ::IsNull(Value(field)); }
  std::string AsString(std::string_view field) const { return AsText(Value(field)); }
  double AsFloat(std::string_view field) const { return AsReal(Value(field)); }
  std::int64_t AsInteger(std::string_view field) const { return AsInt(Value(field)); }
  // The value as a grid shows it: the display format applied, Null as empty.
  std::string DisplayText(int row, int field) const;
  // Converts to the field's type ("2.5" for a Real field is 2.5; "" is Null) and fires the
  // field-change event. Only in the edit and insert states.
  void SetValue(std::string_view field, TValue value);

  // --- States -------------------------------------------------------------------------------
  void Edit();   // an empty dataset appends instead
  void Insert(); // a new row before the current one
  void Append(); // a new row after the last one
  void Post();
  void Cancel();
  void Delete();

  // --- Events -------------------------------------------------------------------------------
  std::function<void(TDataSet&)> AfterInsert;
  std::function<void(TDataSet&)> BeforeEdit;
  std::function<void(TDataSet&, const std::string& field)> OnFieldChange;
  std::function<void(TDataSet&)> BeforeDelete;
  std::function<void(TDataSet&)> AfterScroll;

  void AddObserver(TDataSetObserver* o);
  void RemoveObserver(TDataSetObserver* o);
  // Suspends what observers hear; the last EnableControls tells them one reset.
  void DisableControls();
  void EnableControls();

  // --- Sort, filter, locate -----------------------------------------------------------------
  // "Field ASC" or "Field DESC"; empty restores the loaded order.
  void SetSort(const std::string& sortText);
  const std::string& Sort() const { return sort_; }

  // Filter texts: comparisons "Field=value", "<>", ">", "<", ">=", "<=", "Field Like %t%"
  // (contains; also t%, %t, quoted '%t%'), "Field=Null", "Field<>Null", joined by and/or
  // with parentheses. Values: 'quoted text' (quotes doubled inside), numbers, Null, or for
  // Like the bare text up to the next " and "/" or ". Text matches ignore ASCII case.
  void SetFilter(const std::string& filterText); // throws EDataSetError on a malformed text
  const std::string& Filter() const { return filter_; }
  void SetFiltered(bool on);
  bool Filtered() const { return filtered_; }

  // Moves to the first visible row whose fields equal the values; false (and no move) when
  // none. Uses an index on the first field.
  bool Locate(const std::vector<std::pair<std::string, TValue>>& keys);
  bool Locate(const std::string& field, const TValue& value) { return Locate({{field, value}}); }

  // --- Pending changes ----------------------------------------------------------------------
  bool HasPendingChanges() const;
  // Back to the rows as they were loaded (unsaved rows gone, deleted rows back, old values).
  void CancelBatch();
  // Writes the appends, changes and deletions to table, matching rows by keyField; only
  // fields the table has are written, and a Null key of an appended row is left to the
  // store. Runs on store inside the caller's transaction; the changes stay pending until
  // CommitUpdates, so a rolled-back save can be tried again.
  void ApplyUpdates(TStore& store, const std::string& table, const std::string& keyField);
  void CommitUpdates(); // the written changes become what was loaded

  // A text that a filter reads as exactly t inside a Like: quoted, quotes doubled.
  static std::string LikeText(const std::string& field, const std::string& t);

private:
  struct TRow;
  struct TCompiledFilter;
  struct TIndex;

  void Notify(const std::function<void(TDataSetObserver*)>& f);
  void NotifyReset();
  void NotifyCurrent();
  void RequireActive() const;
  void RequireBrowse(const char* what) const;
  void Compile();
  void RebuildView();
  void SortView();
  void Renumber();
  void DropIndexes();
  const std::vector<TRow*>& IndexLookup(int field, const TValue& value);
  bool RowVisible(const TRow* r) const;
  int ViewPosition(const TRow* r) const; // -1 when not visible
  void MoveTo(int index);
  void NewRow(bool append);
  TValue Convert(int field, TValue value) const;

  std::string name_;
  TDataSetState state_ = TDataSetState::Inactive;
  std::vector<TFieldDef> fields_;
  std::unordered_map<std::string, std::string> formats_;
  std::vector<std::unique_ptr<TRow>> rows_;    // in loaded order, appended rows included
  std::vector<std::unique_ptr<TRow>> deleted_; // loaded rows deleted and not yet committed
  std::vector<TRow*> view_;                    // the visible rows in their order
  bool viewIsAll_ = false;                     // view_ shows every row (no filter on)
  std::vector<TRow*> allRows_;                 // while filtered: every row in loaded order...
  bool allValid_ = false;                      // ...when this is set
  int cur_ = 0;
  bool bof_ = true, eof_ = true;
  std::vector<TValue> editBuffer_; // values before Edit, for Cancel
  std::string sort_;
  std::string filter_;
  bool filtered_ = false;
  std::unique_ptr<TCompiledFilter> compiled_;
  std::unordered_map<int, std::unique_ptr<TIndex>> indexes_;
  std::vector<TDataSetObserver*> observers_;
  int disabled_ = 0;
  bool missed_ = false;
  size_t nextSeq_ = 0;
  std::vector<std::pair<TRow*, TValue>> assignedKeys_; // keys the store gave appended rows
  int appliedKey_ = -1;
};

// Grid updates suspended for a scope, resumed however the scope ends.
class TControlsDisabled {
public:
  explicit TControlsDisabled(TDataSet& ds) : ds_(ds) { ds_.DisableControls(); }
  ~TControlsDisabled() { ds_.EnableControls(); }
  TControlsDisabled(const TControlsDisabled&) = delete;
  TControlsDisabled& operator=(const TControlsDisabled&) = delete;

private:
  TDataSet& ds_;
};

// Loads the dataset over the store and keeps its rows in memory; the caller closes the store
// when its operation ends.
void OpenDetached(TDataSet& ds, TStore& store);
void ReloadDetached(TDataSet& ds, TStore& store);
// Reloads and goes back to the same row number (the last row when there are fewer now). The
// grids hear one reset at the end, also when the reload fails; the error reaches the caller.
void ReloadKeepPosition(TDataSet& ds, TStore& store);
