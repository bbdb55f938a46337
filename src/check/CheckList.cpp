#include "check/CheckList.h"

#include <exception>

#include "db/PasswordMask.h"

namespace rilo::check {

CheckList::CheckList(std::vector<std::string> secrets) : secrets_(std::move(secrets)) {}

void CheckList::Pass(std::string name, std::string reason) {
  Add(std::move(name), CheckOutcome::kPassed, std::move(reason), {});
}

void CheckList::Fail(std::string name, std::string reason, std::string fix) {
  Add(std::move(name), CheckOutcome::kFailed, std::move(reason), std::move(fix));
}

void CheckList::NotApplicable(std::string name, std::string reason) {
  Add(std::move(name), CheckOutcome::kNotApplicable, std::move(reason), {});
}

void CheckList::Skip(std::string name, std::string reason) {
  Add(std::move(name), CheckOutcome::kSkipped, std::move(reason), {});
}

bool CheckList::Guard(const std::string& name, std::string_view fix,
                      const std::function<void()>& check) {
  try {
    check();
    return true;
  } catch (const std::exception& e) {
    Fail(name, e.what(), std::string(fix));
  } catch (...) {
    Fail(name, "unknown failure", std::string(fix));
  }
  return false;
}

void CheckList::Add(std::string name, CheckOutcome outcome, std::string reason, std::string fix) {
  results_.push_back({std::move(name), outcome, Hidden(std::move(reason)), Hidden(std::move(fix))});
}

std::string CheckList::Hidden(std::string text) const {
  const std::vector<std::string_view> known(secrets_.begin(), secrets_.end());
  return db::MaskPasswords(text, known);
}

std::string ListSome(const std::vector<std::string>& items, std::size_t shown) {
  std::string out;
  for (std::size_t i = 0; i < items.size() && i < shown; ++i) {
    if (i > 0) out += ", ";
    out += items[i];
  }
  if (items.size() > shown) out += " and " + std::to_string(items.size() - shown) + " more";
  return out;
}

}  // namespace rilo::check
