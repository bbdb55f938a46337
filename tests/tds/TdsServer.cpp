#include "tds/TdsServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "tds/TdsSession.h"

namespace rilo::tds {
namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

TdsServer::TdsServer(TdsServerOptions options) : options_(std::move(options)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) ThrowErrno("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    ::close(listener_);
    throw std::system_error(error, std::generic_category(), "listening on loopback");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TdsServer::~TdsServer() { Stop(); }

std::string TdsServer::address() const { return "127.0.0.1," + std::to_string(port_); }

void TdsServer::Stop() {
  if (stopping_.exchange(true)) return;
  // shutdown wakes the blocked accept and reads; the threads close their own descriptors.
  ::shutdown(listener_, SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  ::close(listener_);
  std::vector<std::thread> threads;
  {
    const std::lock_guard lock(mutex_);
    for (int fd : connections_) ::shutdown(fd, SHUT_RDWR);
    threads.swap(threads_);
  }
  for (std::thread& thread : threads) thread.join();
}

bool TdsServer::WaitUntilIdle(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, limit, [this] { return connections_.empty(); });
}

std::vector<std::string> TdsServer::statements() const {
  const std::lock_guard lock(mutex_);
  return statements_;
}

void TdsServer::RecordStatement(std::string_view sql) {
  const std::lock_guard lock(mutex_);
  statements_.emplace_back(sql);
}

void TdsServer::AcceptLoop() {
  while (!stopping_) {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;
    }
    const std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    connections_.push_back(fd);
    threads_.emplace_back([this, fd] {
      {
        // The engine session closes here, before the connection counts as gone.
        TdsSession session(fd, options_, *this);
        session.Run();
      }
      const std::lock_guard inner(mutex_);
      std::erase(connections_, fd);
      ::close(fd);
      idle_.notify_all();
    });
  }
}

namespace {

std::string UpperName(std::string name) {
  for (char& c : name) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return name;
}

}  // namespace

void TdsServer::AddLink(const std::string& name, const std::string& provider) {
  const std::lock_guard lock(mutex_);
  links_[UpperName(name)] = provider;
}

void TdsServer::DropLink(const std::string& name) {
  const std::lock_guard lock(mutex_);
  links_.erase(UpperName(name));
}

std::map<std::string, std::string> TdsServer::links() const {
  const std::lock_guard lock(mutex_);
  return links_;
}

}  // namespace rilo::tds
