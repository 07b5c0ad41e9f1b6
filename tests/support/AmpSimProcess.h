// ampsim as a program of its own, on a private ports folder: started with its
// arguments, its device read from its first line of output, stopped with
// SIGTERM as an operator's Ctrl+C would.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace amppanel::test {

class AmpSimProcess {
 public:
  // `configHome` becomes its XDG_CONFIG_HOME; its standard error goes to
  // `errorLog`, or nowhere when empty.
  AmpSimProcess(const std::string& program, const std::filesystem::path& configHome,
                const std::vector<std::string>& arguments,
                const std::filesystem::path& errorLog = {});
  ~AmpSimProcess() { Stop(); }
  AmpSimProcess(const AmpSimProcess&) = delete;
  AmpSimProcess& operator=(const AmpSimProcess&) = delete;

  // The pseudo-terminal it serves; empty when it did not start.
  const std::string& Device() const { return device_; }
  void Signal(int signal) const;
  // Ends it with SIGTERM; its wait status, or -1 when it was not running.
  int Stop();

 private:
  pid_t pid_ = -1;
  std::string device_;
};

}  // namespace amppanel::test
