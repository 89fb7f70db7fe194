#include "ui/grid/db_navigator.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QStyle>

#include "storage/errors.h"
#include "ui/grid/db_grid.h"

namespace kalbor {

namespace {

struct ButtonLook {
  const char* text;
  const char* tooltip;
};

ButtonLook LookOf(TNavButton b) {
  switch (b) {
    case TNavButton::First: return {"|\u25C0", "First record"};
    case TNavButton::Prior: return {"\u25C0", "Prior record"};
    case TNavButton::Next: return {"\u25B6", "Next record"};
    case TNavButton::Last: return {"\u25B6|", "Last record"};
    case TNavButton::Insert: return {"+", "Insert record"};
    case TNavButton::Delete: return {"\u2212", "Delete record"};
    case TNavButton::Edit: return {"\u25B2", "Edit record"};
    case TNavButton::Post: return {"\u2713", "Post edit"};
    case TNavButton::Cancel: return {"\u2715", "Cancel edit"};
    case TNavButton::Refresh: return {"\u21BB", "Refresh data"};
  }
  return {"", ""};
}

}  // namespace

// The navigator takes a place in its form's focus order; its buttons, made
// when it is bound, are put in that place (a focus proxy makes Tab pass over
// the navigator itself).
TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::TabFocus); }

void TDBNavigator::Bind(TTableObject& table, std::vector<TNavButton> buttons) {
  table_ = &table;
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  QWidget* previous = this;
  for (TNavButton b : buttons) {
    auto* button = new QToolButton(this);
    QWidget::setTabOrder(previous, button);
    if (previous == this) setFocusProxy(button);
    previous = button;
    ButtonLook look = LookOf(b);
    button->setText(QString::fromUtf8(look.text));
    button->setToolTip(QString::fromUtf8(look.tooltip));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    button->setAutoRaise(false);
    layout->addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, b] { Click(b); });
    buttons_.emplace_back(b, button);
  }
  table_->AddDataLink(this);
  UpdateButtons();
}

TDBNavigator::~TDBNavigator() {
  if (table_) table_->RemoveDataLink(this);
}

QToolButton* TDBNavigator::Button(TNavButton which) const {
  for (auto& [b, button] : buttons_)
    if (b == which) return button;
  return nullptr;
}

// The grid over the same table whose cell editor has the focus, if any.
TDBGrid* TDBNavigator::EditingGrid() const {
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
    if (auto* grid = qobject_cast<TDBGrid*>(w))
      return grid->Model() && &grid->Model()->Table() == table_ ? grid : nullptr;
  return nullptr;
}

void TDBNavigator::Click(TNavButton which) {
  // Text being typed into a cell belongs to the row: every button but
  // Cancel stores it first (a refused text stops the button).
  if (TDBGrid* grid = EditingGrid(); grid && !grid->FinishCellEdit(which != TNavButton::Cancel)) {
    UpdateButtons();
    return;
  }
  // The moves leave the row being edited (its refused changes are dropped);
  // the other buttons act on it.
  std::function<void()> action;
  bool move = false;
  switch (which) {
    case TNavButton::First: action = [this] { table_->First(); }, move = true; break;
    case TNavButton::Prior: action = [this] { table_->Prior(); }, move = true; break;
    case TNavButton::Next: action = [this] { table_->Next(); }, move = true; break;
    case TNavButton::Last: action = [this] { table_->Last(); }, move = true; break;
    case TNavButton::Insert: action = [this] { table_->Insert(); }; break;
    case TNavButton::Delete:
      action = [this] {
        if (!ConfirmDelete || ConfirmDelete()) table_->Delete();
      };
      break;
    case TNavButton::Edit: action = [this] { table_->Edit(); }; break;
    case TNavButton::Post: action = [this] { table_->Post(); }; break;
    case TNavButton::Cancel: action = [this] { table_->Cancel(); }; break;
    case TNavButton::Refresh: action = [this] { table_->Refresh(); }; break;
  }
  if (move) {
    LeaveRowThen(*table_, action, OnError);
  } else {
    try {
      action();
    } catch (const ETableError& e) {
      if (!OnError) throw;
      OnError(e.what());
    }
  }
  UpdateButtons();
}

// Enabled as the table allows: moves need rows and browse-or-edit state,
// Post and Cancel an edit or insert, the rest browse state.
void TDBNavigator::UpdateButtons() {
  if (!table_) return;
  bool active = table_->Active();
  bool editing = table_->Editing();
  bool browsing = active && !editing;
  bool rows = active && !table_->IsEmpty();
  for (auto& [b, button] : buttons_) {
    bool on = false;
    switch (b) {
      // Moves are offered where the cursor can go: none past the first or
      // the last row (a new row being inserted is left by any move).
      case TNavButton::First:
      case TNavButton::Prior:
        on = rows && (table_->State() == TDataSetState::dsInsert ? !table_->Bof()
                                                                  : table_->HasRowBefore());
        break;
      case TNavButton::Next:
      case TNavButton::Last:
        on = rows && (table_->State() == TDataSetState::dsInsert ? !table_->Eof()
                                                                  : table_->HasRowAfter());
        break;
      case TNavButton::Insert: on = active && !table_->ReadOnly; break;
      case TNavButton::Delete: on = rows && !table_->ReadOnly; break;
      case TNavButton::Edit: on = browsing && rows && !table_->ReadOnly; break;
      case TNavButton::Post:
      case TNavButton::Cancel: on = editing; break;
      case TNavButton::Refresh: on = active; break;
    }
    button->setEnabled(on);
  }
}

void TDBNavigator::DataEvent(TEvent, uint32_t) { UpdateButtons(); }

}  // namespace kalbor
