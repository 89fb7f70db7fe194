// The weight page: the user's weight table and its drawing area.
#pragma once

#include <memory>

#include "ui/page.h"

namespace Ui {
class EnterWeigth;
}

namespace kalbor {

class TWeightPage : public TPage {
  Q_OBJECT

 public:
  explicit TWeightPage(TForm1& form);
  ~TWeightPage() override;
  void Bind(TDM1& dm) override { dm_ = &dm; }
  Ui::EnterWeigth& Form() { return *ui_; }

  void EnterWeight1Click();  // "Enter &Weight"
  void ClearWeightImage();

 private:
  std::unique_ptr<Ui::EnterWeigth> ui_;
};

}  // namespace kalbor
