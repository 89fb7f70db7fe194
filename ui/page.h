// TPage: one page of the main window, laid out by its own form file. A page
// owns its widgets, the grid models over the tables it shows and its
// handlers; it calls the data module for every step on the tables. The
// window's frame (menus, status bar, floating panels, settings, F1) stays
// with TForm1. Pages are made with the window and bound to the data module
// once that exists.
#pragma once

#include <QWidget>
#include <string>

namespace kalbor {

class TDM1;
class TForm1;

class TPage : public QWidget {
 public:
  explicit TPage(TForm1& form) : form_(form) {}
  // Binds the page's grids and controls to the data module's tables.
  virtual void Bind(TDM1& dm) = 0;

 protected:
  // "Delete record?" with OK and Cancel, Cancel the default: true on OK.
  bool AskDeleteRecord();
  // The application's error display.
  void ShowError(const std::string& message);

  TForm1& form_;
  TDM1* dm_ = nullptr;
};

}  // namespace kalbor
