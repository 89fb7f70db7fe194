// The intro page: the program's name and version line.
#pragma once

#include <memory>

#include "ui/page.h"

namespace Ui {
class IntroPage;
}

namespace kalbor {

class TIntroPage : public TPage {
  Q_OBJECT

 public:
  explicit TIntroPage(TForm1& form);
  ~TIntroPage() override;
  void Bind(TDM1& dm) override { dm_ = &dm; }

  void TitleClick();  // "&Title"

 private:
  std::unique_ptr<Ui::IntroPage> ui_;
};

}  // namespace kalbor
