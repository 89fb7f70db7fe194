#include "ui/grid/table_model.h"

#include <algorithm>

#include "storage/errors.h"

namespace kalbor {

TTableModel::TTableModel(TTableObject& table, std::vector<TGridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns)) {
  for (const TGridColumn& c : columns_) field_names_ << c.field;
  table_.AddDataLink(this);
  Reload();
}

TTableModel::~TTableModel() { table_.RemoveDataLink(this); }

int TTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(rows_.size()) + (insert_row_ ? 1 : 0);
}

int TTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

uint32_t TTableModel::RecnoAt(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)] : 0;
}

void TTableModel::ReadRow(int row) const {
  if (row == cached_row_) return;
  cached_texts_.clear();
  cached_row_ = row;
  std::vector<std::string> names;
  for (const QString& n : field_names_) names.push_back(n.toStdString());
  bool inserting = insert_row_ && row == static_cast<int>(rows_.size());
  // The row being inserted lives in the table's buffer only; so do the
  // unposted changes of the row being edited.
  bool editing = !inserting && table_.Active() && table_.State() == TDataSetState::dsEdit &&
                 RecnoAt(row) != 0 && RecnoAt(row) == table_.Bookmark();
  if (inserting || editing) {
    for (const std::string& n : names) {
      TField* f = table_.FindField(n);
      cached_texts_.push_back(f ? f->DisplayText() : std::string());
    }
    cached_row_ = -1;  // the buffer changes field by field: read it afresh each time
    return;
  }
  try {
    if (!table_.ReadRowTexts(RecnoAt(row), names, cached_texts_)) cached_texts_.clear();
  } catch (const ETableError&) {
    cached_texts_.clear();
  }
}

QVariant TTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
    return QVariant();
  const TGridColumn& column = columns_[static_cast<size_t>(index.column())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
      if (column.check_box && role == Qt::DisplayRole) return QVariant();
      ReadRow(index.row());
      size_t c = static_cast<size_t>(index.column());
      return c < cached_texts_.size() ? QString::fromStdString(cached_texts_[c]) : QString();
    }
    case Qt::CheckStateRole: {
      if (!column.check_box) return QVariant();
      ReadRow(index.row());
      size_t c = static_cast<size_t>(index.column());
      bool on = c < cached_texts_.size() && cached_texts_[c] == "True";
      return on ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(column.alignment);
    default:
      return QVariant();
  }
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return QVariant();
  const TGridColumn& column = columns_[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) return column.title;
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(column.title_alignment);
  return QVariant();
}

Qt::ItemFlags TTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const TGridColumn& column = columns_[static_cast<size_t>(index.column())];
  if (editable_ && !column.check_box) {
    TField* field = table_.FindField(column.field.toStdString());
    if (field && field->FieldKind() == TFieldKind::fkData) f |= Qt::ItemIsEditable;
  }
  return f;
}

bool TTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || !editable_) return false;
  last_edit_failed_ = true;
  const TGridColumn& column = columns_[static_cast<size_t>(index.column())];
  try {
    MoveTableTo(index.row());
  } catch (const ETableError& e) {
    if (!OnError) throw;
    OnError(e.what());
    return false;
  }
  TField& field = table_.FieldByName(column.field.toStdString());
  // Errors (a text that is no number, a text the table cannot store) reach
  // the caller's error display; the row stays in edit state to be fixed.
  try {
    if (table_.State() == TDataSetState::dsBrowse) table_.Edit();
    field.SetAsString(value.toString().toStdString());
  } catch (const ETableError& e) {
    cached_row_ = -1;
    if (!OnError) throw;
    OnError(e.what());
    return false;
  }
  cached_row_ = -1;
  last_edit_failed_ = false;
  emit dataChanged(index, index);
  return true;
}

int TTableModel::CurrentRow() const {
  if (!table_.Active()) return -1;
  if (table_.State() == TDataSetState::dsInsert) return static_cast<int>(rows_.size());
  uint32_t recno = table_.Bookmark();
  if (recno == 0) return -1;
  auto it = std::find(rows_.begin(), rows_.end(), recno);
  return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

void TTableModel::MoveTableTo(int row) {
  uint32_t recno = RecnoAt(row);
  if (recno == 0 || !table_.Active()) return;
  // While a row is inserted the table still names the row it came from:
  // moving back there leaves the new row too.
  if (recno == table_.Bookmark() && table_.State() != TDataSetState::dsInsert) return;
  moving_ = true;
  try {
    table_.GotoBookmark(recno);
  } catch (...) {
    moving_ = false;
    emit CurrentRowChanged(CurrentRow());
    throw;
  }
  moving_ = false;
  // Leaving a row may have stored or dropped it and re-read the rows: the
  // grid's row is where the table is now.
  emit CurrentRowChanged(CurrentRow());
}

void TTableModel::SetParked(bool parked) {
  if (parked == parked_) return;
  parked_ = parked;
  if (parked_) return;
  if (stale_) Reload();
  else if (moved_) emit CurrentRowChanged(CurrentRow());
  moved_ = false;
}

void TTableModel::Reload() {
  stale_ = false;
  moved_ = false;
  beginResetModel();
  cached_row_ = -1;
  rows_.clear();
  insert_row_ = false;
  if (table_.Active()) {
    try {
      rows_ = table_.VisibleRecordNumbers();
    } catch (const ETableError&) {
      rows_.clear();
    }
    insert_row_ = table_.State() == TDataSetState::dsInsert;
  }
  endResetModel();
  emit CurrentRowChanged(CurrentRow());
}

void TTableModel::FollowCurrentRow() {
  if (!moving_) emit CurrentRowChanged(CurrentRow());
}

void TTableModel::RowChanged(int row) {
  cached_row_ = -1;
  if (row >= 0 && row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TTableModel::InsertRow(int row, uint32_t recno) {
  reshaping_ = true;
  beginInsertRows(QModelIndex(), row, row);
  if (recno != 0) rows_.insert(rows_.begin() + row, recno);
  else insert_row_ = true;
  cached_row_ = -1;
  endInsertRows();
  reshaping_ = false;
}

void TTableModel::RemoveRow(int row) {
  reshaping_ = true;
  beginRemoveRows(QModelIndex(), row, row);
  if (row < static_cast<int>(rows_.size())) rows_.erase(rows_.begin() + row);
  else insert_row_ = false;
  cached_row_ = -1;
  endRemoveRows();
  reshaping_ = false;
}

void TTableModel::FollowState() {
  const bool inserting = table_.Active() && table_.State() == TDataSetState::dsInsert;
  const int last = static_cast<int>(rows_.size());
  if (inserting && !insert_row_) {
    InsertRow(last, 0);
  } else if (!inserting && insert_row_) {
    RemoveRow(last);
  } else {
    // The row's texts come from the buffer while it is edited.
    RowChanged(CurrentRow());
  }
  FollowCurrentRow();
}

int TTableModel::PlaceAmongRows(int32_t recno_of, int skip) const {
  int low = 0;
  int high = static_cast<int>(rows_.size()) - (skip >= 0 ? 1 : 0);
  while (low < high) {
    const int middle = low + (high - low) / 2;
    const int row = skip >= 0 && middle >= skip ? middle + 1 : middle;
    const int32_t there = table_.RecNoOf(rows_[static_cast<size_t>(row)]);
    if (there == 0 || there == recno_of) return -1;
    if (there < recno_of) low = middle + 1;
    else high = middle;
  }
  return low;
}

void TTableModel::PlaceRow(uint32_t recno) {
  constexpr int kGone = -2;  // navigation no longer shows the row
  const auto found = std::find(rows_.begin(), rows_.end(), recno);
  const int row = found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
  int place = -1;
  try {
    const int32_t recno_of = table_.RecNoOf(recno);
    place = recno_of == 0 ? kGone : PlaceAmongRows(recno_of, row);
  } catch (const ETableError&) {
    place = -1;
  }
  if (place == -1) return Reload();
  if (place == row) {
    RowChanged(row);
  } else {
    if (row >= 0) RemoveRow(row);
    if (place >= 0) InsertRow(place, recno);
  }
  FollowCurrentRow();
}

void TTableModel::DataEvent(TEvent event, uint32_t recno) {
  if (parked_) {
    // Unparking re-reads the rows, or only finds the current row.
    if (event == TEvent::Scrolled) moved_ = true;
    else stale_ = true;
    return;
  }
  switch (event) {
    case TEvent::ActiveChanged:
    case TEvent::DataSetChanged:
      Reload();
      break;
    case TEvent::RowPosted:
      PlaceRow(recno);
      break;
    case TEvent::StateChanged:
      FollowState();
      break;
    case TEvent::RecordChanged:
      RowChanged(CurrentRow());
      break;
    case TEvent::Scrolled:
      FollowCurrentRow();
      break;
  }
}

}  // namespace kalbor
