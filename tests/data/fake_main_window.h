// A scripted main window for the data-module tests: its state is plain
// fields the test sets, every call-back is counted or recorded, and every
// question is answered from a script (an unscripted question fails the test
// and answers the default button).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <string>
#include <vector>

#include "data/window_interface.h"

namespace kalbor::test {

struct TShownMessage {
  std::string text, caption;
  TMsgIcon icon;
  TMsgButtons buttons;
  TModalResult default_button;
};

class TFakeMainWindow : public TMainWindow {
 public:
  // State read by the data module.
  int32_t user_id = 0;
  std::string user_name;
  int sort_order = 0;
  int page_mode = pmIntro;
  int32_t calendar_date = 0;
  bool user_new_down = false;
  std::array<std::string, 7> day_names = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

  // What the data module did to the window.
  std::string user_name_text, group_label;
  bool add_product_enabled = true;
  int fit_user_grid_calls = 0, refresh_calendar_calls = 0, process_messages_calls = 0;
  int32_t progress_max = 0, progress_position = 0;
  std::vector<TShownMessage> messages;

  // Answers for the next questions, in order.
  std::deque<TModalResult> answers;
  void Answer(TModalResult result) { answers.push_back(result); }

  int32_t CurrentUserId() const override { return user_id; }
  std::string CurrentUserName() const override { return user_name; }
  int UserSortOrder() const override { return sort_order; }
  int PageMode() const override { return page_mode; }
  int32_t CalendarDate() const override { return calendar_date; }
  void FitUserGrid() override { ++fit_user_grid_calls; }
  void RefreshCalendar() override { ++refresh_calendar_calls; }
  void SetProgressMax(int32_t maximum) override { progress_max = maximum; }
  void StepProgress() override { ++progress_position; }
  void SetProgressPosition(int32_t position) override { progress_position = position; }
  bool UserNewDown() const override { return user_new_down; }
  void SetUserNameText(const std::string& text) override { user_name_text = text; }
  void SetGroupLabel(const std::string& text) override { group_label = text; }
  void SetAddProductEnabled(bool enabled) override { add_product_enabled = enabled; }
  void ProcessMessages() override { ++process_messages_calls; }
  std::string ShortDayName(int day_of_week) const override { return day_names.at(day_of_week); }

  TModalResult ShowMessageBox(const std::string& text, const std::string& caption, TMsgIcon icon,
                              TMsgButtons buttons, TModalResult default_button) override {
    messages.push_back({text, caption, icon, buttons, default_button});
    if (buttons == TMsgButtons::OK) return TModalResult::OK;
    if (answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << text;
      return default_button;
    }
    TModalResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace kalbor::test
