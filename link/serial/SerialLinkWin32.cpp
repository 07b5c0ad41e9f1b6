#include <windows.h>

#include <algorithm>
#include <limits>

#include "link/LinkStatus.h"
#include "link/serial/ComPortNames.h"
#include "link/serial/SerialConfigWin32.h"
#include "link/serial/SerialLink.h"

namespace amppanel {

struct SerialLink::Port {
  explicit Port(HANDLE h) : handle(h) {}
  ~Port() { ::CloseHandle(handle); }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  const HANDLE handle;
};

namespace {

constexpr DWORD kQueueSize = 4096;

// The configuration calls are not checked: a virtual port or an unusual
// driver may refuse some of them and still carry the bytes, and a port that
// cannot carry them shows up as replies that do not arrive.
void ConfigurePort(HANDLE h, int baud, const SerialTimeouts& timeouts) {
  ::PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR);

  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  (void)::GetCommState(h, &dcb);
  SetLinkDcb(dcb, baud);
  (void)::SetCommState(h, &dcb);

  (void)::SetupComm(h, kQueueSize, kQueueSize);

  COMMTIMEOUTS t{};
  (void)::GetCommTimeouts(h, &t);
  t = LinkCommTimeouts(t, timeouts);
  (void)::SetCommTimeouts(h, &t);

  (void)::SetCommMask(h, EV_RXCHAR);

  (void)ApplyCommConfig(
      dcb, [h](COMMCONFIG* c, DWORD* size) { return ::GetCommConfig(h, c, size); },
      [h](COMMCONFIG* c, DWORD size) { return ::SetCommConfig(h, c, size); });
}

// Calls again for the missing bytes while the previous call moved at least
// one, so a reply that stalls part-way costs one more full time-out before the
// short count is reported. A time-out is no failure; a failing call is.
template <class Call>
LinkResult Repeat(std::size_t total, Call call) {
  LinkResult result;
  for (;;) {
    const std::size_t rest = total - result.count;
    const DWORD ask =
        static_cast<DWORD>(std::min<std::size_t>(rest, std::numeric_limits<DWORD>::max()));
    DWORD moved = 0;
    const BOOL ok = call(result.count, ask, &moved);
    result.count += std::min<std::size_t>(moved, ask);
    if (!ok) {
      result.status = kLinkIoError;
      break;
    }
    if (moved == 0 || result.count >= total) break;
  }
  return result;
}

}  // namespace

SerialLink::SerialLink(PortResolver resolver, SerialTimeouts timeouts)
    : resolver_(resolver ? std::move(resolver) : PortResolver(ComDevicePath)),
      timeouts_(timeouts) {}

SerialLink::~SerialLink() { Close(); }

int SerialLink::Open(const LinkSettings& settings) {
  Close();
  devicePath_ = resolver_(settings.comPort);
  if (devicePath_.empty()) return kLinkCantOpen;
  // No sharing: while another program holds the port, every attempt fails.
  const HANDLE h = ::CreateFileA(devicePath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kLinkCantOpen;
  auto port = std::make_unique<Port>(h);
  ConfigurePort(h, BaudForIndex(settings.baudIndex), timeouts_);
  std::lock_guard lock(writeMutex_);
  port_ = std::move(port);
  return kLinkOk;
}

void SerialLink::Close() {
  std::lock_guard lock(writeMutex_);
  port_.reset();
}

bool SerialLink::IsOpen() const { return port_ != nullptr; }

std::string SerialLink::DevicePath() const { return devicePath_; }

// Windows says no more than that the port cannot be opened.
std::string SerialLink::OpenFailureDetail() const { return openFailureDetail_; }

LinkResult SerialLink::Write(std::span<const std::uint8_t> data) {
  std::lock_guard lock(writeMutex_);
  if (!port_) return {kLinkIoError, 0};
  const HANDLE h = port_->handle;
  return Repeat(data.size(), [&](std::size_t done, DWORD ask, DWORD* moved) {
    return ::WriteFile(h, data.data() + done, ask, moved, nullptr);
  });
}

LinkResult SerialLink::Read(std::span<std::uint8_t> buffer) {
  if (!port_) return {kLinkIoError, 0};
  const HANDLE h = port_->handle;
  return Repeat(buffer.size(), [&](std::size_t done, DWORD ask, DWORD* moved) {
    if (interrupted_.load()) return TRUE;  // moved stays 0: the read ends here
    const BOOL ok = ::ReadFile(h, buffer.data() + done, ask, moved, nullptr);
    // Cut short by InterruptReads: what came so far is the result.
    if (!ok && ::GetLastError() == ERROR_OPERATION_ABORTED) return TRUE;
    return ok;
  });
}

void SerialLink::InterruptReads(bool interrupted) {
  interrupted_.store(interrupted);
  if (!interrupted) return;
  std::lock_guard lock(writeMutex_);
  if (port_) (void)::CancelIoEx(port_->handle, nullptr);
}

// Pending reads and writes are left to end by their time-outs.
int SerialLink::Purge() {
  // Input only: clearing output would throw away a key frame the UI thread
  // wrote just before the poll step purges.
  if (port_) ::PurgeComm(port_->handle, PURGE_RXCLEAR);
  return kLinkOk;
}

// The driver gathers a reply by itself within the read's interval time-out.
void SerialLink::ExpectReply(std::size_t /*bytes*/) {}

// The ON pulse runs on a worker while the UI thread may close the port: the
// handle is used under the lock Close takes.
void SerialLink::LinePulse() {
  std::lock_guard lock(writeMutex_);
  if (port_) (void)::EscapeCommFunction(port_->handle, SETDTR);
}

void SerialLink::LineRest() {
  std::lock_guard lock(writeMutex_);
  if (port_) (void)::EscapeCommFunction(port_->handle, CLRDTR);
}

}  // namespace amppanel
