#include "ui/grid/db_grid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "storage/errors.h"

namespace kalbor {

namespace {

// Draws a true/false cell as a standard check box in the middle of the cell,
// over the cell's usual background (selection and focus included).
class TCheckBoxDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QVariant state = index.data(Qt::CheckStateRole);
    if (!state.isValid()) return QStyledItemDelegate::paint(painter, option, index);
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);

    QStyleOptionButton box;
    box.initFrom(widget ? widget : nullptr);
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, &box, widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, &box, widget);
    box.rect = QRect(option.rect.x() + (option.rect.width() - w) / 2,
                     option.rect.y() + (option.rect.height() - h) / 2, w, h);
    box.state = QStyle::State_Enabled;
    box.state |= state.toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);
    if (option.state & QStyle::State_HasFocus) {
      QStyleOptionFocusRect focus;
      focus.QStyleOption::operator=(option);
      focus.rect = option.rect.adjusted(1, 1, -1, -1);
      style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
  }
};

// The row indicator: the current row's header shows a pointer, "I" while
// the row is edited, "*" for a new row.
class TRowIndicator : public QHeaderView {
 public:
  explicit TRowIndicator(TDBGrid* grid) : QHeaderView(Qt::Vertical, grid), grid_(grid) {}

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logical_index) const override {
    QHeaderView::paintSection(painter, rect, logical_index);
    TTableModel* model = grid_->Model();
    if (!model || logical_index != model->CurrentRow()) return;
    painter->save();
    painter->setClipRect(rect);  // the style leaves the label's (empty) clip behind
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->setBrush(palette().color(QPalette::ButtonText));
    const TDataSetState state = model->Table().State();
    if (state == TDataSetState::dsInsert || state == TDataSetState::dsEdit) {
      painter->drawText(rect, Qt::AlignCenter, state == TDataSetState::dsInsert ? "*" : "I");
    } else {
      const QPoint c = rect.center();
      const QPoint pointer[3] = {
          {c.x() - 2, c.y() - 4}, {c.x() + 2, c.y()}, {c.x() - 2, c.y() + 4}};
      painter->setRenderHint(QPainter::Antialiasing);
      painter->drawPolygon(pointer, 3);
    }
    painter->restore();
  }

 private:
  TDBGrid* grid_;
};

}  // namespace

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent) {
  setVerticalHeader(new TRowIndicator(this));
  verticalHeader()->setDefaultSectionSize(18);
  verticalHeader()->setMinimumSectionSize(16);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setFixedWidth(12);  // the row indicator
  verticalHeader()->setSectionsClickable(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setMinimumSectionSize(8);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Tab and Shift+Tab leave the grid for the next control; the arrow keys
  // move inside it.
  setTabKeyNavigation(false);
  setWordWrap(false);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TDBGrid::TitleClicked);
}

void TDBGrid::SetModel(TTableModel* model, bool whole_row_selection) {
  model_ = model;
  setModel(model);
  setSelectionBehavior(whole_row_selection ? QAbstractItemView::SelectRows
                                           : QAbstractItemView::SelectItems);
  setEditTriggers(model->Editable()
                      ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed
                      : QAbstractItemView::NoEditTriggers);
  QFont bold = horizontalHeader()->font();
  bold.setBold(true);
  horizontalHeader()->setFont(bold);
  for (size_t i = 0; i < model->Columns().size(); ++i) {
    setColumnWidth(static_cast<int>(i), model->Columns()[i].width);
    if (model->Columns()[i].check_box)
      setItemDelegateForColumn(static_cast<int>(i), new TCheckBoxDelegate(this));
  }
  connect(model, &TTableModel::CurrentRowChanged, this, &TDBGrid::FollowTable);
  connect(model, &QAbstractItemModel::modelReset, this,
          [this] { FollowTable(model_->CurrentRow()); });
  FollowTable(model->CurrentRow());
}

void TDBGrid::showEvent(QShowEvent* event) {
  if (model_) model_->SetParked(false);
  QTableView::showEvent(event);
}

void TDBGrid::hideEvent(QHideEvent* event) {
  QTableView::hideEvent(event);
  if (model_) model_->SetParked(true);
}

void TDBGrid::FollowTable(int row) {
  if (!model_) return;
  following_ = true;
  if (row < 0) {
    setCurrentIndex(QModelIndex());
  } else {
    // The current column stays where it was, also after the rows were
    // re-read (a reset forgets the current cell).
    int column = current_column_ >= 0 && current_column_ < model_->columnCount()
                     ? current_column_
                     : 0;
    QModelIndex index = model_->index(row, column);
    setCurrentIndex(index);
    if (selectionBehavior() == QAbstractItemView::SelectRows) selectRow(row);
    scrollTo(index);
  }
  following_ = false;
  verticalHeader()->viewport()->update();
}

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  verticalHeader()->viewport()->update();
  if (current.isValid() && current.column() != current_column_) {
    const int left = current_column_;
    current_column_ = current.column();
    if (left >= 0) emit ColExit(left);
    emit ColEnter(current_column_);
  }
  if (!following_ && model_ && !model_->Reshaping() && current.isValid() &&
      current.row() != previous.row()) {
    const int row = current.row();
    LeaveRowThen(model_->Table(), [&] { model_->MoveTableTo(row); }, OnError);
  }
}

bool LeaveRowThen(TTableObject& table, const std::function<void()>& move,
                  const std::function<void(const std::string&)>& on_error) {
  const bool pending = table.Editing();
  std::string refusal;
  try {
    move();
    return true;
  } catch (const ETableError& e) {
    refusal = e.what();
  }
  bool moved = false;
  if (pending && table.Editing()) {
    try {
      table.Cancel();
      move();
      moved = true;
    } catch (const ETableError&) {
      // The refusal below says what went wrong first.
    }
  }
  if (!on_error) throw ETableError(refusal);
  on_error(refusal);
  return moved;
}

bool TDBGrid::RunTableAction(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const ETableError& e) {
    if (!OnError) throw;
    OnError(e.what());
    return false;
  }
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
  if (model_ && event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
    if (DeleteRow) {
      DeleteRow();
      return;
    }
    TTableObject& table = model_->Table();
    if (table.Active() && !table.IsEmpty() && (!ConfirmDelete || ConfirmDelete()))
      RunTableAction([&] { table.Delete(); });
    return;
  }
  if (model_ && event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    // Escape drops the unposted changes of the current row (an open cell
    // editor takes Escape itself first).
    TTableObject& table = model_->Table();
    if (table.Editing()) {
      RunTableAction([&] { table.Cancel(); });
      return;
    }
  }
  if (currentIndex().isValid()) emit KeyPressedInColumn(event->key(), currentIndex().column());
  if (event->isAccepted() && event->key() == Qt::Key_Space && currentIndex().isValid() &&
      model_ && model_->Columns()[static_cast<size_t>(currentIndex().column())].check_box)
    return;
  QTableView::keyPressEvent(event);
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid() && event->button() == Qt::LeftButton) {
    click_reported_ = true;
    emit CellClicked(index.column());
  }
}

// Each click of a double click is a click on the cell (a check box flips
// twice); the view itself may already have handled it as a press.
void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  click_reported_ = false;
  QTableView::mouseDoubleClickEvent(event);
  if (click_reported_ || event->button() != Qt::LeftButton) return;
  QModelIndex index = indexAt(event->position().toPoint());
  if (index.isValid()) emit CellClicked(index.column());
}

// Typing into a cell puts its row into edit state at once, as the
// navigator's Post and Cancel then show.
bool TDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!QTableView::edit(index, trigger, event)) return false;
  if (model_ && state() == QAbstractItemView::EditingState) {
    TTableObject& table = model_->Table();
    if (table.Active() && table.State() == TDataSetState::dsBrowse && !table.IsEmpty() &&
        index.row() == model_->CurrentRow()) {
      // The editor already holds the first key typed: the row's hooks
      // touching the row must not write the cell's text over it.
      beginning_edit_ = true;
      bool began = false;
      try {
        began = RunTableAction([&] { table.Edit(); });
      } catch (...) {
        beginning_edit_ = false;
        throw;
      }
      beginning_edit_ = false;
      if (!began) FinishCellEdit(false);
    }
  }
  return true;
}

QString TDBGrid::CutText(const QModelIndex& index) const {
  const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
  // The cell's own margins as the view draws them: a text that needs more
  // room than is left is shown elided.
  const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  if (text.isEmpty() || fontMetrics().horizontalAdvance(text) <= visualRect(index).width() - margin)
    return QString();
  return text;
}

bool TDBGrid::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QTableView::viewportEvent(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const QModelIndex index = indexAt(help->pos());
  const QString text = CutText(index);
  if (text.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
  return true;
}

void TDBGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTableView::closeEditor(editor, hint);
  if (!model_) return;
  TTableObject& table = model_->Table();
  if (!table.Editing()) return;
  if (hint == QAbstractItemDelegate::SubmitModelCache && !model_->LastEditFailed())
    RunTableAction([&] { table.Post(); });
  else if (hint == QAbstractItemDelegate::RevertModelCache)
    RunTableAction([&] { table.Cancel(); });
}

void TDBGrid::dataChanged(const QModelIndex& top_left, const QModelIndex& bottom_right,
                          const QList<int>& roles) {
  if (beginning_edit_) {
    viewport()->update();
    return;
  }
  QTableView::dataChanged(top_left, bottom_right, roles);
}

bool TDBGrid::FinishCellEdit(bool keep) {
  if (state() != QAbstractItemView::EditingState) return true;
  // Cell editors are the visible children of the viewport.
  for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!editor->isVisible()) continue;
    if (keep) {
      commitData(editor);
      if (model_ && model_->LastEditFailed()) return false;
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
  return true;
}

// Leaving the grid drops a new row that nothing was typed into (its own cell
// editor, a menu or another window taking the focus do not leave it).
void TDBGrid::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  if (!model_ || event->reason() == Qt::PopupFocusReason ||
      event->reason() == Qt::ActiveWindowFocusReason)
    return;
  QWidget* now = QApplication::focusWidget();
  if (now && (now == this || isAncestorOf(now))) return;
  TTableObject& table = model_->Table();
  if (table.Active() && table.State() == TDataSetState::dsInsert && !table.Modified())
    RunTableAction([&] { table.Cancel(); });
}

}  // namespace kalbor
