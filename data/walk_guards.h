// Scope guards of the data module's long walks: display updates of a table
// stay suspended for the guard's lifetime, and the progress bar returns to 0
// when a walk ends, also when it ends by an exception. A table opened for
// one step only is closed at its end the same way.
#pragma once

#include "data/window_interface.h"
#include "storage/table_object.h"

namespace kalbor {

class TControlsSuspended {
 public:
  explicit TControlsSuspended(TTableObject& table) : table_(table) { table_.DisableControls(); }
  ~TControlsSuspended() { table_.EnableControls(); }
  TControlsSuspended(const TControlsSuspended&) = delete;
  TControlsSuspended& operator=(const TControlsSuspended&) = delete;

 private:
  TTableObject& table_;
};

class TClosedAtEnd {
 public:
  explicit TClosedAtEnd(TTableObject& table) : table_(table) {}
  // A step that stored something closes the table itself, so that an error
  // writing the header is reported; here, after an error, a second one is
  // not.
  ~TClosedAtEnd() {
    try {
      table_.Close();
    } catch (...) {
    }
  }
  TClosedAtEnd(const TClosedAtEnd&) = delete;
  TClosedAtEnd& operator=(const TClosedAtEnd&) = delete;

 private:
  TTableObject& table_;
};

class TProgressReset {
 public:
  explicit TProgressReset(TMainWindow& window) : window_(window) {}
  ~TProgressReset() { window_.SetProgressPosition(0); }
  TProgressReset(const TProgressReset&) = delete;
  TProgressReset& operator=(const TProgressReset&) = delete;

 private:
  TMainWindow& window_;
};

}  // namespace kalbor
