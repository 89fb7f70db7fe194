// Index use of a TTableObject: building index files, selecting one as the
// order, keeping every open index current, and exact search through the
// selected index.
#include <algorithm>
#include <exception>

#include "storage/codepage.h"
#include "storage/dbf_format.h"
#include "storage/errors.h"
#include "storage/files.h"
#include "storage/index_key.h"
#include "storage/table_object.h"
#include "storage/table_object_impl.h"

namespace kalbor {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

TOpenMode CreateModeFor(TOpenMode table_mode) {
  return table_mode == TOpenMode::ExclusiveOpen ? TOpenMode::ExclusiveCreate
                                                : TOpenMode::SharedCreate;
}

}  // namespace

std::string TTableObject::Impl::ResolveIndexName(const std::string& name) const {
  std::string trimmed = Trim(name);
  if (trimmed.empty()) return std::string();
  std::string path = trimmed.find('/') != std::string::npos
                         ? trimmed
                         : ExtractFilePath(file.Path().empty() ? FullFileName() : file.Path()) +
                               trimmed;
  return ResolvePath(path);
}

TTableObject::Impl::OpenIndex* TTableObject::Impl::FindIndex(const std::string& resolved) {
  for (OpenIndex& oi : indexes)
    if (SameTextAscii(oi.path, resolved)) return &oi;
  return nullptr;
}

TIndexKey TTableObject::Impl::KeyFor(const std::string& expression) const {
  TIndexKey key = IndexKeyOf(file.FieldDefs(), expression);
  if (!key.refusal.empty()) throw ETableError(key.refusal);
  return key;
}

TKeySource TTableObject::Impl::KeySourceFor(const std::string& expression) const {
  return KeySourceIn(file, KeyFor(expression));
}

void TTableObject::Impl::FillIndex(TIndexFile& index) {
  std::vector<uint8_t> record(file.RecordLength());
  const uint32_t count = file.RecordCount();
  // The pages a build writes reach the file together at its end, not one
  // write per page left or split.
  index.SetWriteBehind(true);
  try {
    for (uint32_t n = 1; n <= count; ++n) {
      if (!file.ReadRecord(n, record.data())) break;
      // A primary index holds no entries for rows marked deleted.
      if (index.UniqueMode() == TUniqueMode::Primary && record[0] == kDeletedFlag) continue;
      index.InsertKey(n, record.data());
    }
    index.Flush();
    index.SetWriteBehind(false);
  } catch (...) {
    // The failed build's file is removed by the caller; what it held does not matter.
    try {
      index.SetWriteBehind(false);
    } catch (const ETableError&) {
    }
    throw;
  }
}

void TTableObject::Impl::OpenIndexDefs() {
  for (const TIndexDef& def : self.Indexes) {
    std::string path = ResolveIndexName(def.IndexFile);
    if (FindIndex(path)) continue;
    OpenIndex oi;
    oi.path = path;
    oi.file = std::make_unique<TIndexFile>();
    if (!FileExists(path)) {
      if (Trim(def.SortField).empty())
        throw ETableError(Format("Open: file not found: \"%s\".", path.c_str()));
      std::string expression = UpperAscii(Trim(def.SortField));
      const TIndexKey key = KeyFor(expression);
      oi.file->Open(path, CreateModeFor(file.Mode() == TOpenMode::ReadOnly
                                            ? TOpenMode::SharedOpen
                                            : file.Mode()));
      oi.file->SetupKey(expression, key.character, key.length, def.Options);
      oi.file->BindKeySource(KeySourceIn(file, key));
      FillIndex(*oi.file);
    } else {
      oi.file->Open(path, file.Mode());
      oi.file->BindKeySource(KeySourceFor(oi.file->Expression()));
    }
    indexes.push_back(std::move(oi));
  }
}

void TTableObject::Impl::CloseIndexes() {
  std::exception_ptr failure;
  for (OpenIndex& oi : indexes) {
    try {
      oi.file->Close();
    } catch (...) {
      // Pages that could not be written leave the file behind the table:
      // it goes, rather than be read later as if it matched.
      DeleteFile(oi.path);
      if (!failure) failure = std::current_exception();
    }
  }
  indexes.clear();
  selected = nullptr;
  if (failure) std::rethrow_exception(failure);
}

void TTableObject::Impl::ApplyIndexName() {
  std::string resolved = ResolveIndexName(index_name);
  OpenIndex* oi = resolved.empty() ? nullptr : FindIndex(resolved);
  uint32_t keep = current_recno;
  if (oi) {
    selected = oi->file.get();
    cursor = std::make_unique<TIndexCursor>(file, *oi->file);
  } else {
    selected = nullptr;
    index_name.clear();
    cursor = std::make_unique<TPhysicalCursor>(file);
  }
  current_recno = keep;
  if (keep == 0 || !cursor->GotoPhysical(keep)) cursor->First();
}

namespace {

// A primary index refusing a key that is present: a refusal that changed
// nothing, unlike a failure part-way through a change.
bool IsKeyViolation(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const ETableError& e) {
    return std::string(e.what()).rfind("Key violation.", 0) == 0;
  } catch (...) {
    return false;
  }
}

}  // namespace

void TTableObject::Impl::DropIndex(TIndexFile* index) {
  auto it = std::find_if(indexes.begin(), indexes.end(),
                         [&](const OpenIndex& oi) { return oi.file.get() == index; });
  if (it == indexes.end()) return;
  const bool reordered = selected == index;
  if (reordered) {
    selected = nullptr;
    index_name.clear();
    cursor = std::make_unique<TPhysicalCursor>(file);
    if (current_recno == 0 || !cursor->GotoPhysical(current_recno)) cursor->First();
  }
  // Deleted first: whatever closing still writes goes nowhere.
  DeleteFile(it->path);
  try {
    index->Close();
  } catch (...) {
  }
  indexes.erase(it);
  if (reordered) Notify(TDataLink::TEvent::DataSetChanged);  // the rows go in file order now
}

void TTableObject::Impl::CheckKeysFree(uint32_t recno, const uint8_t* old_record,
                                       const uint8_t* record) {
  for (size_t i = 0; i < indexes.size(); ++i) {
    try {
      indexes[i].file->CheckKeyFree(recno, record, old_record);
    } catch (...) {
      // An index that cannot even be searched goes, as when a change fails.
      std::exception_ptr failure = std::current_exception();
      if (!IsKeyViolation(failure)) DropIndex(indexes[i].file.get());
      std::rethrow_exception(failure);
    }
  }
}

void TTableObject::Impl::InsertKeys(uint32_t recno, const uint8_t* record) {
  CheckKeysFree(recno, nullptr, record);
  size_t done = 0;
  try {
    for (; done < indexes.size(); ++done) indexes[done].file->InsertKey(recno, record);
  } catch (...) {
    std::exception_ptr failure = std::current_exception();
    // No half-inserted row: the indexes before the failing one give their
    // new entry back; the failing one is dropped unless it merely refused.
    std::vector<TIndexFile*> drop;
    if (!IsKeyViolation(failure)) drop.push_back(indexes[done].file.get());
    for (size_t i = 0; i < done; ++i) {
      try {
        indexes[i].file->DeleteKey(recno, record);
      } catch (...) {
        drop.push_back(indexes[i].file.get());
      }
    }
    for (TIndexFile* index : drop) DropIndex(index);
    std::rethrow_exception(failure);
  }
}

void TTableObject::Impl::UndoInsertKeys(uint32_t recno, const uint8_t* record) {
  std::vector<TIndexFile*> drop;
  for (OpenIndex& oi : indexes) {
    try {
      oi.file->DeleteKey(recno, record);
    } catch (...) {
      drop.push_back(oi.file.get());
    }
  }
  for (TIndexFile* index : drop) DropIndex(index);
}

void TTableObject::Impl::UpdateKeys(uint32_t recno, const uint8_t* old_record,
                                    const uint8_t* new_record, bool deleting_row) {
  // Marking a row deleted takes entries away only: nothing can refuse it.
  if (!deleting_row) CheckKeysFree(recno, old_record, new_record);
  size_t done = 0;
  try {
    for (; done < indexes.size(); ++done) {
      TIndexFile& index = *indexes[done].file;
      if (deleting_row) {
        // Rows marked deleted keep their entries, except in a primary index.
        if (index.UniqueMode() == TUniqueMode::Primary) index.DeleteKey(recno, old_record);
      } else {
        index.UpdateKey(recno, old_record, new_record);
      }
    }
  } catch (...) {
    std::exception_ptr failure = std::current_exception();
    std::vector<TIndexFile*> drop;
    // The index that refused a key changed nothing; one that failed
    // part-way is dropped.
    if (!IsKeyViolation(failure)) drop.push_back(indexes[done].file.get());
    // The indexes before it undo their change.
    for (size_t i = 0; i < done; ++i) {
      try {
        TIndexFile& index = *indexes[i].file;
        if (deleting_row) {
          if (index.UniqueMode() == TUniqueMode::Primary) index.InsertKey(recno, old_record);
        } else {
          index.UpdateKey(recno, new_record, old_record);
        }
      } catch (...) {
        drop.push_back(indexes[i].file.get());
      }
    }
    for (TIndexFile* index : drop) DropIndex(index);
    std::rethrow_exception(failure);
  }
}

void TTableObject::Impl::UndoUpdateKeys(uint32_t recno, const uint8_t* old_record,
                                        const uint8_t* new_record, bool deleting_row) {
  std::vector<TIndexFile*> drop;
  for (OpenIndex& oi : indexes) {
    TIndexFile& index = *oi.file;
    try {
      if (deleting_row) {
        // Only a primary index gave up the entry of a row being deleted.
        if (index.UniqueMode() == TUniqueMode::Primary) index.InsertKey(recno, old_record);
      } else {
        index.UpdateKey(recno, new_record, old_record);
      }
    } catch (...) {
      drop.push_back(&index);
    }
  }
  for (TIndexFile* index : drop) DropIndex(index);
}

bool TTableObject::Impl::LocateByIndex(const std::string& key_fields,
                                       const std::vector<TVariant>& values, bool& found) {
  if (selected == nullptr || key_fields != selected->Expression() || values.size() != 1)
    return false;
  const TVariant& value = values[0];
  std::vector<uint8_t> key;
  if (selected->CharacterKey()) {
    std::string text;
    if (auto* s = std::get_if<std::string>(&value)) text = *s;
    else if (auto* d = std::get_if<double>(&value)) text = Format("%.15g", *d);
    else if (auto* b = std::get_if<bool>(&value)) text.assign(1, *b ? 'T' : 'F');
    auto bytes = Utf8ToTableText(text);
    if (!bytes) {
      found = false;
      return true;
    }
    key = selected->KeyFromText(*bytes);
  } else {
    double number = 0;
    if (auto* d = std::get_if<double>(&value)) number = *d;
    else if (auto* b = std::get_if<bool>(&value)) number = *b ? 1 : 0;
    else if (auto* s = std::get_if<std::string>(&value)) number = std::strtod(s->c_str(), nullptr);
    key = selected->KeyFromNumber(number);
  }
  found = false;
  if (selected->Find(key, TFindMode::Exact)) {
    // The first visible row holding the key; rows marked deleted or
    // filtered out are passed over, as the walking search would.
    for (;;) {
      uint32_t recno = selected->CurrentRecNo();
      if (recno == 0) break;
      if (file.ReadRecord(recno, candidate.data())) {
        if (selected->KeyFromRecord(candidate.data()) != key) break;
        if (Accept(candidate.data())) {
          buffer.swap(candidate);
          current_recno = recno;
          eof = bof = false;
          found = true;
          break;
        }
      }
      if (!selected->Next()) break;
    }
  }
  if (!found) Reposition();
  return true;
}

// --- Public operations ------------------------------------------------------

void TTableObject::Impl::ReopenIndexes(TOpenMode mode, TIndexFile* fresh) {
  for (OpenIndex& oi : indexes) {
    TIndexFile& index = *oi.file;
    index.Close();
    if (&index == fresh) {
      // Made by this build and still without a key: made again, as empty.
      index.Open(oi.path, CreateModeFor(mode));
      continue;
    }
    index.Open(oi.path, mode);
    index.BindKeySource(KeySourceFor(index.Expression()));
  }
}

void TTableObject::BuildIndexFile(const std::string& file_name, const std::string& key_field,
                                  int options) {
  Impl& m = *impl_;
  if (!Active()) throw ETableError("Cannot perform this operation on a closed dataset");
  m.Settle();
  std::string path = m.ResolveIndexName(file_name);
  Impl::OpenIndex* existing = m.FindIndex(path);
  const bool made = existing == nullptr;
  if (made) {
    Impl::OpenIndex oi;
    oi.path = path;
    oi.file = std::make_unique<TIndexFile>();
    oi.file->Open(path, CreateModeFor(m.file.Mode() == TOpenMode::ReadOnly ? TOpenMode::SharedOpen
                                                                          : m.file.Mode()));
    m.indexes.push_back(std::move(oi));
    existing = &m.indexes.back();
  }
  TIndexFile* index = existing->file.get();
  const bool shared = m.file.Mode() == TOpenMode::SharedOpen;
  auto remove_index = [&] {
    if (m.selected == index) m.selected = nullptr;
    try {
      index->Close();
    } catch (...) {
    }
    auto it = std::find_if(m.indexes.begin(), m.indexes.end(),
                           [&](const Impl::OpenIndex& oi) { return oi.file.get() == index; });
    std::string gone = it != m.indexes.end() ? it->path : path;
    if (it != m.indexes.end()) m.indexes.erase(it);
    DeleteFile(gone);
  };
  // A key that cannot be built, and a shared table that cannot be had
  // exclusively, remove the index again without telling the caller; any
  // other failure (a file that cannot be read or written) removes the half
  // built index and reaches the caller.
  bool refused = false;
  try {
    if (shared) {
      // A build needs the table and its index files to itself: they are
      // reopened exclusively for the duration, then shared again.
      std::string table_path = m.file.Path();
      m.file.Close(true);
      try {
        m.file.Open(table_path, TOpenMode::ExclusiveOpen, UseFloatFields);
      } catch (const ETableError&) {
        m.file.Open(table_path, TOpenMode::SharedOpen, UseFloatFields);
        refused = true;
        throw ETableError("Exclusive access is required for this operation.");
      }
      try {
        m.ReopenIndexes(TOpenMode::ExclusiveOpen, made ? index : nullptr);
      } catch (const ETableError& e) {
        // Someone else has an index file open: refused like the table.
        if (std::string(e.what()).rfind("Cannot open file", 0) != 0) throw;
        refused = true;
        throw ETableError("Exclusive access is required for this operation.");
      }
    }
    std::string expression = UpperAscii(Trim(key_field));
    TIndexKey key;
    try {
      key = m.KeyFor(expression);
    } catch (const ETableError&) {
      refused = true;
      throw;
    }
    index->SetupKey(expression, key.character, key.length, options);
    index->BindKeySource(KeySourceIn(m.file, key));
    m.FillIndex(*index);
    if (shared) {
      m.ReopenIndexes(TOpenMode::SharedOpen, nullptr);
      std::string table_path = m.file.Path();
      m.file.Close(true);
      m.file.Open(table_path, TOpenMode::SharedOpen, UseFloatFields);
      m.Reposition();  // the reopened index files lost their positions
    }
  } catch (...) {
    std::exception_ptr failure = std::current_exception();
    if (shared && (!m.file.IsOpen() || m.file.Mode() != TOpenMode::SharedOpen)) {
      std::string table_path = m.file.IsOpen() ? m.file.Path() : m.FullFileName();
      try {
        m.file.Close(true);
      } catch (...) {
      }
      try {
        if (!m.file.Open(table_path, TOpenMode::SharedOpen, UseFloatFields))
          throw ETableError("Invalid DBF file.");
      } catch (...) {
        // The table file cannot be had again: the object closes.
        m.Shutdown();
        std::rethrow_exception(failure);
      }
    }
    remove_index();
    if (shared) {
      try {
        m.ReopenIndexes(TOpenMode::SharedOpen, nullptr);
      } catch (...) {
        // An index file that cannot be had again: the object closes.
        m.Shutdown();
        std::rethrow_exception(failure);
      }
    }
    m.cursor = std::make_unique<TPhysicalCursor>(m.file);
    m.selected = nullptr;
    if (!m.index_name.empty()) m.ApplyIndexName();
    else m.Reposition();
    if (!refused) std::rethrow_exception(failure);
  }
}

const std::string& TTableObject::IndexName() const { return impl_->index_name; }

bool TTableObject::IndexFileOpen(const std::string& file_name) const {
  if (!Active()) return false;
  const std::string resolved = impl_->ResolveIndexName(file_name);
  return !resolved.empty() && impl_->FindIndex(resolved) != nullptr;
}

void TTableObject::SetIndexName(const std::string& name) {
  Impl& m = *impl_;
  m.index_name = name;
  if (!Active()) return;
  m.Settle();
  m.ApplyIndexName();
  if (m.state == TDataSetState::dsBrowse) m.Resync();
}

std::string TTableObject::IndexFieldNames() const {
  for (const TIndexDef& def : Indexes)
    if (def.IndexFile == impl_->index_name) return def.SortField;
  return std::string();
}

void TTableObject::SetIndexFieldNames(const std::string& fields) {
  std::string wanted = UpperAscii(Trim(fields));
  if (!wanted.empty()) {
    for (const TIndexDef& def : Indexes) {
      if (UpperAscii(Trim(def.SortField)) == wanted) return SetIndexName(def.IndexFile);
    }
  }
  SetIndexName(std::string());
}

}  // namespace kalbor
