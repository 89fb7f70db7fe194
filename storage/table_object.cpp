#include "storage/table_object.h"

#include <algorithm>
#include <cstring>

#include "storage/codepage.h"
#include "storage/dbf_format.h"
#include "storage/errors.h"
#include "storage/files.h"
#include "storage/table_object_impl.h"

namespace kalbor {

namespace {

const char kClosed[] = "Cannot perform this operation on a closed dataset";
const char kOpen[] = "Cannot perform this operation on an open dataset";
const char kReadOnly[] = "Cannot modify a read-only dataset";
const char kNotEditing[] = "Dataset not in edit or insert mode";

bool SameKind(TFieldType a, TFieldType b) {
  auto norm = [](TFieldType t) {
    switch (t) {
      case ftCurrency: return ftFloat;
      case ftAutoInc: return ftInteger;
      case ftFixedChar: case ftWideString: return ftString;
      case ftMemo: case ftGraphic: case ftFmtMemo: case ftParadoxOle: case ftDBaseOle:
      case ftTypedBinary: return ftBlob;
      default: return t;
    }
  };
  return norm(a) == norm(b);
}

std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t semi = text.find(';', start);
    std::string part = text.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
    size_t b = part.find_first_not_of(' '), e = part.find_last_not_of(' ');
    if (b != std::string::npos) out.push_back(part.substr(b, e - b + 1));
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  return out;
}

// Case folding for text comparisons without regard to case: the letters of
// the table's code page (a to z and the accented Latin letters).
std::string FoldCase(const std::string& utf8) {
  auto bytes = Utf8ToTableText(utf8);
  std::string s = bytes ? *bytes : utf8;
  for (char& c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) c = static_cast<char>(u - 32);
  }
  return s;
}

std::string VariantText(const TVariant& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (auto* d = std::get_if<double>(&v)) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", *d);
    return buf;
  }
  return std::string();
}

bool FieldMatches(TField& field, const TVariant& key, int options) {
  if (field.DataType() != ftString) {
    TVariant value = field.AsVariant();
    if (IsNull(value) || IsNull(key)) return IsNull(value) && IsNull(key);
    if (auto* kd = std::get_if<double>(&key)) {
      auto* vd = std::get_if<double>(&value);
      return vd && *vd == *kd;
    }
    if (auto* kb = std::get_if<bool>(&key)) {
      auto* vb = std::get_if<bool>(&value);
      return vb && *vb == *kb;
    }
    // A text key against a number: compare as numbers when it reads as one.
    auto* vd = std::get_if<double>(&value);
    const std::string& ks = std::get<std::string>(key);
    char* end = nullptr;
    double kd = std::strtod(ks.c_str(), &end);
    return vd && !ks.empty() && end && *end == '\0' && kd == *vd;
  }
  return false;
}

}  // namespace

// --- Construction and settings ----------------------------------------------

TTableObject::TTableObject() : impl_(std::make_unique<Impl>(*this)) { SetFilePath(""); }

TTableObject::~TTableObject() {
  try {
    if (impl_->state != TDataSetState::dsInactive) {
      // Closing writes the header; errors have no one to reach here.
      BeforeClose = nullptr;
      AfterClose = nullptr;
      Close();
    }
  } catch (...) {
  }
}

const std::string& TTableObject::TableName() const { return impl_->table_name; }

void TTableObject::SetTableName(const std::string& name) {
  std::string folder = ExtractFilePath(name);
  if (!folder.empty() && impl_->state == TDataSetState::dsInactive) SetFilePath(folder);
  impl_->table_name = folder.empty() ? name : ExtractFileName(name);
}

const std::string& TTableObject::FilePath() const { return impl_->file_path; }

void TTableObject::SetFilePath(const std::string& folder) {
  if (impl_->state != TDataSetState::dsInactive) throw ETableError(kOpen);
  impl_->file_path = WithTrailingSeparator(folder);
  std::string full = impl_->file_path;
  if (full.empty() || full[0] != '/') full = ProgramFolder() + full;
  // Normalise "." and ".." parts.
  std::vector<std::string> parts;
  size_t start = 1;
  while (start < full.size()) {
    size_t slash = full.find('/', start);
    std::string part = full.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  std::string norm = "/";
  for (const std::string& p : parts) norm += p + "/";
  impl_->file_path_full = norm;
}

const std::string& TTableObject::FilePathFull() const { return impl_->file_path_full; }
std::string TTableObject::FullFileName() const { return impl_->FullFileName(); }
std::string TTableObject::Impl::FullFileName() const { return file_path_full + table_name; }

int TTableObject::TableLevel() const { return impl_->table_level; }

void TTableObject::SetTableLevel(int level) {
  if (impl_->state != TDataSetState::dsInactive) throw ETableError(kOpen);
  if (level == 3 || level == 4 || level == 7) impl_->table_level = level;
}

bool TTableObject::ShowDeleted() const { return impl_->show_deleted; }

void TTableObject::SetShowDeleted(bool value) {
  if (impl_->show_deleted == value) return;
  impl_->show_deleted = value;
  if (Active()) {
    impl_->Settle();
    impl_->Resync();
  }
}

bool TTableObject::Filtered() const { return impl_->filtered; }

void TTableObject::SetFiltered(bool value) {
  if (impl_->filtered == value) return;
  impl_->filtered = value;
  if (Active()) {
    impl_->Settle();
    impl_->Resync();
  }
}

const std::string& TTableObject::Filter() const { return impl_->filter; }

void TTableObject::SetFilter(const std::string& text) {
  if (!text.empty())
    throw ETableError("Filter expressions are not supported; use the row-filter hook.");
  impl_->filter = text;
}

// --- Fields -----------------------------------------------------------------

void TTableObject::AdoptField(std::unique_ptr<TField> field) {
  if (Active()) throw ETableError(kOpen);
  field->table_ = this;
  impl_->persistent.push_back(std::move(field));
}

TField* TTableObject::FindField(const std::string& name) {
  auto& list = impl_->fields.empty() && !Active() ? impl_->fields : impl_->fields;
  for (TField* f : list)
    if (SameTextAscii(f->FieldName(), name)) return f;
  if (!Active())
    for (auto& f : impl_->persistent)
      if (SameTextAscii(f->FieldName(), name)) return f.get();
  return nullptr;
}

TField& TTableObject::FieldByName(const std::string& name) {
  TField* f = FindField(name);
  if (!f) throw ETableError(Format("Field '%s' not found", name.c_str()));
  return *f;
}

size_t TTableObject::FieldCount() const { return impl_->fields.size(); }
TField& TTableObject::Fields(size_t i) { return *impl_->fields.at(i); }

TFieldDefs TTableObject::FileFieldDefs() const {
  if (!Active()) return TFieldDefs();
  return impl_->file.FieldDefs();
}

void TTableObject::Impl::BindFields() {
  fields.clear();
  dynamic.clear();
  // Definitions of the file, with repeated names numbered NAME, NAME2, ...
  const std::vector<TTableField>& stored = file.Fields();
  std::vector<std::string> names;
  for (const TTableField& f : stored) {
    std::string name = f.name;
    int n = 1;
    while (std::find(names.begin(), names.end(), name) != names.end())
      name = f.name + std::to_string(++n);
    names.push_back(name);
  }
  auto find_def = [&](const std::string& name) -> const TTableField* {
    for (size_t i = 0; i < names.size(); ++i)
      if (SameTextAscii(names[i], name)) return &stored[i];
    return nullptr;
  };
  if (persistent.empty()) {
    for (size_t i = 0; i < stored.size(); ++i) {
      auto field = MakeField(names[i], stored[i].kind, stored[i].letter == 'C' ? stored[i].length : 0);
      field->table_ = &self;
      field->storage_ = &stored[i];
      fields.push_back(field.get());
      dynamic.push_back(std::move(field));
    }
    return;
  }
  for (auto& field : persistent) {
    field->storage_ = nullptr;
    if (field->FieldKind() == TFieldKind::fkLookup) {
      fields.push_back(field.get());
      continue;
    }
    const TTableField* def = find_def(field->FieldName());
    if (!def) throw ETableError(Format("Field '%s' not found", field->FieldName().c_str()));
    if (!SameKind(field->DataType(), def->kind))
      throw ETableError(Format("Type mismatch for field '%s', expecting: %s actual: %s",
                               field->FieldName().c_str(), FieldTypeName(field->DataType()),
                               FieldTypeName(def->kind)));
    if (field->DataType() == ftString && field->Size() != def->length)
      throw ETableError(Format("Size mismatch for field '%s', expecting: %d actual: %d",
                               field->FieldName().c_str(), field->Size(), def->length));
    field->storage_ = def;
    fields.push_back(field.get());
  }
  // Lookup fields: complete, keyed on fields of this table, and served by an
  // open lookup table that has the key and result fields.
  for (auto& field : persistent) {
    if (field->FieldKind() != TFieldKind::fkLookup) continue;
    if (field->KeyFields.empty() || field->LookupDataSet == nullptr ||
        field->LookupKeyFields.empty() || field->LookupResultField.empty())
      throw ETableError(Format("Lookup information for field '%s' is incomplete",
                               field->FieldName().c_str()));
    for (const std::string& key : SplitFields(field->KeyFields))
      if (!find_def(key)) throw ETableError(Format("Field '%s' not found", key.c_str()));
    TTableObject& lookup = *field->LookupDataSet;
    if (!lookup.Active()) lookup.Open();
    for (const std::string& key : SplitFields(field->LookupKeyFields)) lookup.FieldByName(key);
    lookup.FieldByName(field->LookupResultField);
  }
}

void TTableObject::Impl::UnbindFields() {
  for (auto& f : persistent) f->storage_ = nullptr;
  fields.clear();
  dynamic.clear();
}

const uint8_t* TTableObject::ActiveBuffer() const {
  if (impl_->reading) return impl_->reading;
  return impl_->buffer.empty() ? nullptr : impl_->buffer.data();
}

uint8_t* TTableObject::BufferForWrite(TField& field) {
  Impl& m = *impl_;
  if (m.state == TDataSetState::dsInactive) throw ETableError(kClosed);
  if (m.reading) throw ETableError(kNotEditing);
  if (m.state == TDataSetState::dsEdit || m.state == TDataSetState::dsInsert) {
    m.modified = true;
    m.Notify(TDataLink::TEvent::RecordChanged);
  }
  return m.buffer.data();
}

// --- Open and close ---------------------------------------------------------

TOpenMode TTableObject::Impl::OpenModeFor() const {
  if (self.ReadOnly) return TOpenMode::ReadOnly;
  return self.Exclusive ? TOpenMode::ExclusiveOpen : TOpenMode::SharedOpen;
}

void TTableObject::Open() {
  Impl& m = *impl_;
  if (Active()) return;
  m.Run(BeforeOpen);
  if (!m.file.Open(m.FullFileName(), m.OpenModeFor(), UseFloatFields)) return;  // zero lengths
  try {
    m.table_level = m.file.Level();
    m.buffer.assign(m.file.RecordLength(), ' ');
    m.candidate.assign(m.file.RecordLength(), ' ');
    m.state = TDataSetState::dsBrowse;  // lookup checks and index builds need an open table
    m.BindFields();
    m.cursor = std::make_unique<TPhysicalCursor>(m.file);
    m.OpenIndexDefs();
    m.ApplyIndexName();
    m.modified = false;
    m.cursor->First();
    if (m.Fetch(TStep::Next, true)) {
      m.bof = true;
      m.eof = false;
    } else {
      m.SetNoRows();
    }
  } catch (...) {
    m.state = TDataSetState::dsInactive;
    m.UnbindFields();
    m.cursor.reset();
    m.current_recno = 0;
    try {
      m.CloseIndexes();
    } catch (...) {
    }
    try {
      m.file.Close(false);
    } catch (...) {
    }
    throw;
  }
  m.Notify(TDataLink::TEvent::ActiveChanged);
  m.Run(AfterOpen);
  m.Run(AfterScroll);
}

void TTableObject::Impl::Shutdown() {
  state = TDataSetState::dsInactive;
  modified = false;
  record_locked = false;
  edit_copy.clear();
  UnbindFields();
  selected = nullptr;
  cursor.reset();
  current_recno = 0;
  eof = bof = true;
  try {
    CloseIndexes();
  } catch (...) {
  }
  try {
    file.Close(false);
  } catch (...) {
  }
  Notify(TDataLink::TEvent::ActiveChanged);
}

void TTableObject::Close() {
  Impl& m = *impl_;
  if (!Active()) return;
  m.Run(BeforeClose);
  if (m.record_locked) m.file.UnlockRecord(m.current_recno);
  m.record_locked = false;
  m.state = TDataSetState::dsInactive;
  m.modified = false;
  m.UnbindFields();
  m.selected = nullptr;
  m.cursor.reset();
  std::exception_ptr failure;
  try {
    m.CloseIndexes();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    m.file.Close(!ReadOnly && (!KeepHeaderUnlessChanged || m.file.Changed()));
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  m.current_recno = 0;
  m.eof = m.bof = true;
  m.Notify(TDataLink::TEvent::ActiveChanged);
  m.Run(AfterClose);
  if (failure) std::rethrow_exception(failure);
}

bool TTableObject::Active() const { return impl_->state != TDataSetState::dsInactive; }

void TTableObject::SetActive(bool value) {
  if (value) Open();
  else Close();
}

TDataSetState TTableObject::State() const { return impl_->state; }

bool TTableObject::Editing() const {
  return impl_->state == TDataSetState::dsEdit || impl_->state == TDataSetState::dsInsert;
}

// --- Fetching ---------------------------------------------------------------

void TTableObject::Impl::CheckActive() const {
  if (state == TDataSetState::dsInactive) throw ETableError(kClosed);
}

void TTableObject::Impl::CheckModifiable() const {
  CheckActive();
  if (self.ReadOnly || !file.Writable()) throw ETableError(kReadOnly);
}

void TTableObject::Impl::Settle() {
  CheckActive();
  if (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert) {
    if (modified) self.Post();
    else self.Cancel();
  }
}

bool TTableObject::Impl::Accept(const uint8_t* row) {
  if (row[0] == kDeletedFlag && !show_deleted) return false;
  if (!filtered || !self.OnFilterRecord) return true;
  bool accept = true;
  const uint8_t* saved = reading;
  TDataSetState saved_state = state;
  reading = row;
  state = TDataSetState::dsFilter;
  try {
    self.OnFilterRecord(self, accept);
  } catch (...) {
    reading = saved;
    state = saved_state;
    throw;
  }
  reading = saved;
  state = saved_state;
  return accept;
}

bool TTableObject::Impl::Fetch(TStep step, bool make_current) {
  for (;;) {
    if (step == TStep::Next && !cursor->Next()) return false;
    if (step == TStep::Prior && !cursor->Prior()) return false;
    uint32_t recno = cursor->PhysicalRecNo();
    bool read = recno != 0 && file.ReadRecord(recno, candidate.data());
    if (read && Accept(candidate.data())) {
      if (make_current) {
        buffer.swap(candidate);
        current_recno = recno;
      }
      return true;
    }
    if (step == TStep::Current) return false;
  }
}

void TTableObject::Impl::SetNoRows() {
  current_recno = 0;
  std::fill(buffer.begin(), buffer.end(), ' ');
  eof = bof = true;
  if (cursor) cursor->First();
}

void TTableObject::Impl::Reposition() {
  if (current_recno == 0 || !cursor->GotoPhysical(current_recno)) {
    if (current_recno == 0) cursor->First();
  }
}

void TTableObject::Impl::Resync(TDataLink::TEvent told, uint32_t recno) {
  if (!cursor) return;
  uint32_t saved = current_recno;
  auto go = [&] {
    if (saved == 0) cursor->First();
    else cursor->GotoPhysical(saved);
  };
  go();
  bool ok = saved != 0 && cursor->State() == TCursorState::OnRow &&
            cursor->PhysicalRecNo() == saved && Fetch(TStep::Current, true);
  if (!ok) {
    go();
    ok = Fetch(TStep::Next, true);
  }
  if (!ok) {
    go();
    ok = Fetch(TStep::Prior, true);
  }
  if (ok) {
    eof = bof = false;
  } else {
    SetNoRows();
  }
  Notify(told, recno);
}

void TTableObject::Impl::Notify(TDataLink::TEvent event, uint32_t recno) {
  if (disable_count > 0) {
    const bool moved_only = event == TDataLink::TEvent::Scrolled &&
                            (!pending || *pending == TDataLink::TEvent::Scrolled);
    pending = moved_only ? TDataLink::TEvent::Scrolled : TDataLink::TEvent::DataSetChanged;
    return;
  }
  std::vector<TDataLink*> copy = links;
  for (TDataLink* link : copy) link->DataEvent(event, recno);
}

// --- Navigation -------------------------------------------------------------

void TTableObject::First() {
  Impl& m = *impl_;
  m.Settle();
  m.Run(BeforeScroll);
  m.cursor->First();
  if (m.Fetch(TStep::Next, true)) {
    m.bof = true;
    m.eof = false;
  } else {
    m.SetNoRows();
  }
  m.Notify(TDataLink::TEvent::Scrolled);
  m.Run(AfterScroll);
}

void TTableObject::Last() {
  Impl& m = *impl_;
  m.Settle();
  m.Run(BeforeScroll);
  m.cursor->Last();
  if (m.Fetch(TStep::Prior, true)) {
    m.eof = true;
    m.bof = false;
  } else {
    m.SetNoRows();
  }
  m.Notify(TDataLink::TEvent::Scrolled);
  m.Run(AfterScroll);
}

void TTableObject::Next() {
  Impl& m = *impl_;
  m.Settle();
  m.Run(BeforeScroll);
  if (!m.eof) {
    if (m.Fetch(TStep::Next, true)) {
      m.bof = false;
    } else {
      m.eof = true;
      m.Reposition();
    }
  }
  m.Notify(TDataLink::TEvent::Scrolled);
  m.Run(AfterScroll);
}

void TTableObject::Prior() {
  Impl& m = *impl_;
  m.Settle();
  m.Run(BeforeScroll);
  if (!m.bof) {
    if (m.Fetch(TStep::Prior, true)) {
      m.eof = false;
    } else {
      m.bof = true;
      m.Reposition();
    }
  }
  m.Notify(TDataLink::TEvent::Scrolled);
  m.Run(AfterScroll);
}

bool TTableObject::Eof() const { return impl_->eof; }
bool TTableObject::Bof() const { return impl_->bof; }
bool TTableObject::IsEmpty() const { return impl_->current_recno == 0 && impl_->state != TDataSetState::dsInsert; }

void TTableObject::Refresh() {
  Impl& m = *impl_;
  m.Settle();
  // The links were told of every row this object stored. Rows change unseen
  // only when the filter hook may answer otherwise now, or when another
  // program may write the file; else only the current row is read again.
  const bool unseen = (m.filtered && OnFilterRecord) || m.file.Mode() != TOpenMode::ExclusiveOpen;
  m.Resync(unseen ? TDataLink::TEvent::DataSetChanged : TDataLink::TEvent::Scrolled);
}

int32_t TTableObject::RecNo() const {
  const Impl& m = *impl_;
  if (!Active() || m.state == TDataSetState::dsInsert) return -1;
  if (m.current_recno == 0) return 0;
  return static_cast<int32_t>(m.cursor->SequentialRecNo());
}

void TTableObject::SetRecNo(int32_t value) {
  Impl& m = *impl_;
  m.Settle();
  m.Run(BeforeScroll);
  m.cursor->SetSequentialRecNo(static_cast<uint32_t>(value < 0 ? 0 : value));
  uint32_t saved = m.current_recno;
  if (m.cursor->State() == TCursorState::OnRow && m.Fetch(TStep::Current, true)) {
    m.eof = m.bof = false;
  } else {
    m.current_recno = saved;
    m.Reposition();
  }
  m.Notify(TDataLink::TEvent::Scrolled);
  m.Run(AfterScroll);
}

int32_t TTableObject::RecordCount() const {
  if (!Active()) return 0;
  return static_cast<int32_t>(impl_->cursor->Count());
}

uint32_t TTableObject::FileRecordCount() const {
  return Active() ? impl_->file.RecordCount() : 0;
}

int32_t TTableObject::CountVisibleRows() {
  Impl& m = *impl_;
  m.CheckActive();
  m.cursor->First();
  int32_t count = 0;
  try {
    while (m.Fetch(TStep::Next, false)) ++count;
  } catch (...) {
    m.Reposition();
    throw;
  }
  m.Reposition();
  return count;
}

int32_t TTableObject::CountLiveRows() {
  Impl& m = *impl_;
  m.CheckActive();
  std::vector<uint8_t> record(m.file.RecordLength());
  int32_t live = 0;
  const uint32_t records = m.file.RecordCount();
  for (uint32_t recno = 1; recno <= records; ++recno)
    if (m.file.ReadRecord(recno, record.data()) && record[0] != kDeletedFlag) ++live;
  return live;
}

bool TTableObject::HasVisibleRows() {
  Impl& m = *impl_;
  m.CheckActive();
  m.cursor->First();
  bool any = false;
  try {
    any = m.Fetch(TStep::Next, false);
  } catch (...) {
    m.Reposition();
    throw;
  }
  m.Reposition();
  return any;
}

bool TTableObject::Impl::Peek(TStep step) {
  if (state == TDataSetState::dsInactive || current_recno == 0) return false;
  Reposition();
  bool any = false;
  try {
    any = Fetch(step, false);
  } catch (...) {
    Reposition();
    throw;
  }
  Reposition();
  return any;
}

bool TTableObject::HasRowBefore() { return impl_->Peek(TStep::Prior); }

bool TTableObject::HasRowAfter() { return impl_->Peek(TStep::Next); }

std::vector<uint32_t> TTableObject::VisibleRecordNumbers() {
  Impl& m = *impl_;
  std::vector<uint32_t> out;
  if (!Active()) return out;
  m.cursor->First();
  try {
    while (m.Fetch(TStep::Next, false)) out.push_back(m.cursor->PhysicalRecNo());
  } catch (...) {
    m.Reposition();
    throw;
  }
  m.Reposition();
  return out;
}

int32_t TTableObject::RecNoOf(uint32_t bookmark) {
  Impl& m = *impl_;
  if (!Active() || bookmark == 0) return 0;
  int32_t recno = 0;
  try {
    if (m.cursor->GotoPhysical(bookmark) && m.cursor->PhysicalRecNo() == bookmark &&
        m.Fetch(TStep::Current, false))
      recno = static_cast<int32_t>(m.cursor->SequentialRecNo());
  } catch (...) {
    m.Reposition();
    throw;
  }
  m.Reposition();
  return recno;
}

bool TTableObject::ReadRowTexts(uint32_t recno, const std::vector<std::string>& field_names,
                                std::vector<std::string>& texts) {
  Impl& m = *impl_;
  texts.clear();
  if (!Active()) return false;
  // The row being edited or inserted is shown as it stands in the buffer.
  bool editing = (m.state == TDataSetState::dsEdit && recno == m.current_recno);
  if (!editing) {
    m.scratch.resize(m.file.RecordLength());
    if (!m.file.ReadRecord(recno, m.scratch.data())) return false;
  }
  const uint8_t* saved = m.reading;
  m.reading = editing ? m.buffer.data() : m.scratch.data();
  try {
    for (const std::string& name : field_names) {
      TField* f = FindField(name);
      texts.push_back(f ? f->DisplayText() : std::string());
    }
  } catch (...) {
    m.reading = saved;
    throw;
  }
  m.reading = saved;
  return true;
}

uint32_t TTableObject::Bookmark() const { return impl_->current_recno; }

void TTableObject::GotoBookmark(uint32_t bookmark) {
  Impl& m = *impl_;
  m.Settle();
  if (bookmark == 0) return First();
  if (bookmark == 2147483647u) return Last();
  m.Run(BeforeScroll);
  uint32_t saved = m.current_recno;
  if (!(m.cursor->GotoPhysical(bookmark) && m.Fetch(TStep::Current, true))) {
    m.current_recno = saved;
    m.Reposition();
  } else {
    m.eof = m.bof = false;
  }
  m.Notify(TDataLink::TEvent::Scrolled);
  m.Run(AfterScroll);
}

bool TTableObject::Locate(const std::string& key_fields, const TVariant& value, int options) {
  return Locate(key_fields, std::vector<TVariant>{value}, options);
}

bool TTableObject::Locate(const std::string& key_fields, const std::vector<TVariant>& values,
                          int options) {
  Impl& m = *impl_;
  m.CheckActive();
  m.Run(BeforeScroll);
  DisableControls();
  bool found = false;
  try {
    uint32_t saved = m.current_recno;
    m.Settle();
    saved = m.current_recno;
    if (!m.LocateByIndex(key_fields, values, found)) {
      std::vector<std::string> names = SplitFields(key_fields);
      if (!names.empty() && names.size() == values.size()) {
        std::vector<TField*> fields;
        for (const std::string& n : names) fields.push_back(&FieldByName(n));
        const bool nocase = options & loCaseInsensitive;
        const bool partial = options & loPartialKey;
        First();
        while (!found && !IsEmpty()) {
          bool all = true;
          for (size_t i = 0; i < fields.size() && all; ++i) {
            TField& f = *fields[i];
            if (f.DataType() != ftString) {
              all = FieldMatches(f, values[i], options);
              continue;
            }
            std::string key = VariantText(values[i]);
            std::string text = f.AsString();
            if (nocase) {
              key = FoldCase(key);
              text = FoldCase(text);
            }
            if (key == text) continue;
            all = partial && i + 1 == fields.size() && key.size() < text.size() &&
                  text.compare(0, key.size(), key) == 0;
          }
          if (all) {
            found = true;
            break;
          }
          if (Eof()) break;
          Next();
          if (Eof()) {
            // Next ran past the end: the last row was already compared.
            break;
          }
        }
      }
    }
    if (!found) {
      // Back to the row that was current, as a move to its bookmark.
      m.Run(BeforeScroll);
      m.current_recno = saved;
      if (saved != 0 && m.cursor->GotoPhysical(saved) && m.Fetch(TStep::Current, true)) {
        m.eof = m.bof = false;
      } else if (saved == 0) {
        m.cursor->First();
        if (m.Fetch(TStep::Next, true)) m.bof = true, m.eof = false;
        else m.SetNoRows();
      }
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  m.Notify(TDataLink::TEvent::Scrolled);
  m.Run(AfterScroll);
  EnableControls();
  return found;
}

// --- Changes ----------------------------------------------------------------

void TTableObject::Insert() {
  Impl& m = *impl_;
  m.Settle();
  m.CheckModifiable();
  m.Run(BeforeInsert);
  m.Run(BeforeScroll);
  m.edit_copy.clear();
  std::fill(m.buffer.begin(), m.buffer.end(), ' ');
  m.state = TDataSetState::dsInsert;
  m.modified = false;
  m.Notify(TDataLink::TEvent::StateChanged);
  m.Run(OnNewRecord);
  m.Run(AfterInsert);
  m.Run(AfterScroll);
}

void TTableObject::Append() { Insert(); }

void TTableObject::Edit() {
  Impl& m = *impl_;
  m.CheckActive();
  if (m.state == TDataSetState::dsEdit || m.state == TDataSetState::dsInsert) return;
  m.CheckModifiable();
  if (m.current_recno == 0) return Insert();
  m.Run(BeforeEdit);
  if (m.file.File().Shared()) {
    if (!m.file.LockRecord(m.current_recno)) throw ETableError("Record locked.");
    m.record_locked = true;
  }
  try {
    // An edit starts from the stored values, not from what the row showed.
    if (!m.file.ReadRecord(m.current_recno, m.buffer.data()))
      throw ETableError(Format("Record %u is missing from file %s", m.current_recno,
                               m.file.Path().c_str()));
  } catch (...) {
    if (m.record_locked) m.file.UnlockRecord(m.current_recno);
    m.record_locked = false;
    throw;
  }
  m.edit_copy = m.buffer;
  m.state = TDataSetState::dsEdit;
  m.modified = false;
  m.Notify(TDataLink::TEvent::StateChanged);
  m.Run(AfterEdit);
}

void TTableObject::Post() {
  Impl& m = *impl_;
  m.CheckActive();
  if (m.state != TDataSetState::dsEdit && m.state != TDataSetState::dsInsert)
    throw ETableError(kNotEditing);
  m.Run(BeforePost);
  uint32_t posted = m.current_recno;
  if (m.state == TDataSetState::dsInsert) {
    m.buffer[0] = kLiveFlag;
    uint32_t recno = m.file.RecordCount() + 1;
    m.InsertKeys(recno, m.buffer.data());  // raises with no key left behind
    uint32_t written = 0;
    try {
      written = m.file.AppendRecord(m.buffer.data());
    } catch (...) {
      m.UndoInsertKeys(recno, m.buffer.data());
      throw;
    }
    if (written != recno) {
      // Another program took the number in between (shared mode): move
      // the keys to the number actually written. The row is stored; an
      // index that cannot follow it is dropped rather than left wrong.
      m.UndoInsertKeys(recno, m.buffer.data());
      try {
        m.InsertKeys(written, m.buffer.data());
      } catch (...) {
        while (!m.indexes.empty()) m.DropIndex(m.indexes.front().file.get());
      }
    }
    posted = written;
  } else {
    m.UpdateKeys(m.current_recno, m.edit_copy.data(), m.buffer.data(), m.deleting);
    try {
      m.file.WriteRecord(m.current_recno, m.buffer.data());
    } catch (...) {
      // The record keeps its old bytes: a write that stored part of the new
      // ones before failing is undone. So must the indexes keep theirs.
      try {
        m.file.WriteRecord(m.current_recno, m.edit_copy.data());
      } catch (...) {
      }
      m.UndoUpdateKeys(m.current_recno, m.edit_copy.data(), m.buffer.data(), m.deleting);
      throw;
    }
    if (m.record_locked) m.file.UnlockRecord(m.current_recno);
    m.record_locked = false;
  }
  m.state = TDataSetState::dsBrowse;
  m.modified = false;
  m.edit_copy.clear();
  m.Notify(TDataLink::TEvent::StateChanged);
  // The row is stored: the post has succeeded, and a refresh that cannot
  // read the file must not report it as failed (a caller would post the row
  // again). The table then shows no row until the next move reads again.
  try {
    m.Resync(TDataLink::TEvent::RowPosted, posted);
  } catch (const ETableError&) {
    m.SetNoRows();
    m.Notify(TDataLink::TEvent::DataSetChanged);
  }
  m.Run(AfterPost);
}

void TTableObject::Cancel() {
  Impl& m = *impl_;
  if (m.state != TDataSetState::dsEdit && m.state != TDataSetState::dsInsert) return;
  bool inserting = m.state == TDataSetState::dsInsert;
  m.Run(BeforeCancel);
  if (inserting) m.Run(BeforeScroll);
  if (m.record_locked) m.file.UnlockRecord(m.current_recno);
  m.record_locked = false;
  m.edit_copy.clear();
  m.state = TDataSetState::dsBrowse;
  m.modified = false;
  m.Notify(TDataLink::TEvent::StateChanged);
  m.Resync(TDataLink::TEvent::Scrolled);  // no stored row changed
  m.Run(AfterCancel);
  if (inserting) m.Run(AfterScroll);
}

void TTableObject::Delete() {
  Impl& m = *impl_;
  m.CheckActive();
  if (m.state == TDataSetState::dsInsert) return Cancel();
  m.CheckModifiable();
  if (m.state == TDataSetState::dsEdit) m.Settle();
  if (m.current_recno == 0) throw ETableError("Cannot perform this operation on an empty dataset");
  m.Run(BeforeDelete);
  m.Run(BeforeScroll);
  Edit();
  m.buffer[0] = kDeletedFlag;
  m.modified = true;
  m.deleting = true;
  try {
    Post();
  } catch (...) {
    m.deleting = false;
    if (m.state == TDataSetState::dsEdit) {
      // The delete did not reach the file: drop the edit it began, so that
      // no later move posts the row as deleted after the error was shown.
      if (m.record_locked) m.file.UnlockRecord(m.current_recno);
      m.record_locked = false;
      if (m.edit_copy.size() == m.buffer.size()) m.buffer = m.edit_copy;
      m.edit_copy.clear();
      m.state = TDataSetState::dsBrowse;
      m.modified = false;
      m.Notify(TDataLink::TEvent::StateChanged);
    }
    throw;
  }
  m.deleting = false;
  m.Run(AfterDelete);
  m.Run(AfterScroll);
}

bool TTableObject::Modified() const { return impl_->modified; }

// --- Display ----------------------------------------------------------------

void TTableObject::DisableControls() { ++impl_->disable_count; }

void TTableObject::EnableControls() {
  Impl& m = *impl_;
  if (m.disable_count == 0) return;
  if (--m.disable_count == 0 && m.pending) {
    const TDataLink::TEvent told = *m.pending;
    m.pending.reset();
    m.Notify(told);
  }
}

bool TTableObject::ControlsDisabled() const { return impl_->disable_count > 0; }

void TTableObject::AddDataLink(TDataLink* link) { impl_->links.push_back(link); }

void TTableObject::RemoveDataLink(TDataLink* link) {
  auto& l = impl_->links;
  l.erase(std::remove(l.begin(), l.end(), link), l.end());
}

}  // namespace kalbor
