#include "../../host/LineWriter.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../../host/JsonEventListener.h"

namespace rilo::host {
namespace {

class Pipe {
 public:
  Pipe() { EXPECT_EQ(pipe(fds_), 0); }
  ~Pipe() {
    CloseRead();
    close(fds_[1]);
  }
  int read_end() const { return fds_[0]; }
  int write_end() const { return fds_[1]; }
  void CloseRead() {
    if (fds_[0] >= 0) close(fds_[0]);
    fds_[0] = -1;
  }
  std::string ReadAvailable() {
    std::string all;
    pollfd entry{fds_[0], POLLIN, 0};
    char buffer[4096];
    while (poll(&entry, 1, 0) == 1) {
      const ssize_t n = read(fds_[0], buffer, sizeof buffer);
      if (n <= 0) break;
      all.append(buffer, static_cast<std::size_t>(n));
    }
    return all;
  }

 private:
  int fds_[2] = {-1, -1};
};

TEST(LineWriter, LinesFromManyThreadsNeverInterleave) {
  Pipe pipe;
  LineWriter writer(pipe.write_end());
  // Longer than PIPE_BUF, so the kernel alone would not keep a line in one piece.
  constexpr std::size_t kLine = 20000;
  constexpr int kPerThread = 20;
  const std::string a(kLine, 'a');
  const std::string b(kLine, 'b');
  std::string read_back;
  std::thread reader([&] {
    char buffer[65536];
    while (read_back.size() < 2 * kPerThread * (kLine + 1)) {
      const ssize_t n = read(pipe.read_end(), buffer, sizeof buffer);
      if (n <= 0) break;
      read_back.append(buffer, static_cast<std::size_t>(n));
    }
  });
  std::thread first([&] {
    for (int i = 0; i < kPerThread; ++i) writer.Write(a);
  });
  std::thread second([&] {
    for (int i = 0; i < kPerThread; ++i) writer.Write(b);
  });
  first.join();
  second.join();
  reader.join();
  ASSERT_EQ(read_back.size(), 2 * kPerThread * (kLine + 1));
  for (std::size_t at = 0; at < read_back.size(); at += kLine + 1) {
    const std::string line = read_back.substr(at, kLine + 1);
    EXPECT_TRUE(line == a + "\n" || line == b + "\n") << "line at byte " << at << " is mixed";
  }
}

TEST(LineWriter, ClosedReaderBreaksTheWriterAndSignalsIt) {
  ::signal(SIGPIPE, SIG_IGN);
  Pipe pipe;
  LineWriter writer(pipe.write_end());
  EXPECT_TRUE(writer.Write("first"));
  EXPECT_FALSE(writer.broken());
  pipe.CloseRead();
  EXPECT_FALSE(writer.Write("second"));
  EXPECT_TRUE(writer.broken());
  EXPECT_FALSE(writer.Write("third"));
  pollfd entry{writer.broken_event(), POLLIN, 0};
  EXPECT_EQ(poll(&entry, 1, 0), 1);
}

TEST(JsonEventListener, WritesEventsOfItsInstanceUntilMuted) {
  Pipe pipe;
  auto writer = std::make_shared<LineWriter>(pipe.write_end());
  JsonEventListener listener("shop \"2\"", writer);
  std::int32_t index = 20;
  VariantBool pd = kVariantTrue;
  std::string text = "预约顾客：李女士";
  listener.WorkProcess(index);
  listener.TipsUpdate(pd);
  listener.TipsStart(text);
  listener.Mute();
  listener.ServerStart(text);
  EXPECT_EQ(
      pipe.ReadAvailable(),
      "{\"event\":\"WorkProcess\",\"instance\":\"shop \\\"2\\\"\",\"index\":20}\n"
      "{\"event\":\"TipsUpdate\",\"instance\":\"shop \\\"2\\\"\",\"Pd\":true}\n"
      "{\"event\":\"TipsStart\",\"instance\":\"shop \\\"2\\\"\",\"str\":\"预约顾客：李女士\"}\n");
  EXPECT_EQ(index, 20);  // the counter is the server's; the listener leaves it alone
}

}  // namespace
}  // namespace rilo::host
