// TMainWindow: what the data module sees of the main window. The window owns
// the selection state (user, sort order, page, calendar date), the progress
// bar, a few controls of the user and food data pages, and the message
// boxes; the data module reads that state and calls back through this
// interface only, so its rules run without any window (tests drive it with
// a scripted double).
#pragma once

#include <cstdint>
#include <string>

namespace kalbor {

enum class TMsgIcon { None, Error, Warning, Question, Information };
enum class TMsgButtons { OK, OKCancel };
enum class TModalResult { None, OK, Cancel };

// Pages as PageMode numbers them.
enum TPageMode : int {
  pmIntro = 1,
  pmUser = 2,
  pmFoodEntry = 3,
  pmFoodData = 4,
  pmResult = 5,
  pmTableMaking = 6,
  pmWeight = 7,
  pmProgress = 8,
};

class TMainWindow {
 public:
  virtual ~TMainWindow() = default;

  // --- Selection state ----------------------------------------------------
  virtual int32_t CurrentUserId() const = 0;  // 0 = none
  virtual std::string CurrentUserName() const = 0;  // empty = none
  virtual int UserSortOrder() const = 0;  // 0 name, 1 number, 2 count
  virtual int PageMode() const = 0;  // TPageMode
  virtual int32_t CalendarDate() const = 0;  // the calendar's day, as a date serial

  // --- Call-backs ---------------------------------------------------------
  virtual void FitUserGrid() = 0;
  virtual void RefreshCalendar() = 0;  // the calendar asks again for its bold days

  // The status bar's progress bar.
  virtual void SetProgressMax(int32_t maximum) = 0;
  virtual void StepProgress() = 0;  // one step of 1
  virtual void SetProgressPosition(int32_t position) = 0;

  // User page: is the "New" mode button down; the name box Edit1.
  virtual bool UserNewDown() const = 0;
  virtual void SetUserNameText(const std::string& text) = 0;

  // Food data page: the group label Label17 and the button AddProductBtn.
  virtual void SetGroupLabel(const std::string& text) = 0;
  virtual void SetAddProductEnabled(bool enabled) = 0;

  // Lets pending window messages run (repaint, progress bar) during a walk.
  virtual void ProcessMessages() = 0;

  // Abbreviated weekday name, Sunday = 0 ... Saturday = 6, in the user's
  // locale (kEnglishShortDayNames where the locale gives none).
  virtual std::string ShortDayName(int day_of_week) const = 0;
  // The user's decimal separator, for the numbers the module writes.
  virtual char DecimalSeparator() const { return '.'; }

  // A modal message box; answers the button pressed.
  virtual TModalResult ShowMessageBox(const std::string& text, const std::string& caption,
                                      TMsgIcon icon, TMsgButtons buttons,
                                      TModalResult default_button) = 0;
};

inline constexpr const char* kEnglishShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed",
                                                          "Thu", "Fri", "Sat"};

}  // namespace kalbor
