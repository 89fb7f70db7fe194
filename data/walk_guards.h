// Scope guards of the data module's long walks: display updates of a table
// stay suspended for the guard's lifetime, and the progress bar returns to 0
// when a walk ends, also when it ends by an exception.
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
