// The table-making page: any of the program's seven tables made afresh
// on request.
#pragma once

#include <memory>

#include "ui/page.h"

namespace Ui {
class TestPage;
}

namespace kalbor {

class TMakeTablesPage : public TPage {
  Q_OBJECT

 public:
  explicit TMakeTablesPage(TForm1& form);
  ~TMakeTablesPage() override;
  void Bind(TDM1& dm) override;
  Ui::TestPage& Form() { return *ui_; }

  void MakeTables1Click();  // "&Make Tables"
  void MakeTableClick();

 private:
  std::unique_ptr<Ui::TestPage> ui_;
};

}  // namespace kalbor
