// Sets an environment variable for the life of the object and puts back what
// was there before (including its absence).
#pragma once

#include <optional>
#include <string>

namespace amppanel::test {

class ScopedEnv {
 public:
  // `value` nullopt: the variable is removed for the time being.
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// The platform's own calls; nullopt removes the variable.
void SetEnv(const std::string& name, const std::optional<std::string>& value);

}  // namespace amppanel::test
