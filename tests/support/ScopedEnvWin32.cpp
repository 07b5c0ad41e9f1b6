#include <stdlib.h>

#include "tests/support/ScopedEnv.h"

namespace amppanel::test {

// An empty value removes the variable in the C runtime's own table, which is
// the one getenv reads.
void SetEnv(const std::string& name, const std::optional<std::string>& value) {
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

}  // namespace amppanel::test
