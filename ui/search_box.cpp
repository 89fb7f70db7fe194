#include "ui/search_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace kalbor {

namespace {

// A pale red behind the text: readable, and plainly not the usual white.
const QColor kNoMatchColour(255, 204, 204);

}  // namespace

TSearchKeys::TSearchKeys(QLineEdit* box, std::function<void(TSearchStep)> on_step)
    : QObject(box), on_step_(std::move(on_step)) {
  box->installEventFilter(this);
}

bool TSearchKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers modifiers =
      key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (modifiers != Qt::NoModifier) break;
      on_step_(TSearchStep::Next);
      return true;
    case Qt::Key_F3:
      if (modifiers == Qt::NoModifier) on_step_(TSearchStep::Next);
      else if (modifiers == Qt::ShiftModifier) on_step_(TSearchStep::Previous);
      else break;
      return true;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void ShowSearchResult(QLineEdit* box, bool found) {
  const bool missed = !found && !box->text().trimmed().isEmpty();
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base,
                   missed ? kNoMatchColour : QApplication::palette(box).color(QPalette::Base));
  box->setPalette(palette);
}

bool ShowsNoMatch(const QLineEdit* box) {
  return box->palette().color(QPalette::Base) == kNoMatchColour;
}

}  // namespace kalbor
