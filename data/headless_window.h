// THeadlessWindow: the main window's part for code that runs the data
// module without a window (tools, benchmarks). It keeps the selection state
// it is given, ignores the window's controls and answers every question
// with its default button, so nothing is ever replaced by accident.
#pragma once

#include "data/window_interface.h"

namespace kalbor {

class THeadlessWindow : public TMainWindow {
 public:
  int32_t user_id = 0;
  std::string user_name;
  int page_mode = pmIntro;
  int32_t calendar_date = 0;

  int32_t CurrentUserId() const override { return user_id; }
  std::string CurrentUserName() const override { return user_name; }
  int UserSortOrder() const override { return 0; }
  int PageMode() const override { return page_mode; }
  int32_t CalendarDate() const override { return calendar_date; }
  void FitUserGrid() override {}
  void RefreshCalendar() override {}
  void SetProgressMax(int32_t) override {}
  void StepProgress() override {}
  void SetProgressPosition(int32_t) override {}
  bool UserNewDown() const override { return false; }
  void SetUserNameText(const std::string&) override {}
  void SetGroupLabel(const std::string&) override {}
  void SetAddProductEnabled(bool) override {}
  void ProcessMessages() override {}
  std::string ShortDayName(int day) const override { return kEnglishShortDayNames[day % 7]; }
  TModalResult ShowMessageBox(const std::string&, const std::string&, TMsgIcon, TMsgButtons,
                              TModalResult default_button) override {
    return default_button;
  }
};

}  // namespace kalbor
