#include "ui/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace kalbor {

namespace {
TMessageBoxScript& Script() {
  static TMessageBoxScript script;
  return script;
}
}  // namespace

void SetMessageBoxScript(TMessageBoxScript script) { Script() = std::move(script); }

TModalResult RunMessageBox(QWidget* parent, const std::string& text, const std::string& caption,
                           TMsgIcon icon, TMsgButtons buttons, TModalResult default_button) {
  if (Script()) return Script()(text, caption, icon, buttons, default_button);
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromStdString(caption));
  QString body = QString::fromStdString(text);
  body.replace("\r\n", "\n");
  box.setText(body);
  switch (icon) {
    case TMsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case TMsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case TMsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case TMsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case TMsgIcon::None: break;
  }
  QPushButton* ok = box.addButton(QMessageBox::Ok);
  QPushButton* cancel = buttons == TMsgButtons::OKCancel ? box.addButton(QMessageBox::Cancel) : nullptr;
  box.setDefaultButton(default_button == TModalResult::Cancel && cancel ? cancel : ok);
  if (cancel) box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == ok) return TModalResult::OK;
  return cancel ? TModalResult::Cancel : TModalResult::OK;
}

void ShowErrorMessage(QWidget* parent, const std::string& message) {
  RunMessageBox(parent, message, "Kalbor", TMsgIcon::Error, TMsgButtons::OK, TModalResult::OK);
}

}  // namespace kalbor
