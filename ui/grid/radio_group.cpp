#include "ui/grid/radio_group.h"

#include <QAbstractButton>
#include <QRadioButton>

namespace kalbor {

// The group takes a place in its form's focus order; its items, made later,
// are put in that place (a focus proxy makes Tab pass over the group itself).
TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) {
  setFocusPolicy(Qt::TabFocus);
  group_.setExclusive(true);
  connect(&group_, &QButtonGroup::idClicked, this, &TRadioGroup::Clicked);
}

void TRadioGroup::SetItems(const QStringList& items) {
  setFocusProxy(nullptr);
  for (QAbstractButton* b : group_.buttons()) {
    group_.removeButton(b);
    delete b;
  }
  QWidget* previous = this;
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setFont(font());
    group_.addButton(button, i);
    button->show();
    QWidget::setTabOrder(previous, button);
    previous = button;
    if (i == 0) setFocusProxy(button);
  }
  Arrange();
}

void TRadioGroup::Arrange() {
  const QList<QAbstractButton*> buttons = group_.buttons();
  if (buttons.isEmpty()) return;
  // Items share the height below the title evenly, as one column.
  int top = 16, bottom = height() - 4;
  int step = (bottom - top) / static_cast<int>(buttons.size());
  for (QAbstractButton* b : buttons) {
    int i = group_.id(b);
    b->setGeometry(8, top + i * step + (step - 17) / 2, width() - 12, 17);
  }
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  Arrange();
}

int TRadioGroup::ItemIndex() const { return group_.checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  QAbstractButton* b = group_.button(index);
  if (b) {
    b->setChecked(true);
  } else if (QAbstractButton* checked = group_.checkedButton()) {
    group_.setExclusive(false);
    checked->setChecked(false);
    group_.setExclusive(true);
  }
}

QString TRadioGroup::ItemText(int index) const {
  QAbstractButton* b = group_.button(index);
  return b ? b->text() : QString();
}

int TRadioGroup::Count() const { return static_cast<int>(group_.buttons().size()); }

}  // namespace kalbor
