// termios2 is needed for rates such as 14400 and 28800 that have no B-constant;
// its kernel header clashes with <termios.h>, which is therefore not included.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <utility>

#include "link/LinkStatus.h"
#include "link/serial/ComPortNames.h"
#include "link/serial/PortPermission.h"
#include "link/serial/SerialLink.h"

namespace amppanel {

using Steady = std::chrono::steady_clock;

struct SerialLink::Port {
  Port(int descriptor, int rate) : fd(descriptor), baud(rate) {}
  // A pseudo-terminal keeps its exclusive mark after the last close (the
  // terminal lives as long as its master side): left set, nobody but root
  // could open the port again. Only a mark this link set is taken away.
  ~Port() {
    if (exclusive) (void)::ioctl(fd, TIOCNXCL);
    ::close(fd);
  }
  const int fd;
  const int baud;
  bool exclusive = false;
  // Bytes read from the driver beyond what a read asked for, served first by
  // the next read; a purge discards them with the driver's.
  std::array<std::uint8_t, 4096> ahead{};
  std::size_t aheadBegin = 0;
  std::size_t aheadEnd = 0;
  // The length of the reply announced by ExpectReply, until a read first has
  // to wait for it.
  std::size_t expected = 0;
};

namespace {

int PollMs(Steady::duration d) {
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
  return static_cast<int>(std::clamp<long long>(ms, 0, 60'000));
}

bool ConfigurePort(int fd, int baud) {
  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL | CBAUD |
                                        (CBAUD << IBSHIFT));
  tio.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = static_cast<speed_t>(baud);
  tio.c_ospeed = static_cast<speed_t>(baud);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return ::ioctl(fd, TCSETS2, &tio) == 0;
}

void SetModemLines(int fd, int request, int lines) { (void)::ioctl(fd, request, &lines); }

struct Transfer {
  bool failed = false;
  std::size_t count = 0;
};

// The time one byte takes on the wire: start bit, 8 data bits, stop bit.
Steady::duration ByteTime(int baud) {
  return std::chrono::duration_cast<Steady::duration>(std::chrono::seconds(10)) / std::max(baud, 1);
}

// Sleeps for d, woken early only by a stop request on wakeFd.
void WaitForStopOr(int wakeFd, Steady::duration d) {
  pollfd p{wakeFd, POLLIN, 0};
  (void)::poll(&p, wakeFd >= 0 ? 1 : 0, PollMs(d));
}

// The bytes a read waits for beyond the missing ones: the next short field of
// a reply comes with the field before it (so a reply's header costs a wake-up
// or two, not one a field), and after the data the two-byte check sum does,
// where waiting any longer would only delay the frame.
constexpr std::size_t kGatherBeyond = 2;

// Bytes of an expected reply not received yet, counting the output still
// queued ahead of it: zero once the reply is in, the whole reply and the query
// on a real line just written to. A peer that answers faster than its line
// (an unpaced pseudo-terminal) still costs the reply's wire time, never more
// than a real line needs.
long BytesStillToCome(int fd, std::size_t expected) {
  int queued = 0;
  int received = 0;
  if (::ioctl(fd, TIOCOUTQ, &queued) != 0) queued = 0;
  if (::ioctl(fd, FIONREAD, &received) != 0) received = 0;
  return std::max(
      0L, static_cast<long>(queued) + static_cast<long>(expected) - static_cast<long>(received));
}

std::size_t TakeAhead(SerialLink::Port& port, std::span<std::uint8_t> into) {
  const std::size_t n = std::min(into.size(), port.aheadEnd - port.aheadBegin);
  std::copy_n(port.ahead.begin() + static_cast<std::ptrdiff_t>(port.aheadBegin), n, into.begin());
  port.aheadBegin += n;
  return n;
}

// One read call with the time-outs of a Windows COM port: it ends when the
// buffer is full, when the total time is up, or when the interval passes after
// a byte without another one.
Transfer ReadOnce(SerialLink::Port& port, int wakeFd, const std::atomic<bool>& interrupted,
                  std::span<std::uint8_t> buffer, const SerialTimeouts& t,
                  Steady::duration byteTime) {
  Transfer r;
  r.count = TakeAhead(port, buffer);
  const auto start = Steady::now();
  const Steady::time_point deadline =
      start + t.readConstant + t.readMultiplier * static_cast<long>(buffer.size());
  auto lastByte = start;
  while (r.count < buffer.size()) {
    Steady::time_point limit = deadline;
    if (r.count > 0) limit = std::min(limit, lastByte + t.readInterval);
    const auto now = Steady::now();
    if (now >= limit || interrupted.load()) break;
    if (const std::size_t expected = std::exchange(port.expected, 0);
        expected > 0 && r.count == 0) {
      // A whole reply is on its way and none of it has been read: rather than
      // waking for its first bytes, then for each short field, sleep while it
      // and what is still queued before it are on the wire, and take it with
      // one read. The same cap as below keeps a stall from going unnoticed
      // for longer than half the interval.
      const auto wait = std::min(
          {byteTime * (BytesStillToCome(port.fd, expected) + static_cast<long>(kGatherBeyond)),
           Steady::duration(t.readInterval / 2), limit - now});
      if (wait >= std::chrono::milliseconds(1) && !interrupted.load()) WaitForStopOr(wakeFd, wait);
      continue;
    }
    std::array<pollfd, 2> p{pollfd{port.fd, POLLIN, 0}, pollfd{wakeFd, POLLIN, 0}};
    const int ready = ::poll(p.data(), wakeFd >= 0 ? 2 : 1, PollMs(limit - now));
    if (ready < 0) {
      if (errno == EINTR) continue;
      r.failed = true;
      break;
    }
    if (ready == 0 || p[0].revents == 0) continue;  // the wake-up: the loop looks again
    if ((p[0].revents & POLLIN) == 0) {
      r.failed = true;  // hang-up or error without data
      break;
    }
    const ssize_t n = ::read(port.fd, port.ahead.data(), port.ahead.size());
    if (n > 0) {
      port.aheadBegin = 0;
      port.aheadEnd = static_cast<std::size_t>(n);
      r.count += TakeAhead(port, buffer.subspan(r.count));
      lastByte = Steady::now();
      // A UART hands over a reply a byte or two at a time; waking for each
      // costs two system calls a byte, more the slower the line. The driver
      // gathers the missing bytes while they are on the wire instead, and a
      // little more, which is read ahead for the next fields. The
      // wait is at most half the interval time-out, so a reply that stalls
      // is still noticed (late by at most that half, never early), and a
      // stop request still ends it at once.
      const std::size_t missing = buffer.size() - r.count;
      if (missing > 0) {
        const auto gather = std::min({byteTime * static_cast<long>(missing + kGatherBeyond),
                                      Steady::duration(t.readInterval / 2), deadline - lastByte});
        if (gather >= std::chrono::milliseconds(1) && !interrupted.load()) {
          WaitForStopOr(wakeFd, gather);
        }
      }
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      continue;
    } else {
      r.failed = true;
      break;
    }
  }
  return r;
}

Transfer WriteOnce(int fd, std::span<const std::uint8_t> data, const SerialTimeouts& t) {
  Transfer r;
  const Steady::time_point deadline =
      Steady::now() + t.writeConstant + t.writeMultiplier * static_cast<long>(data.size());
  while (r.count < data.size()) {
    const auto now = Steady::now();
    if (now >= deadline) break;
    pollfd p{fd, POLLOUT, 0};
    const int ready = ::poll(&p, 1, PollMs(deadline - now));
    if (ready < 0) {
      if (errno == EINTR) continue;
      r.failed = true;
      break;
    }
    if (ready == 0) continue;
    if ((p.revents & POLLOUT) == 0) {
      r.failed = true;
      break;
    }
    const ssize_t n = ::write(fd, data.data() + r.count, data.size() - r.count);
    if (n > 0) {
      r.count += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      continue;
    } else {
      r.failed = true;
      break;
    }
  }
  return r;
}

// Calls again for the missing bytes while the previous call moved at least one,
// so a reply that stalls part-way costs one more full time-out.
template <class Span, class Once>
LinkResult Repeat(Span span, Once once) {
  LinkResult result;
  for (;;) {
    const Transfer t = once(span.subspan(result.count));
    result.count += t.count;
    if (t.failed) {
      result.status = kLinkIoError;
      break;
    }
    if (t.count == 0 || result.count >= span.size()) break;
  }
  return result;
}

}  // namespace

SerialLink::SerialLink(PortResolver resolver, SerialTimeouts timeouts)
    : resolver_(resolver ? std::move(resolver) : PortResolver(ComDevicePath)),
      timeouts_(timeouts),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SerialLink::~SerialLink() {
  Close();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void SerialLink::InterruptReads(bool interrupted) {
  interrupted_.store(interrupted);
  if (wakeFd_ < 0) return;
  if (interrupted) {
    const std::uint64_t one = 1;
    (void)!::write(wakeFd_, &one, sizeof one);
  } else {
    std::uint64_t drained = 0;
    (void)!::read(wakeFd_, &drained, sizeof drained);
  }
}

int SerialLink::Open(const LinkSettings& settings) {
  Close();
  openFailureDetail_.clear();
  devicePath_ = resolver_(settings.comPort);
  if (devicePath_.empty()) return kLinkCantOpen;
  const int fd = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    openFailureDetail_ = PermissionDetail(LookAtDevice(devicePath_, errno));
    return kLinkCantOpen;
  }
  const int baud = BaudForIndex(settings.baudIndex);
  auto port = std::make_unique<Port>(fd, baud);
  // No sharing: a port another program holds must fail to open here too.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return kLinkCantOpen;
  port->exclusive = ::ioctl(fd, TIOCEXCL) == 0;
  (void)::ioctl(fd, TCFLSH, TCIOFLUSH);
  // Configuration failures are not fatal: a pseudo-terminal or an unusual
  // driver may refuse some settings and still carry the bytes.
  (void)ConfigurePort(fd, baud);
  // The ON line stays low until the operator pulses it.
  SetModemLines(fd, TIOCMBIC, TIOCM_DTR | TIOCM_RTS);
  std::lock_guard lock(writeMutex_);
  port_ = std::move(port);
  return kLinkOk;
}

void SerialLink::Close() {
  std::lock_guard lock(writeMutex_);
  port_.reset();
}

bool SerialLink::IsOpen() const { return port_ != nullptr; }

std::string SerialLink::OpenFailureDetail() const { return openFailureDetail_; }

std::string SerialLink::DevicePath() const { return devicePath_; }

LinkResult SerialLink::Write(std::span<const std::uint8_t> data) {
  std::lock_guard lock(writeMutex_);
  if (!port_) return {kLinkIoError, 0};
  const int fd = port_->fd;
  return Repeat(data,
                [&](std::span<const std::uint8_t> rest) { return WriteOnce(fd, rest, timeouts_); });
}

LinkResult SerialLink::Read(std::span<std::uint8_t> buffer) {
  if (!port_) return {kLinkIoError, 0};
  Port& port = *port_;
  const Steady::duration byteTime = ByteTime(port.baud);
  return Repeat(buffer, [&](std::span<std::uint8_t> rest) {
    return ReadOnce(port, wakeFd_, interrupted_, rest, timeouts_, byteTime);
  });
}

int SerialLink::Purge() {
  // Input only. A write here returns once the driver has the bytes, not once
  // they are sent, so flushing output would throw away a key frame written by
  // the UI thread just before the poll step purges.
  if (port_) {
    port_->aheadBegin = port_->aheadEnd = 0;
    port_->expected = 0;
    (void)::ioctl(port_->fd, TCFLSH, TCIFLUSH);
  }
  return kLinkOk;
}

void SerialLink::ExpectReply(std::size_t bytes) {
  if (port_) port_->expected = bytes;
}

// The ON pulse runs on a worker while the UI thread may close the port.
void SerialLink::LinePulse() {
  std::lock_guard lock(writeMutex_);
  if (port_) SetModemLines(port_->fd, TIOCMBIS, TIOCM_DTR);
}

void SerialLink::LineRest() {
  std::lock_guard lock(writeMutex_);
  if (port_) SetModemLines(port_->fd, TIOCMBIC, TIOCM_DTR);
}

}  // namespace amppanel
