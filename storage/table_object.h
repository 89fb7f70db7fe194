// TTableObject: the dataset through which all other code opens, walks,
// searches, edits, filters, creates, indexes and packs one table file.
//
// States: inactive (closed), browse, edit, insert. Every move of the current
// row is built on one fetch step (next, prior, current) that reads the record
// from the file, skips rows marked deleted unless ShowDeleted is on, and,
// while Filtered is on, offers the row to OnFilterRecord. Hooks run in a
// fixed order; tests pin it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/field_defs.h"
#include "storage/fields.h"

namespace kalbor {

class TTableObject;
using TDataSetNotifyEvent = std::function<void(TTableObject&)>;
using TFilterRecordEvent = std::function<void(TTableObject&, bool& accept)>;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsFilter };

enum TLocateOption : int { loCaseInsensitive = 1, loPartialKey = 2 };

// Something shown from the table (a grid, a navigator): told when the rows
// or the current row may have changed. DataSetChanged: any row, the order
// or the filter may have changed. RowPosted: the row `recno` was stored
// (added, changed or marked deleted), so only it may have changed, moved,
// appeared or gone. RecordChanged: a field of the current row's buffer was
// written. `recno` is 0 for all but RowPosted. While DisableControls is in
// force nothing is told; EnableControls then tells once: Scrolled when the
// current row only moved, else DataSetChanged.
class TDataLink {
 public:
  enum class TEvent {
    ActiveChanged,
    DataSetChanged,
    RowPosted,
    Scrolled,
    RecordChanged,
    StateChanged
  };
  virtual ~TDataLink() = default;
  virtual void DataEvent(TEvent event, uint32_t recno) = 0;
};

// An index file opened together with the table.
struct TIndexDef {
  std::string IndexFile;  // trimmed, upper-cased file name
  std::string SortField;  // trimmed, upper-cased key expression
  int Options = 0;        // ix* bits
};

class TTableObject {
 public:
  TTableObject();
  ~TTableObject();
  TTableObject(const TTableObject&) = delete;
  TTableObject& operator=(const TTableObject&) = delete;

  // --- Settings -----------------------------------------------------------
  const std::string& TableName() const;
  void SetTableName(const std::string& name);  // a folder part moves into FilePath
  const std::string& FilePath() const;
  void SetFilePath(const std::string& folder);
  const std::string& FilePathFull() const;
  std::string FullFileName() const;  // FilePathFull + TableName
  int TableLevel() const;
  void SetTableLevel(int level);  // 3, 4 or 7; other values are ignored
  bool Exclusive = false;
  bool ReadOnly = false;
  bool UseFloatFields = true;
  // Closing writes the header (today's date, the end-of-file marker) even
  // when nothing changed; with this set, a table nothing was written to
  // since it was opened keeps its header as it was (a refused change then
  // leaves the file byte for byte as it was).
  bool KeepHeaderUnlessChanged = false;
  bool ShowDeleted() const;
  void SetShowDeleted(bool value);
  bool Filtered() const;
  void SetFiltered(bool value);
  const std::string& Filter() const;
  void SetFilter(const std::string& text);  // only the empty expression is supported
  std::vector<TIndexDef> Indexes;
  TFieldDefs FieldDefs;  // definitions for CreateDbfFile

  // --- Hooks --------------------------------------------------------------
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
      BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete,
      AfterDelete, BeforeScroll, AfterScroll, OnNewRecord;
  TFilterRecordEvent OnFilterRecord;

  // --- Fields -------------------------------------------------------------
  // Declares a persistent field object (before opening); returns it.
  template <class T>
  T* AddField(std::unique_ptr<T> field) {
    T* raw = field.get();
    AdoptField(std::move(field));
    return raw;
  }
  TField& FieldByName(const std::string& name);  // "Field '%s' not found"
  TField* FindField(const std::string& name);
  size_t FieldCount() const;
  TField& Fields(size_t i);
  TFieldDefs FileFieldDefs() const;  // of the open file; empty when closed

  // --- Open and close -----------------------------------------------------
  void Open();
  void Close();
  bool Active() const;
  void SetActive(bool value);
  TDataSetState State() const;
  bool Editing() const;  // a row is being edited or inserted

  // --- Navigation ---------------------------------------------------------
  void First();
  void Last();
  void Next();
  void Prior();
  bool Eof() const;
  bool Bof() const;
  bool IsEmpty() const;  // no visible row is current
  void Refresh();
  int32_t RecNo() const;
  void SetRecNo(int32_t value);
  int32_t RecordCount() const;
  // Records in the file, rows marked deleted included: a row just appended
  // has this physical record number.
  uint32_t FileRecordCount() const;
  int32_t CountVisibleRows();
  bool HasVisibleRows();  // CountVisibleRows() > 0, without walking them all
  // A visible row comes before / after the current one (the current row
  // stays, no hook runs).
  bool HasRowBefore();
  bool HasRowAfter();
  int32_t CountLiveRows();  // rows not marked deleted, whatever the filter and the index
  uint32_t Bookmark() const;  // the current row's physical record number
  void GotoBookmark(uint32_t bookmark);
  bool Locate(const std::string& key_fields, const std::vector<TVariant>& values, int options);
  bool Locate(const std::string& key_fields, const TVariant& value, int options);

  // --- Changes ------------------------------------------------------------
  void Insert();
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  bool Modified() const;

  // --- Display ------------------------------------------------------------
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const;
  void AddDataLink(TDataLink* link);
  void RemoveDataLink(TDataLink* link);
  // Reads the visible rows' record numbers in the current order, and one
  // row's display texts, without moving the current row or running hooks
  // (grids paint through these).
  std::vector<uint32_t> VisibleRecordNumbers();
  // The RecNo row `bookmark` would have as the current row, read the same
  // way (0 when navigation would not show the row). RecNo grows along the
  // present order (with an index it is a position in the index, not a
  // count): a grid finds a stored row's place among its rows without
  // walking them.
  int32_t RecNoOf(uint32_t bookmark);
  bool ReadRowTexts(uint32_t recno, const std::vector<std::string>& field_names,
                    std::vector<std::string>& texts);

  // --- Files --------------------------------------------------------------
  void CreateDbfFile();
  void CreateDbfFile(const TFieldDefs& defs);
  void PackFile();

  // --- Indexes ------------------------------------------------------------
  void BuildIndexFile(const std::string& file_name, const std::string& key_field, int options);
  const std::string& IndexName() const;
  // The index file `file_name` is open on the table, and so kept current.
  bool IndexFileOpen(const std::string& file_name) const;
  void SetIndexName(const std::string& name);
  std::string IndexFieldNames() const;
  void SetIndexFieldNames(const std::string& fields);

 private:
  // Field objects read and write the row through these.
  friend class TField;
  const uint8_t* ActiveBuffer() const;
  uint8_t* BufferForWrite(TField& field);

  struct Impl;
  void AdoptField(std::unique_ptr<TField> field);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalbor
