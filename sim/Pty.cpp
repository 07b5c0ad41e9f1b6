#include "sim/Pty.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <array>

namespace amppanel {
namespace {

constexpr int kIdlePollMs = 20;
constexpr int kPendingPollMs = 1;
constexpr int kHangUpPauseMs = 50;

std::string Reason(const char* what) { return std::string(what) + ": " + ::strerror(errno); }

}  // namespace

PtyMaster::~PtyMaster() { Close(); }

bool PtyMaster::Open(std::string& error) {
  Close();
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = Reason("posix_openpt");
    return false;
  }
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0) {
    error = Reason("grantpt/unlockpt");
    ::close(fd);
    return false;
  }
  const char* name = ::ptsname(fd);
  if (name == nullptr) {
    error = Reason("ptsname");
    ::close(fd);
    return false;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  (void)::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  fd_ = fd;
  slavePath_ = name;
  if (!MakeRaw()) {
    error = Reason("tcsetattr");
    Close();
    return false;
  }
  return true;
}

void PtyMaster::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PtyMaster::MakeRaw() {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
}

void PtyBridge::HangUp() {
  if (connected_) {
    connected_ = false;
    // Nobody is there to read what was on its way.
    engine_.DiscardOutput();
  }
  ::poll(nullptr, 0, kHangUpPauseMs);
}

void PtyBridge::Connect() {
  if (connected_) return;
  connected_ = true;
  ++connections_;
  (void)pty_.MakeRaw();
}

void PtyBridge::WriteOutput() {
  std::array<std::uint8_t, 4096> buffer{};
  const std::size_t n = engine_.Take(buffer);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(pty_.Fd(), buffer.data() + done, n - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      bytesOut_ += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{pty_.Fd(), POLLOUT, 0};
      if (::poll(&p, 1, kIdlePollMs) < 0 && errno != EINTR) return;
      if ((p.revents & (POLLHUP | POLLERR)) != 0) {
        HangUp();
        return;
      }
      continue;
    }
    HangUp();  // EIO: the slave went away while we wrote
    return;
  }
}

void PtyBridge::Run(const std::atomic<bool>& stop, const std::function<void()>& eachTurn) {
  std::array<std::uint8_t, 4096> buffer{};
  while (!stop) {
    if (eachTurn) eachTurn();
    const bool pending = engine_.HasPendingOutput();
    if (engine_.LinkCut() && !pending) break;

    pollfd p{pty_.Fd(), POLLIN, 0};
    const int ready = ::poll(&p, 1, pending && connected_ ? kPendingPollMs : kIdlePollMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if ((p.revents & POLLIN) != 0) {
      const ssize_t n = ::read(pty_.Fd(), buffer.data(), buffer.size());
      if (n > 0) {
        Connect();
        bytesIn_ += static_cast<std::size_t>(n);
        engine_.Feed(std::span(buffer.data(), static_cast<std::size_t>(n)));
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        HangUp();  // EIO: no slave open at the moment
        continue;
      }
    } else if ((p.revents & (POLLHUP | POLLERR)) != 0) {
      HangUp();
      continue;
    } else {
      Connect();  // quiet but not hung up: a slave is open
    }
    if (connected_) WriteOutput();
  }
}

}  // namespace amppanel
