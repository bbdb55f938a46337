#include "platform/CallWhileServing.h"

#include <exception>
#include <utility>

namespace rilo::platform {

void CallWhileServing(MessageLoop& loop, WorkerThread& worker, const std::function<void()>& call) {
  // Lives until `returned` is set, which only the posted completion does: the worker's
  // references into this frame stay valid.
  bool returned = false;
  std::exception_ptr error;
  worker.Post([&loop, &call, &returned, &error] {
    std::exception_ptr thrown;
    try {
      call();
    } catch (...) {
      thrown = std::current_exception();
    }
    // Moved, not copied: the exception is then only ever touched on the loop's thread.
    loop.Post([&returned, &error, thrown = std::move(thrown)] {
      error = thrown;
      returned = true;
    });
  });
  while (!returned) {
    loop.WaitForMessage();
    loop.ProcessPendingMessages();
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace rilo::platform
