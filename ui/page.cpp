#include "ui/page.h"

#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace kalbor {

bool TPage::AskDeleteRecord() {
  return form_.ShowMessageBox("Delete record?", "Kalbor", TMsgIcon::Question,
                              TMsgButtons::OKCancel, TModalResult::Cancel) == TModalResult::OK;
}

void TPage::ShowError(const std::string& message) { ShowErrorMessage(&form_, message); }

}  // namespace kalbor
