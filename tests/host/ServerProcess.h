// Runs the rilo-server program as a child with pipes on its standard streams: write lines to
// it, read its lines with a timeout (poll), wait for its exit with a timeout (pidfd). Nothing
// here sleeps; every wait ends as soon as the child answers.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rilo::host::testing {

class ServerProcess {
 public:
  using Clock = std::chrono::steady_clock;

  /// Starts RILO_SERVER_BINARY with `args`. Standard error goes to a pipe of its own.
  explicit ServerProcess(const std::vector<std::string>& args) {
    ::signal(SIGPIPE, SIG_IGN);  // a child that died must fail a write, not end the tests
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe2 failed");
    }
    std::vector<std::string> all{RILO_SERVER_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {  // child: only async-signal-safe calls from here
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    stderr_ = err[0];
    // By number: the glibc 2.36 header declares pidfd_open without C linkage.
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  }

  ~ServerProcess() {
    CloseInput();
    if (!exit_code_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {stdout_, stderr_, pidfd_}) {
      if (fd >= 0) close(fd);
    }
  }

  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  pid_t pid() const { return pid_; }

  /// Writes `text` and a line break (nothing else when `line_break` is false).
  void Write(std::string_view text, bool line_break = true) {
    std::string all(text);
    if (line_break) all.push_back('\n');
    std::string_view rest = all;
    while (!rest.empty()) {
      const ssize_t n = write(stdin_, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw std::runtime_error("writing to the server failed");
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  void CloseInput() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
  }

  /// Stops reading the program's output, as a host that went away.
  void CloseOutput() {
    close(stdout_);
    stdout_ = -1;
  }

  /// Keeps the program's output open but reads no more of it, as a host that hangs.
  void StopReadingOutput() { reading_output_ = false; }
  int output_fd() const { return stdout_; }
  int input_fd() const { return stdin_; }

  /// The next line of standard output; nothing on timeout or when the output has ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      if (auto line = TakeLine(out_buffer_)) return line;
      if (out_ended_) return std::nullopt;
      if (!ReadSome(stdout_, out_buffer_, out_ended_, deadline)) return std::nullopt;
    }
  }

  /// The next line as JSON; a line that is not JSON fails the caller's test.
  std::optional<nlohmann::json> ReadJson(std::chrono::milliseconds timeout) {
    auto line = ReadLine(timeout);
    if (!line) return std::nullopt;
    return nlohmann::json::parse(*line);
  }

  /// Reads JSON lines until one satisfies `wanted`; the lines skipped go to `skipped`.
  template <typename Predicate>
  std::optional<nlohmann::json> ReadJsonUntil(Predicate wanted, std::chrono::milliseconds timeout,
                                              std::vector<nlohmann::json>* skipped = nullptr) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return std::nullopt;
      auto json = ReadJson(left);
      if (!json) return std::nullopt;
      if (wanted(*json)) return json;
      if (skipped) skipped->push_back(std::move(*json));
    }
  }

  /// Reads both outputs until the program closes them; then the exit code (128 + signal when
  /// killed). Nothing when it has not ended within `timeout`.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!out_ended_ && stdout_ >= 0 && reading_output_) {
      if (!ReadSome(stdout_, out_buffer_, out_ended_, deadline)) return std::nullopt;
    }
    while (!err_ended_) {
      if (!ReadSome(stderr_, err_buffer_, err_ended_, deadline)) return std::nullopt;
    }
    pollfd entry{pidfd_, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (poll(&entry, 1, static_cast<int>(std::max<long>(0, left.count()))) != 1)
      return std::nullopt;
    int status = 0;
    waitpid(pid_, &status, 0);
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return exit_code_;
  }

  /// Standard output not yet taken as lines, and all of standard error (complete once
  /// WaitForExit has returned).
  const std::string& rest_of_output() const { return out_buffer_; }
  const std::string& error_output() const { return err_buffer_; }

 private:
  static std::optional<std::string> TakeLine(std::string& buffer) {
    const auto end = buffer.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    return line;
  }

  // Waits for `fd` until `deadline`, reading what comes; standard error is drained on the
  // way so the child never blocks on it. False on timeout.
  bool ReadSome(int fd, std::string& buffer, bool& ended, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entries[2] = {{fd, POLLIN, 0}, {err_ended_ ? -1 : stderr_, POLLIN, 0}};
    const int ready = poll(entries, fd == stderr_ ? 1 : 2, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) return true;
    if (ready <= 0) return false;
    if (fd != stderr_ && entries[1].revents != 0) Drain(stderr_, err_buffer_, err_ended_);
    if (entries[0].revents != 0) Drain(fd, buffer, ended);
    return true;
  }

  static void Drain(int fd, std::string& buffer, bool& ended) {
    char chunk[65536];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) {
      ended = true;
    } else {
      buffer.append(chunk, static_cast<std::size_t>(n));
    }
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  int stderr_ = -1;
  int pidfd_ = -1;
  std::string out_buffer_;
  std::string err_buffer_;
  bool out_ended_ = false;
  bool err_ended_ = false;
  bool reading_output_ = true;
  std::optional<int> exit_code_;
};

/// Runs the program with `args` and no input to its end; its exit code and outputs.
struct Finished {
  int exit_code = -1;
  std::string out;
  std::string err;
};

inline Finished RunToEnd(const std::vector<std::string>& args,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  ServerProcess process(args);
  process.CloseInput();
  Finished finished;
  finished.exit_code = process.WaitForExit(timeout).value_or(-1);
  finished.out = process.rest_of_output();
  finished.err = process.error_output();
  return finished;
}

}  // namespace rilo::host::testing
