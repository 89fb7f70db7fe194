#include "ui/intro_page.h"

#include "ui/main_window.h"
#include "ui_intro_page.h"

namespace kalbor {

TIntroPage::TIntroPage(TForm1& form) : TPage(form), ui_(std::make_unique<Ui::IntroPage>()) {
  ui_->setupUi(this);
}

TIntroPage::~TIntroPage() = default;

void TIntroPage::TitleClick() { form_.ShowPage(pmIntro); }

}  // namespace kalbor
