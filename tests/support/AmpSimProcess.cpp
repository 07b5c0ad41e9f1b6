#include "tests/support/AmpSimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace amppanel::test {

AmpSimProcess::AmpSimProcess(const std::string& program, const std::filesystem::path& configHome,
                             const std::vector<std::string>& arguments,
                             const std::filesystem::path& errorLog) {
  std::vector<std::string> words{"ampsim"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const std::string log = errorLog.empty() ? std::string("/dev/null") : errorLog.string();

  int out[2];
  if (::pipe(out) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, STDERR_FILENO);
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (pid_ < 0) {
    ::close(out[0]);
    return;
  }
  char c = 0;
  while (::read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
  ::close(out[0]);
}

void AmpSimProcess::Signal(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

int AmpSimProcess::Stop() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  const pid_t ended = ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return ended > 0 ? status : -1;
}

}  // namespace amppanel::test
