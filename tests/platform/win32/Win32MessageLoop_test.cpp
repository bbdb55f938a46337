// What only the Windows loop does: it is the thread's Win32 message loop, so window messages
// (and the COM calls that arrive as such) are served on the loop's thread, also inside a job
// that yields.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/MessageLoop.h"

namespace rilo::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr UINT kRecord = WM_APP + 1;
constexpr UINT kQuitLoop = WM_APP + 2;

// A message-only window on the test's thread; its messages land in `received`.
class MessageWindow {
 public:
  struct Received {
    UINT message;
    WPARAM value;
    std::thread::id thread;
  };

  explicit MessageWindow(MessageLoop& loop) : loop_(loop) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &MessageWindow::Procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"RiloLoopTestWindow";
    RegisterClassW(&window_class);  // already registered by an earlier test: fine
    hwnd_ = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                            nullptr, window_class.hInstance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~MessageWindow() { DestroyWindow(hwnd_); }
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  std::vector<Received> received;

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr || (message != kRecord && message != kQuitLoop)) {
      return DefWindowProcW(hwnd, message, w, l);
    }
    self->received.push_back({message, w, std::this_thread::get_id()});
    if (message == kQuitLoop) self->loop_.Quit();
    return 0;
  }

  MessageLoop& loop_;
  HWND hwnd_ = nullptr;
};

TEST(Win32MessageLoop, ServesWindowMessagesInsideAYieldOfAJobAndBetweenTicks) {
  auto clock = std::make_shared<VirtualClock>();
  const auto origin = clock->Now();
  MessageLoop loop(clock);
  MessageWindow window(loop);
  ASSERT_NE(window.hwnd(), nullptr);

  // The job posts itself a window message, then yields: the message is served inside the
  // yield, before the job goes on, and its own next tick is not run nested meanwhile.
  std::vector<std::size_t> seen_after_yield;
  int runs = 0;
  int depth = 0;
  int deepest = 0;
  TimerId job = loop.CreateTimer([&] {
    ++runs;
    deepest = std::max(deepest, ++depth);
    PostMessageW(window.hwnd(), kRecord, static_cast<WPARAM>(runs), 0);
    clock->Advance(milliseconds(150));  // the job overruns its period
    loop.ProcessPendingMessages();
    seen_after_yield.push_back(window.received.size());
    --depth;
  });
  loop.SetTimerPeriod(job, 100);
  loop.SetTimerEnabled(job, true);
  loop.RunUntil(origin + milliseconds(1000));

  ASSERT_GE(runs, 2);
  EXPECT_EQ(deepest, 1);
  ASSERT_EQ(seen_after_yield.size(), static_cast<std::size_t>(runs));
  for (int i = 0; i < runs; ++i) {
    EXPECT_EQ(seen_after_yield[static_cast<std::size_t>(i)], static_cast<std::size_t>(i + 1));
    EXPECT_EQ(window.received[static_cast<std::size_t>(i)].value, static_cast<WPARAM>(i + 1));
  }
}

TEST(Win32MessageLoop, AWindowMessageFromAnotherThreadWakesTheIdleLoopOnItsThread) {
  MessageLoop loop(nullptr);  // the real clock: the loop waits in the system
  MessageWindow window(loop);
  ASSERT_NE(window.hwnd(), nullptr);
  const HWND hwnd = window.hwnd();

  std::thread sender([hwnd] { PostMessageW(hwnd, kQuitLoop, 7, 0); });
  // No timer and no posted call: only the window message can end this run early.
  const auto started = std::chrono::steady_clock::now();
  loop.RunUntil([] { return false; }, loop.clock().Now() + seconds(20));
  const auto waited = std::chrono::steady_clock::now() - started;
  sender.join();

  ASSERT_EQ(window.received.size(), 1u);
  EXPECT_EQ(window.received[0].value, 7u);
  EXPECT_EQ(window.received[0].thread, std::this_thread::get_id());
  EXPECT_LT(waited, seconds(10));
}

TEST(Win32MessageLoop, WmQuitEndsTheRunAndPostedCallsStillComeFirst) {
  auto clock = std::make_shared<VirtualClock>();
  MessageLoop loop(clock);
  std::vector<int> order;
  loop.Post([&] {
    order.push_back(1);
    PostQuitMessage(0);
  });
  loop.Post([&] { order.push_back(2); });
  // A ticking timer would keep the run going for ever if WM_QUIT were not seen.
  TimerId timer = loop.CreateTimer([&] { order.push_back(3); });
  loop.SetTimerPeriod(timer, 10);
  loop.SetTimerEnabled(timer, true);
  loop.Run();
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order[0], 1);
  EXPECT_EQ(order[1], 2);
}

}  // namespace
}  // namespace rilo::platform
