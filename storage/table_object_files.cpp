// Creating and packing the table file of a TTableObject.
#include <unistd.h>

#include <exception>

#include "storage/dbf_format.h"
#include "storage/errors.h"
#include "storage/files.h"
#include "storage/table_object.h"
#include "storage/table_object_impl.h"

namespace kalbor {

namespace {

// "<name>_<n><ext>" for the first n from `counter` whose file does not exist;
// the counter moves past the number taken.
std::string SpareName(const std::string& path, int& counter) {
  std::string ext = ExtractFileExt(path);
  std::string stem = ChangeFileExt(path, "");
  for (;;) {
    std::string candidate = stem + "_" + std::to_string(++counter) + ext;
    if (!FileExists(candidate)) return candidate;
  }
}

int CreationLevel(int table_level) { return table_level == 3 ? 3 : 4; }

}  // namespace

void TTableObject::CreateDbfFile() {
  TFieldDefs defs = FieldDefs;
  if (defs.Empty()) {
    for (auto& f : impl_->persistent)
      if (f->FieldKind() == TFieldKind::fkData)
        defs.Add(f->FieldName(), f->DataType(), f->DataType() == ftString ? f->Size() : 0);
    FieldDefs = defs;
  }
  CreateDbfFile(defs);
}

void TTableObject::CreateDbfFile(const TFieldDefs& defs) {
  if (Active()) throw ETableError("Cannot perform this operation on an open dataset");
  // Checked before the file is touched: an unsupported kind leaves an
  // existing file as it was.
  TTableFile::CheckFieldDefs(defs, CreationLevel(impl_->table_level));
  TTableFile::Create(impl_->FullFileName(), TOpenMode::ExclusiveCreate, defs,
                     CreationLevel(impl_->table_level));
}

// Packing writes the live rows to a new file beside the table and then puts
// it in place with rename(), which replaces the table's name in one step: at
// every moment the table's name holds a complete table. The old file stays
// under the second spare name (username_2.DBF), as a hard link made before
// the switch.
void TTableObject::PackFile() {
  Impl& m = *impl_;
  m.Settle();
  m.CheckActive();
  if (m.file.RecordLength() == 0) return;
  if (m.file.Mode() != TOpenMode::ExclusiveOpen)
    throw ETableError("Exclusive access is required for this operation.");

  const std::string table_path = m.file.Path();
  int counter = 0;
  const std::string new_table = SpareName(table_path, counter);
  TTableFile::Create(new_table, TOpenMode::ExclusiveCreate, m.file.FieldDefs(),
                     m.file.Level() == 3 ? 3 : 4);
  // A file under the first spare name reserves it until the second is
  // chosen, so the two names differ.
  const std::string old_table = SpareName(table_path, counter);

  struct NewIndex {
    std::string final_path, temp_path;
    std::unique_ptr<TIndexFile> file;
  };
  std::vector<NewIndex> new_indexes;
  TTableFile packed;
  auto discard = [&] {
    try {
      packed.Close(false);
    } catch (...) {
    }
    for (auto& ni : new_indexes) {
      try {
        if (ni.file) ni.file->Close();
      } catch (...) {
      }
      DeleteFile(ni.temp_path);
    }
    DeleteFile(new_table);
  };
  try {
    packed.Open(new_table, TOpenMode::ExclusiveOpen, UseFloatFields);
    for (auto& oi : m.indexes) {
      NewIndex ni;
      int index_counter = 0;
      ni.final_path = oi.path;
      ni.temp_path = SpareName(oi.path, index_counter);
      ni.file = std::make_unique<TIndexFile>();
      ni.file->Open(ni.temp_path, TOpenMode::ExclusiveCreate);
      uint16_t key_length = oi.file->KeyLength();
      ni.file->SetupKey(oi.file->Expression(), oi.file->CharacterKey(), key_length,
                        oi.file->Options());
      ni.file->BindKeySource(m.KeySourceFor(oi.file->Expression()));
      new_indexes.push_back(std::move(ni));
    }
    std::vector<uint8_t> record(m.file.RecordLength());
    const uint32_t count = m.file.RecordCount();
    for (uint32_t n = 1; n <= count; ++n) {
      if (!m.file.ReadRecord(n, record.data())) break;
      if (record[0] == kDeletedFlag) continue;
      uint32_t recno = packed.AppendRecord(record.data());
      for (auto& ni : new_indexes) ni.file->InsertKey(recno, record.data());
    }
    packed.Close(true);
    for (auto& ni : new_indexes) ni.file->Close();
  } catch (...) {
    discard();
    throw;
  }

  // Switch: keep the old file under its spare name, then move the new files
  // over the old names, the table first: renaming it is the step that
  // makes the pack happen.
  m.selected = nullptr;
  std::string selected_name = m.index_name;
  std::vector<std::string> index_paths;
  for (auto& oi : m.indexes) index_paths.push_back(oi.path);
  m.cursor.reset();
  // The old files are about to be replaced by complete new ones: what their
  // closing fails to write (pages of the old indexes, the old header's date)
  // is lost with them, so it does not stop the switch.
  try {
    m.CloseIndexes();
  } catch (...) {
  }
  try {
    m.file.Close(true);
  } catch (...) {
  }
  std::exception_ptr failure;
  if (::link(table_path.c_str(), old_table.c_str()) != 0) {
    // No hard links on this file system: a copy serves the same purpose.
    try {
      TPageFile src, dst;
      src.Open(table_path, TOpenMode::ReadOnly);
      dst.Open(old_table, TOpenMode::ExclusiveCreate);
      std::vector<uint8_t> chunk(1 << 16);
      uint64_t off = 0;
      for (size_t got; (got = src.ReadAt(off, chunk.data(), chunk.size())) > 0; off += got)
        dst.WriteAt(off, chunk.data(), got);
    } catch (...) {
      failure = std::current_exception();
      DeleteFile(old_table);
    }
  }
  if (!failure && ::rename(new_table.c_str(), table_path.c_str()) != 0)
    failure = std::make_exception_ptr(
        ETableError(Format("Cannot rename %s to %s", new_table.c_str(), table_path.c_str())));
  std::vector<bool> index_stale(new_indexes.size(), false);
  if (failure) {
    // Not packed: the old table and indexes stay in place and open again.
    discard();
  } else {
    for (size_t i = 0; i < new_indexes.size(); ++i) {
      NewIndex& ni = new_indexes[i];
      if (::rename(ni.temp_path.c_str(), ni.final_path.c_str()) != 0) {
        DeleteFile(ni.temp_path);
        index_stale[i] = true;  // still the old table's: built again below
      }
    }
  }

  // Reopen the table with its indexes (the rebuilt ones after a pack). An
  // object that cannot open them again is left closed, never half open.
  try {
    if (!m.file.Open(table_path, m.OpenModeFor(), UseFloatFields))
      throw ETableError("Invalid DBF file.");
    m.cursor = std::make_unique<TPhysicalCursor>(m.file);
    for (size_t i = 0; i < index_paths.size(); ++i) {
      Impl::OpenIndex oi;
      oi.path = index_paths[i];
      oi.file = std::make_unique<TIndexFile>();
      oi.file->Open(oi.path, m.file.Mode());
      oi.file->BindKeySource(m.KeySourceFor(oi.file->Expression()));
      TIndexFile& index = *oi.file;
      m.indexes.push_back(std::move(oi));
      if (i < index_stale.size() && index_stale[i]) {
        index.SetupKey(index.Expression(), index.CharacterKey(), index.KeyLength(),
                       index.Options());
        index.BindKeySource(m.KeySourceFor(index.Expression()));
        m.FillIndex(index);
      }
    }
    if (!failure) m.file.WriteHeader();
    m.index_name = selected_name;
    m.ApplyIndexName();
  } catch (...) {
    m.Shutdown();
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
  // The rows shown still refer to the old record numbers; callers close
  // and reopen the table after packing.
}

}  // namespace kalbor
