// The state behind a TTableObject, shared by its three units: rows and
// navigation (table_object.cpp), file creation and packing
// (table_object_files.cpp), and index use (table_object_indexes.cpp).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/cursor.h"
#include "storage/index_file.h"
#include "storage/table_file.h"
#include "storage/table_object.h"

namespace kalbor {

enum class TStep { Next, Prior, Current };

struct TTableObject::Impl {
  explicit Impl(TTableObject& owner) : self(owner) {}

  TTableObject& self;

  // Settings.
  std::string table_name;
  std::string file_path;
  std::string file_path_full;
  int table_level = 4;
  bool show_deleted = false;
  bool filtered = false;
  std::string filter;
  std::string index_name;

  // The open file and where the object stands in it.
  TTableFile file;
  TDataSetState state = TDataSetState::dsInactive;
  std::unique_ptr<TCursor> cursor;
  std::vector<uint8_t> buffer;     // the current row (or the row being inserted)
  std::vector<uint8_t> candidate;  // the row being fetched
  std::vector<uint8_t> scratch;    // side reads for display
  const uint8_t* reading = nullptr;  // what field objects read when not the current row
  uint32_t current_recno = 0;       // physical record number of the current row; 0 none
  bool eof = true;
  bool bof = true;
  bool modified = false;
  std::vector<uint8_t> edit_copy;  // the record as read when the edit began
  bool record_locked = false;
  bool deleting = false;

  // Fields.
  std::vector<std::unique_ptr<TField>> persistent;
  std::vector<std::unique_ptr<TField>> dynamic;
  std::vector<TField*> fields;  // the fields presented while open

  // Display.
  int disable_count = 0;
  std::optional<TDataLink::TEvent> pending;  // what EnableControls tells
  std::vector<TDataLink*> links;

  // Indexes open with the table, in the order they were opened.
  struct OpenIndex {
    std::string path;  // full, resolved
    std::unique_ptr<TIndexFile> file;
  };
  std::vector<OpenIndex> indexes;
  TIndexFile* selected = nullptr;

  // --- table_object.cpp ---
  void CheckActive() const;
  void CheckModifiable() const;
  void Settle();  // posts a changed edit or insert, cancels an unchanged one
  bool Accept(const uint8_t* row);
  bool Fetch(TStep step, bool make_current);
  // Whether a visible row lies that way from the current one; the cursor
  // is left on the current row and nothing is made current.
  bool Peek(TStep step);
  // Fetches the current row again (else the next, else the prior) and tells
  // the links `told`.
  void Resync(TDataLink::TEvent told = TDataLink::TEvent::DataSetChanged, uint32_t recno = 0);
  void Reposition();  // puts the cursor back on the current row
  void Notify(TDataLink::TEvent event, uint32_t recno = 0);
  void SetNoRows();
  void Run(const TDataSetNotifyEvent& hook) {
    if (hook) hook(self);
  }
  void BindFields();
  void UnbindFields();
  TOpenMode OpenModeFor() const;
  std::string FullFileName() const;

  // --- table_object_indexes.cpp ---
  std::string ResolveIndexName(const std::string& name) const;
  OpenIndex* FindIndex(const std::string& resolved);
  // The key of an index expression over the table's fields; raises the
  // build's message for one that cannot be built.
  TIndexKey KeyFor(const std::string& expression) const;
  // Where that key lies in the records.
  TKeySource KeySourceFor(const std::string& expression) const;
  // Closes every open index file and opens it again in `mode`; `fresh`, an
  // index this build made and has not keyed yet, is made again, empty.
  void ReopenIndexes(TOpenMode mode, TIndexFile* fresh);
  void OpenIndexDefs();
  void CloseIndexes();
  void ApplyIndexName();
  // Index maintenance keeps every open index either consistent with the
  // table or gone: an index whose change failed part-way (a read or write
  // error, a damaged page) or whose undo failed is dropped (DropIndex). A
  // key violation changes nothing and drops nothing.
  // Raises the key violation of the first primary index that would refuse
  // the row's key (`old_record` null for a new row), before any index
  // changes: a refused row leaves every index file as it was.
  void CheckKeysFree(uint32_t recno, const uint8_t* old_record, const uint8_t* record);
  // All indexes take the row's keys, or none does; raises the failure.
  void InsertKeys(uint32_t recno, const uint8_t* record);
  // All indexes replace the row's old keys by its new ones, or none does.
  void UpdateKeys(uint32_t recno, const uint8_t* old_record, const uint8_t* new_record,
                  bool deleting_row);
  // Undo of InsertKeys / UpdateKeys when the table file then refused the
  // record; never raises.
  void UndoInsertKeys(uint32_t recno, const uint8_t* record);
  void UndoUpdateKeys(uint32_t recno, const uint8_t* old_record, const uint8_t* new_record,
                      bool deleting_row);
  // Forgets an index that no longer matches the table: its file is deleted
  // (so that nothing reads it), it is closed without its pages being
  // written, and the order falls back to physical order if it was selected.
  void DropIndex(TIndexFile* index);
  // Leaves the object closed when it can no longer reach its file.
  void Shutdown();
  // True when the selected index answers the search; `found` then holds the
  // answer.
  bool LocateByIndex(const std::string& key_fields, const std::vector<TVariant>& values,
                     bool& found);
  void FillIndex(TIndexFile& index);
};

}  // namespace kalbor
