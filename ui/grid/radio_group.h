// A radio group: a titled box of mutually exclusive choices, with the
// chosen position as ItemIndex (-1 for none).
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace kalbor {

class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit TRadioGroup(QWidget* parent = nullptr);
  // Replaces the choices; they are laid out in one column.
  void SetItems(const QStringList& items);
  int ItemIndex() const;
  // Chooses a position without running the click handler.
  void SetItemIndex(int index);
  QString ItemText(int index) const;
  int Count() const;

 signals:
  // A person chose an item.
  void Clicked(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Arrange();
  QButtonGroup group_;
};

}  // namespace kalbor
