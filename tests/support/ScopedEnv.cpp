#include "tests/support/ScopedEnv.h"

#include <cstdlib>

namespace amppanel::test {

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) saved_ = old;
  SetEnv(name_, value);
}

ScopedEnv::~ScopedEnv() { SetEnv(name_, saved_); }

}  // namespace amppanel::test
