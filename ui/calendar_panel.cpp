#include "ui/calendar_panel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QFrame>
#include <QTextCharFormat>
#include <algorithm>

#include "data/dm1.h"
#include "storage/dates.h"
#include "ui/event_watch.h"

namespace kalbor {

namespace {

QDate SerialToQDate(int32_t serial) {
  int y, m, d;
  SerialToDate(serial, y, m, d);
  return QDate(y, m, d);
}

int32_t QDateToSerial(const QDate& date) {
  return DateToSerial(date.year(), date.month(), date.day());
}

bool Inside(QWidget* container, QWidget* widget) {
  return widget && (widget == container || container->isAncestorOf(widget));
}

}  // namespace

TCalendarPanel::TCalendarPanel(QFrame* panel, QCalendarWidget* calendar, QWidget* window)
    : QObject(window), panel_(panel), calendar_(calendar) {
  calendar_->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
  calendar_->setGridVisible(false);
  // Beside the week numbers a day's column is too narrow for a day name.
  calendar_->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);

  if (auto* days = calendar_->findChild<QAbstractItemView*>("qt_calendar_calendarview"))
    new TEventWatch(
        days,
        [this](QEvent* event) {
          if (event->type() == QEvent::KeyPress) by_keys_ = true;
          if (event->type() == QEvent::KeyRelease || event->type() == QEvent::FocusOut)
            by_keys_ = false;
        },
        this);
  connect(calendar_, &QCalendarWidget::clicked, this, [this] { emit DayClicked(); });
  connect(calendar_, &QCalendarWidget::selectionChanged, this, [this] {
    if (by_keys_ && !following_page_) emit DayClicked();
  });
  // Another month shown (its arrows, its month menu, its year box): the
  // date moves to the same day of that month, and the calendar asks for the
  // bold days of the months it now shows.
  connect(calendar_, &QCalendarWidget::currentPageChanged, this, [this](int year, int month) {
    const QDate selected = calendar_->selectedDate();
    if (selected.year() == year && selected.month() == month) {
      Rebuild();
      return;
    }
    const QDate first(year, month, 1);
    following_page_ = true;
    calendar_->setSelectedDate(QDate(year, month, std::min(selected.day(), first.daysInMonth())));
    following_page_ = false;
    Rebuild();
    emit DayClicked();
  });
  // The calendar receives the focus from another control of the window.
  connect(qApp, &QApplication::focusChanged, this, [this, window](QWidget*, QWidget* now) {
    // Focus leaving the window (a message box, another program) comes back
    // where it was: that is no entering.
    if (!now || now->window() != window) return;
    const bool inside = Inside(calendar_, now);
    const bool entered = inside && !focus_inside_;
    focus_inside_ = inside;
    if (entered) emit Entered();
  });
}

int32_t TCalendarPanel::Date() const { return QDateToSerial(calendar_->selectedDate()); }

void TCalendarPanel::SetDate(int32_t serial) { calendar_->setSelectedDate(SerialToQDate(serial)); }

// Marks in bold the days the data module names for each month the calendar
// shows: the month in view and the partly visible months before and after
// it. The answer names the days of each month in the calendar date's year,
// for the partly shown months of a neighbouring year as well; one walk of
// the diary answers all of them.
void TCalendarPanel::Rebuild() {
  calendar_->setDateTextFormat(QDate(), QTextCharFormat());
  if (!dm_) return;
  const QDate shown(calendar_->yearShown(), calendar_->monthShown(), 1);
  QTextCharFormat bold;
  bold.setFontWeight(QFont::Bold);
  const std::array<uint32_t, 12> year = dm_->CalendarYearInfo();
  for (int offset = -1; offset <= 1; ++offset) {
    const QDate month = shown.addMonths(offset);
    const uint32_t days = year[static_cast<size_t>(month.month() - 1)];
    for (int d = 1; d <= month.daysInMonth(); ++d)
      if (days & (1u << (d - 1)))
        calendar_->setDateTextFormat(QDate(month.year(), month.month(), d), bold);
  }
}

}  // namespace kalbor
