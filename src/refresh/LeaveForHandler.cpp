#include "refresh/LeaveForHandler.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace rilo::refresh {
namespace {

void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
  if (what.empty()) return;
  for (auto pos = text.find(what); pos != std::string::npos;
       pos = text.find(what, pos + with.size())) {
    text.replace(pos, what.size(), with);
  }
}

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown failure";
  }
}

}  // namespace

void ReportRoutineFailure(const component::ServerContext& context, std::string_view where,
                          std::string_view step, std::span<const std::string> secrets) noexcept {
  if (!context.WantsFailureText()) return;
  try {
    std::string message = std::string(step) + " failed: " + DescribeCurrentException();
    std::vector<std::string_view> hidden(secrets.begin(), secrets.end());
    hidden.push_back(context.settings.MainPassword);
    hidden.push_back(context.settings.LocalPassword);
    // Longest first, so a secret that contains another is hidden whole.
    std::ranges::sort(hidden, [](auto a, auto b) { return a.size() > b.size(); });
    for (auto secret : hidden) ReplaceAll(message, secret, "***");
    context.Log(LogLevel::kWarning, where, message);
  } catch (...) {
    // Diagnostics must never change the routine's course.
  }
}

}  // namespace rilo::refresh
