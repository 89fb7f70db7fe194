// The grid binding: a Qt table model over one TTableObject. It shows the
// table's visible rows in the table's present order (index, filter, rows
// marked deleted), keeps the grid's current row and the table's current row
// together in both directions, and follows what the table tells it (never
// while DisableControls is in force; once at EnableControls): a row stored
// is inserted, removed, moved or repainted as that one row, found among the
// rows shown by its RecNo (a binary search, no walk); the rows are read
// afresh only when the order or the filter may have changed.
//
// Painting reads rows through the table's side read, so it neither moves the
// table's current row nor runs its scroll hooks; lookup columns show their
// OnGetText text.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "storage/table_object.h"

namespace kalbor {

struct TGridColumn {
  QString field;  // field name
  QString title;
  int width = 64;
  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
  Qt::Alignment title_alignment = Qt::AlignLeft | Qt::AlignVCenter;
  bool check_box = false;  // a true/false column drawn as a check box
};

class TTableModel : public QAbstractTableModel, private TDataLink {
  Q_OBJECT

 public:
  TTableModel(TTableObject& table, std::vector<TGridColumn> columns, QObject* parent = nullptr);
  ~TTableModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  TTableObject& Table() { return table_; }
  const std::vector<TGridColumn>& Columns() const { return columns_; }
  void SetEditable(bool editable) { editable_ = editable; }
  bool Editable() const { return editable_; }
  // Errors of an in-place edit go here (the application's error display);
  // without it they reach the caller.
  std::function<void(const std::string&)> OnError;
  // Whether the last in-place edit was refused (its error went to OnError).
  bool LastEditFailed() const { return last_edit_failed_; }

  // The row of the table's current row (-1 when there is none).
  int CurrentRow() const;
  // Makes the table's current row the one shown at `row` (a user's move:
  // the table's scroll hooks run).
  void MoveTableTo(int row);
  // Re-reads the visible rows now.
  void Reload();
  // A parked model (its grid is hidden) does not follow the table: changes
  // only mark its rows stale, and they are re-read when it is unparked.
  // Re-reading tens of thousands of rows for a grid nobody sees would cost
  // more than the action that changed them.
  void SetParked(bool parked);
  // Rows are being inserted or removed: a current cell the view moves
  // meanwhile is no move of the table's (the model says where the table's
  // current row is once they are in place).
  bool Reshaping() const { return reshaping_; }

 signals:
  // The table's current row moved to `row` (-1: none).
  void CurrentRowChanged(int row);

 private:
  void DataEvent(TEvent event, uint32_t recno) override;
  void ReadRow(int row) const;
  uint32_t RecnoAt(int row) const;
  // The new row shown last while the table inserts comes and goes with the
  // insert state; entering or leaving an edit repaints the row.
  void FollowState();
  // The stored row `recno` goes where the table shows it now, or goes away.
  void PlaceRow(uint32_t recno);
  // Where a row of RecNo `recno_of` stands among the rows shown, `skip`
  // (-1: none) left out; -1 when their RecNos do not tell (a row shown is
  // no longer visible, two are equal): the rows must then be read again.
  int PlaceAmongRows(int32_t recno_of, int skip) const;
  // The stored row `recno` (0: the new row shown last) is shown at `row`;
  // the row shown at `row` goes.
  void InsertRow(int row, uint32_t recno);
  void RemoveRow(int row);
  void RowChanged(int row);
  void FollowCurrentRow();

  TTableObject& table_;
  std::vector<TGridColumn> columns_;
  QStringList field_names_;
  std::vector<uint32_t> rows_;  // record numbers of the visible rows, in order
  bool insert_row_ = false;     // a row being inserted is shown last
  bool editable_ = false;
  bool moving_ = false;
  bool last_edit_failed_ = false;
  bool parked_ = false;
  bool stale_ = false;  // parked while the table's rows changed
  bool moved_ = false;  // parked while the table's current row moved
  bool reshaping_ = false;
  // One row's texts, read on demand for painting.
  mutable int cached_row_ = -1;
  mutable std::vector<std::string> cached_texts_;
};

}  // namespace kalbor
