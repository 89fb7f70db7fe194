#include "ui/weight_page.h"

#include <QPainter>
#include <QPixmap>

#include "data/dm1.h"
#include "ui/main_window.h"
#include "ui_weight_page.h"

namespace kalbor {

TWeightPage::TWeightPage(TForm1& form) : TPage(form), ui_(std::make_unique<Ui::EnterWeigth>()) {
  ui_->setupUi(this);
}

TWeightPage::~TWeightPage() = default;

void TWeightPage::EnterWeight1Click() {
  form_.ShowPage(pmWeight);
  // The drawing area is cleared first, so the page looks right even when
  // the weight table is missing and its error is shown.
  ClearWeightImage();
  dm_->OpenWeightTable(form_.CurrentUserId());
}

// White, framed by a one-pixel black line along its four edges.
void TWeightPage::ClearWeightImage() {
  QPixmap canvas(590, 159);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, 589, 158);
  painter.end();
  ui_->Image2->setPixmap(canvas);
}

}  // namespace kalbor
