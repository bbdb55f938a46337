#include "ServeCommand.h"

#include <fmt/format.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>

#include "JsonProtocol.h"
#include "LineSplitter.h"
#include "LineWriter.h"
#include "LogLevelOption.h"
#include "OdbcOptions.h"
#include "ServeSession.h"
#include "SignalFd.h"
#include "StatusAnswer.h"

namespace rilo::host {
namespace {

// Far above any real call; keeps a host that never sends a line break from filling memory.
constexpr std::size_t kMaxLineLength = 1 << 20;
// How long the last events may take to reach a host that still reads; one that stopped
// reading must not hold the shutdown.
constexpr std::chrono::milliseconds kFinalDrain{500};

bool IsBlankLine(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

class ServeLoop {
 public:
  ServeLoop(ServeSession& session, LineWriter& out) : session_(session), out_(out) {}

  void Handle(InputLine& line) {
    ++line_number_;
    if (line.too_long) {
      Error(fmt::format("the line is longer than {} bytes", kMaxLineLength));
      return;
    }
    if (IsBlankLine(line.text)) return;
    auto parsed = ParseCall(line.text);
    if (const auto* error = std::get_if<ProtocolError>(&parsed)) {
      Error(error->message);
      return;
    }
    const Call& call = std::get<Call>(parsed);
    if (std::holds_alternative<StatusCall>(call.args)) {
      auto status = session_.Status(call.instance);
      if (const auto* refused = std::get_if<std::string>(&status)) {
        Error(*refused);
      } else {
        out_.Write(EncodeStatus(call.instance, std::get<JobStatusSnapshot>(status)));
      }
      return;
    }
    if (auto refused = session_.Run(call)) {
      Error(*refused);
      return;
    }
    out_.Write(EncodeReturn(call.Name(), call.instance));
  }

 private:
  void Error(std::string_view message) { out_.Write(EncodeError(message, line_number_)); }

  ServeSession& session_;
  LineWriter& out_;
  std::uint64_t line_number_ = 0;
};

}  // namespace

CLI::App* AddServeCommand(CLI::App& app, ServeOptions& options) {
  CLI::App* command = app.add_subcommand(
      "serve",
      "Run the server as a process: calls as JSON lines on standard input, events as JSON "
      "lines on standard output. Ends at end of input, SIGINT, SIGTERM or SIGHUP. Events a host "
      "does not read in time are dropped rather than holding the server.");
  AddLogLevelOption(*command, options.log_level);
  AddOdbcOptions(*command, options.odbc);
  return command;
}

int RunServe(const ServeOptions& options) {
  // SIGHUP too: a closed terminal or a host that hangs up should release the instances.
  SignalFd signals({SIGINT, SIGTERM, SIGHUP});
  // A host that goes away must not kill us in the middle of releasing the instances.
  ::signal(SIGPIPE, SIG_IGN);

  auto out = std::make_shared<LineWriter>(STDOUT_FILENO);
  ServerThreadOptions thread_options;
  thread_options.diagnostics = MakeDiagnostics(options.log_level);
  thread_options.odbc = options.odbc;
  ServeSession session(ServerThread::Start(std::move(thread_options)), out);
  ServeLoop loop(session, *out);
  LineSplitter splitter(kMaxLineLength);
  const LineSplitter::Sink handle = [&loop](InputLine& line) { loop.Handle(line); };

  std::array<pollfd, 3> watched{
      {{STDIN_FILENO, POLLIN, 0}, {signals.fd(), POLLIN, 0}, {out->broken_event(), POLLIN, 0}}};
  std::array<char, std::size_t{64} * 1024> buffer{};
  int status = 0;
  for (;;) {
    if (poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      fmt::print(stderr, "rilo-server serve: poll failed: {}\n", std::strerror(errno));
      status = 1;
      break;
    }
    if (watched[1].revents != 0) break;
    if (watched[0].revents != 0) {
      const ssize_t n = read(STDIN_FILENO, buffer.data(), buffer.size());
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n < 0) {
        fmt::print(stderr, "rilo-server serve: reading standard input failed: {}\n",
                   std::strerror(errno));
        status = 1;
        break;
      }
      if (n == 0) {
        splitter.Finish(handle);
        break;
      }
      splitter.Feed({buffer.data(), static_cast<std::size_t>(n)}, handle);
    }
    if (out->broken()) break;
  }
  if (out->broken()) {
    fmt::print(stderr, "rilo-server serve: standard output is closed; stopping\n");
    status = 1;
  }
  session.ReleaseAll();
  out->Drain(kFinalDrain);
  if (out->dropped() > 0) {
    fmt::print(stderr, "rilo-server serve: {} lines were dropped because standard output was not "
                       "read in time\n", out->dropped());
  }
  return status;
}

}  // namespace rilo::host
