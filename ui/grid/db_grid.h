// A data grid over a TTableModel: column widths and titles, whole-row or
// cell selection, the grid's current row following the table's current row
// and the other way round, Ctrl+Delete with "Delete record?". Editable
// models are edited in place; true/false columns are drawn as check boxes;
// Enter in a cell stores the row and Escape drops the changes of the current
// row, and a new row left unchanged
// is dropped when the focus leaves the grid; changes the table refuses are
// dropped when their row is left.
#pragma once

#include <QPointer>
#include <QTableView>
#include <functional>
#include <string>

#include "ui/grid/table_model.h"

namespace kalbor {

// Leaving a row (a move of the grid or of its navigator) stores the row's
// pending changes. Changes the table refuses are dropped instead, with the
// refusal shown by `on_error` (thrown without it), and the move goes on: a
// refused value never stays behind to be stored by a later move. False when
// the move failed.
bool LeaveRowThen(TTableObject& table, const std::function<void()>& move,
                  const std::function<void(const std::string&)>& on_error);

class TDBGrid : public QTableView {
  Q_OBJECT

 public:
  explicit TDBGrid(QWidget* parent = nullptr);

  void SetModel(TTableModel* model, bool whole_row_selection);
  TTableModel* Model() const { return model_; }
  // Asked before Ctrl+Delete deletes the current row; true goes on.
  std::function<bool()> ConfirmDelete;
  // When set, Ctrl+Delete runs this instead (a deletion with more to it than
  // the row, with its own question).
  std::function<void()> DeleteRow;
  // Errors of the grid's own table actions go here (the application's error
  // display); without it they reach the caller.
  std::function<void(const std::string&)> OnError;
  // The column of the current cell; kept while the rows are re-read.
  int CurrentColumn() const { return current_column_; }
  // The whole text of a cell that is too narrow to show it (shown as the
  // cell's tooltip); empty when the cell shows all of it.
  QString CutText(const QModelIndex& index) const;
  // Ends an open cell editor: keep stores its text in the row (false when
  // the text is refused; the editor then stays open), otherwise the text is
  // dropped.
  bool FinishCellEdit(bool keep);

 signals:
  void TitleClicked(int column);
  void CellClicked(int column);
  void KeyPressedInColumn(int key, int column);
  // The current cell moved into / out of `column`.
  void ColEnter(int column);
  void ColExit(int column);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  // A hidden grid parks its model; shown again it shows the table as it is.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  // A cell too narrow for its text shows the whole text as its tooltip.
  bool viewportEvent(QEvent* event) override;
  // Enter in a cell editor stores the row, Escape drops the row's changes.
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                   const QList<int>& roles = QList<int>()) override;

 private:
  void FollowTable(int row);
  bool RunTableAction(const std::function<void()>& action);

  QPointer<TTableModel> model_;  // cleared when the model goes (the window drops its models first)
  bool following_ = false;
  int current_column_ = -1;
  bool click_reported_ = false;
  bool beginning_edit_ = false;
};

}  // namespace kalbor
