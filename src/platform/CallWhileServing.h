// Waiting on another thread without stopping the loop: the thread that owns a message loop
// hands a blocking call to a worker and serves its messages until the call has returned.
#pragma once

#include <functional>

#include "platform/MessageLoop.h"
#include "platform/WorkerThread.h"

namespace rilo::platform {

/// Runs `call` on `worker` and, until it has returned, serves `loop` as
/// MessageLoop::ProcessPendingMessages does: posted calls and due ticks run, a tick of a
/// timer whose run is suspended here stays held back. The worker reports back with a call
/// posted to the loop, so a virtual clock stays where it is while the worker runs. What
/// `call` throws is thrown here, on the loop thread. Loop thread only.
void CallWhileServing(MessageLoop& loop, WorkerThread& worker, const std::function<void()>& call);

}  // namespace rilo::platform
