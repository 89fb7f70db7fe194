// What the two product search boxes share: Enter and F3 in the box ask for
// the next match, Shift+F3 for the previous one, and a box whose text found
// nothing is coloured until a search finds something again.
#pragma once

#include <QObject>
#include <functional>

#include "data/dm1.h"

class QLineEdit;

namespace kalbor {

class TSearchKeys : public QObject {
 public:
  // `on_step` runs with TSearchStep::Next or TSearchStep::Previous; the keys
  // go no further.
  TSearchKeys(QLineEdit* box, std::function<void(TSearchStep)> on_step);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(TSearchStep)> on_step_;
};

// Colours `box` when its text (anything but blanks) found nothing, and
// gives it its usual colour otherwise.
void ShowSearchResult(QLineEdit* box, bool found);

// The box shows that its text found nothing.
bool ShowsNoMatch(const QLineEdit* box);

}  // namespace kalbor
