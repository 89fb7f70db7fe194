// TCalendarPanel: the floating month calendar of the food entry, result
// and weight pages. It marks in bold the days with diary entries of every
// month it shows, asking the data module in one walk. A person's click on a
// day, a day chosen with the keys, and another month shown (which moves the
// date to the same day of that month) are reported as DayClicked; the
// calendar receiving the focus from another control of the window as
// Entered. A date the program sets reports nothing.
#pragma once

#include <QObject>
#include <cstdint>

class QCalendarWidget;
class QFrame;
class QWidget;

namespace kalbor {

class TDM1;

class TCalendarPanel : public QObject {
  Q_OBJECT

 public:
  TCalendarPanel(QFrame* panel, QCalendarWidget* calendar, QWidget* window);
  void Bind(TDM1& dm) { dm_ = &dm; }

  int32_t Date() const;  // as a date serial
  void SetDate(int32_t serial);
  // The bold days asked for again (after a change of the diary).
  void Rebuild();
  QFrame* Panel() const { return panel_; }

 signals:
  void DayClicked();
  void Entered();

 private:
  QFrame* panel_;
  QCalendarWidget* calendar_;
  TDM1* dm_ = nullptr;
  bool following_page_ = false;  // the program moves the date to another month
  bool by_keys_ = false;         // a key is down in the days' view
  bool focus_inside_ = false;
};

}  // namespace kalbor
