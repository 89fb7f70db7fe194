// A record navigator: buttons that move, insert, delete, edit, post, cancel
// and refresh one table object, each with its tooltip, enabled as the
// table's state allows.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "storage/table_object.h"

namespace kalbor {

class TDBGrid;

enum class TNavButton { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

class TDBNavigator : public QWidget, private TDataLink {
  Q_OBJECT

 public:
  explicit TDBNavigator(QWidget* parent = nullptr);
  ~TDBNavigator() override;
  // Makes the buttons for `table`; called once, after the form is built.
  void Bind(TTableObject& table, std::vector<TNavButton> buttons);
  QToolButton* Button(TNavButton which) const;
  // Asked before Delete; true goes on.
  std::function<bool()> ConfirmDelete;
  // Errors of an action go here (the application's error display).
  std::function<void(const std::string&)> OnError;
  void UpdateButtons();

 private:
  void DataEvent(TEvent event, uint32_t recno) override;
  void Click(TNavButton which);
  TDBGrid* EditingGrid() const;

  TTableObject* table_ = nullptr;
  std::vector<std::pair<TNavButton, QToolButton*>> buttons_;
};

}  // namespace kalbor
