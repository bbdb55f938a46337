// The hidden timer host of one instance: four timers of the thread's message loop. It is
// never shown; "loading" it brings the timers into being, disabled.
#pragma once

#include "platform/MessageLoop.h"

namespace rilo::component {

class frmClock {
 public:
  explicit frmClock(platform::MessageLoop& loop) : loop_(loop) {}
  /// Unloads the form if it is still loaded.
  ~frmClock();
  frmClock(const frmClock&) = delete;
  frmClock& operator=(const frmClock&) = delete;

  /// Creates the four timers, disabled and without a period. Loading twice does nothing.
  void Load();
  /// Destroys the four timers; a tick under way still finishes.
  void Unload() noexcept;
  bool Loaded() const { return loaded_; }

  platform::TimerId timClock = 0;
  platform::TimerId timClock2 = 0;
  platform::TimerId timClock3 = 0;
  platform::TimerId timClock4 = 0;

 private:
  platform::MessageLoop& loop_;
  bool loaded_ = false;
};

}  // namespace rilo::component
