// The remote link on the gensio library (the engine ser2net itself is built on).
// gensio runs its callbacks on one thread of ours; the link's calls wait on a
// condition variable with the same time-outs as the local serial link, so the
// poll step cannot tell the two apart.
#include <gensio/gensio.h>
#include <gensio/gensio_err.h>
#include <gensio/sergensio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "link/LinkStatus.h"
#include "link/remote/RemoteLink.h"
#include "link/serial/ComPortNames.h"

namespace amppanel {

using Steady = std::chrono::steady_clock;

namespace {

// Received bytes beyond this wait at the station: a peer that babbles while
// nobody reads must not grow the program without end (a serial driver's
// queue overflows the same way).
constexpr std::size_t kReceiveLimit = std::size_t{64} * 1024;
// How long the event thread sleeps at most before it looks for its stop
// request; I/O wakes it at once.
constexpr std::chrono::milliseconds kServiceSlice{20};
// A close is local and quick; this only bounds a station that never answers.
constexpr std::chrono::milliseconds kCloseWait{2000};
// A lost station is asked again at most this often, not once a poll cycle: one
// that refuses at once (busy, a certificate) costs it a connection each time.
constexpr std::chrono::milliseconds kReopenSpacing{1000};

// One gensio event loop for the whole program, alive while a remote link is.
class EventLoop {
 public:
  static std::shared_ptr<EventLoop> Get() {
    static std::mutex mutex;
    static std::weak_ptr<EventLoop> current;
    std::lock_guard lock(mutex);
    if (auto loop = current.lock()) return loop;
    gensio_os_funcs* os = nullptr;
    // No wake signal: only our own thread runs the loop, and it never sleeps
    // longer than one slice. The handler is the process's shared one, and
    // without a wake signal a thread blocked in a gensio_*_s call sleeps
    // through a completion another thread runs: nothing here may use them.
    if (gensio_default_os_hnd(0, &os) != 0 || os == nullptr) return nullptr;
    // A write to a connection the station has just closed raises SIGPIPE,
    // whose default ends the program; the failed write is all we need.
    // Only the default is replaced: a handler someone set stays.
    struct sigaction old {};
    if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
      (void)::signal(SIGPIPE, SIG_IGN);
    }
    auto loop = std::make_shared<EventLoop>(os);
    current = loop;
    return loop;
  }

  explicit EventLoop(gensio_os_funcs* os) : os_(os) {
    thread_ = std::thread([this] {
      while (!stop_.load()) {
        gensio_time slice{0, static_cast<int>(std::chrono::nanoseconds(kServiceSlice).count())};
        (void)gensio_os_funcs_service(os_, &slice);
      }
    });
  }
  ~EventLoop() {
    stop_.store(true);
    thread_.join();
    gensio_os_funcs_free(os_);
  }
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  gensio_os_funcs* Os() const { return os_; }

 private:
  gensio_os_funcs* os_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::string ErrorName(int err) { return gensio_err_to_str(err); }

// gensio's "unknown name" is a connection string it cannot parse, not a host.
bool IsNameError(int err) {
  return err == GE_NAME_ERROR || err == GE_NAME_SERVER_FAILURE || err == GE_NAME_INVALID ||
         err == GE_NAME_NET_NOT_UP;
}

bool IsFileError(int err) {
  return err == GE_CERTNOTFOUND || err == GE_KEYNOTFOUND || err == GE_KEYINVALID ||
         err == GE_CERTINVALID;
}

bool IsCertificateError(int err) {
  return err == GE_CERTINVALID || err == GE_CERTNOTFOUND || err == GE_CERTEXPIRED ||
         err == GE_CERTREVOKED || err == GE_KEYINVALID || err == GE_NOCERT || err == GE_AUTHREJECT;
}

// What the station printed before it closed: ser2net answers a second user
// (and a device it cannot open) with one line of text, then hangs up.
std::string BannerText(const std::deque<std::uint8_t>& bytes) {
  std::string text;
  for (const std::uint8_t b : bytes) {
    if (b == '\r' || b == '\n') {
      if (!text.empty() && text.back() != ' ') text += ' ';
    } else if (b >= 0x20 && b < 0x7F) {
      text += static_cast<char>(b);
    }
    if (text.size() >= 200) break;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// ser2net hangs up right after it accepted on a second user, when it cannot
// open its device, and (with TLS) on a client certificate it does not accept.
std::string ClosedAtOnce(const std::string& target) {
  std::string text =
      "The station closed the connection at once: its port is busy (ser2net serves one user "
      "at a time), or it cannot open its serial device";
  if (target.find("ssl") != std::string::npos) {
    text += ", or it does not accept the certificate given in cert=";
  }
  return text + " (" + target + ").";
}

}  // namespace

// One connection: gensio's callbacks reach it through its user data, so it
// lives until gensio has reported the close, even when the link is gone.
struct Connection {
  explicit Connection(std::shared_ptr<EventLoop> eventLoop) : loop(std::move(eventLoop)) {}

  std::shared_ptr<EventLoop> loop;
  gensio* io = nullptr;
  sergensio* serial = nullptr;

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::uint8_t> received;
  bool opened = false;
  int openError = 0;
  bool closed = false;  // gensio reported the close done
  int lineError = 0;    // the connection died (the station or the network)
  bool writeReady = false;
  bool readPaused = false;  // the queue was full: gensio holds the rest
  int settingsPending = 0;  // line settings the station has not answered yet
  int settingsError = 0;
  std::string certificateProblem;

  void Notify() { changed.notify_all(); }

  static int OnEvent(gensio* /*io*/, void* user, int event, int err, unsigned char* buf,
                     gensiods* buflen, const char* const* auxdata) {
    auto* c = static_cast<Connection*>(user);
    std::lock_guard lock(c->mutex);
    switch (event) {
      case GENSIO_EVENT_READ:
        if (err != 0) {
          c->lineError = err;
          c->Notify();
          return 0;
        }
        if (buf != nullptr && buflen != nullptr) {
          const std::size_t room = kReceiveLimit - std::min(kReceiveLimit, c->received.size());
          const std::size_t taken = std::min<std::size_t>(room, *buflen);
          c->received.insert(c->received.end(), buf, buf + taken);
          *buflen = taken;
          // A full queue stops reading until the link's reader makes room.
          if (taken == 0) {
            c->readPaused = true;
            gensio_set_read_callback_enable(c->io, false);
          }
        }
        c->Notify();
        return 0;
      case GENSIO_EVENT_WRITE_READY:
        c->writeReady = true;
        gensio_set_write_callback_enable(c->io, false);
        c->Notify();
        return 0;
      case GENSIO_EVENT_POSTCERT_VERIFY:
        if (err != 0) {
          c->certificateProblem = auxdata != nullptr && auxdata[0] != nullptr
                                      ? std::string(auxdata[0])
                                      : ErrorName(err);
        }
        // The library's own verification decides.
        return GE_NOTSUP;
      default:
        // Modem and line state reports, flow and flush requests: nothing here
        // depends on them.
        return GE_NOTSUP;
    }
  }

  static void OnOpen(gensio* /*io*/, int err, void* user) {
    auto* c = static_cast<Connection*>(user);
    std::lock_guard lock(c->mutex);
    c->opened = err == 0;
    c->openError = err;
    if (err != 0) c->closed = true;  // a failed open leaves nothing to close
    c->Notify();
  }

  static void OnClose(gensio* /*io*/, void* user) {
    auto* c = static_cast<Connection*>(user);
    std::lock_guard lock(c->mutex);
    c->closed = true;
    c->Notify();
  }

  static void OnSetting(sergensio* /*sio*/, int err, unsigned int /*value*/, void* user) {
    auto* c = static_cast<Connection*>(user);
    std::lock_guard lock(c->mutex);
    --c->settingsPending;
    if (err != 0 && c->settingsError == 0) c->settingsError = err;
    c->Notify();
  }
};

struct RemoteLink::Impl {
  PortResolver targets;
  SerialTimeouts timeouts;
  milliseconds openTimeout;
  // Started with the first remote connection, not before: a program that
  // only ever uses local ports runs no event thread.
  std::shared_ptr<EventLoop> loop;
  // Guards the connection's replacement and every write and line call, so a
  // key frame and the ON pulse never meet a half-closed connection.
  mutable std::mutex writeMutex;
  std::shared_ptr<Connection> connection;
  std::atomic<bool> interrupted{false};
  std::string problem;

  // Waits for `done` under the connection's lock, or until `until`.
  template <class Done>
  static bool WaitFor(Connection& c, std::unique_lock<std::mutex>& lock, Steady::time_point until,
                      Done done) {
    return c.changed.wait_until(lock, until, done);
  }

  // Ends a connection whatever state it is in; frees it only once gensio
  // has said it is done with it.
  static void Release(const std::shared_ptr<Connection>& c) {
    if (!c || c->io == nullptr) return;
    std::unique_lock lock(c->mutex);
    if (!c->closed) {
      lock.unlock();
      const int err = gensio_close(c->io, &Connection::OnClose, c.get());
      lock.lock();
      if (err != 0) c->closed = true;  // already closed by the library
      c->changed.wait_for(lock, kCloseWait, [&] { return c->closed; });
      if (!c->closed) {
        // gensio may still call back: the memory stays with it.
        new std::shared_ptr<Connection>(c);
        return;
      }
    }
    lock.unlock();
    gensio_free(c->io);
    c->io = nullptr;
  }

  int Fail(std::string text) {
    problem = std::move(text);
    return kLinkCantOpen;
  }

  // What one open attempt came to: a connection, or why there is none.
  struct Outcome {
    std::shared_ptr<Connection> connection;
    std::string problem;
  };
  static Outcome Refused(std::string text) { return {nullptr, std::move(text)}; }

  bool StartLoop() {
    if (!loop) loop = EventLoop::Get();
    return loop != nullptr;
  }
  // Connects and sets the line up; touches nothing of the link's own, so that
  // a reopen can run it on a thread of its own.
  Outcome Connect(const std::string& target, int baud) const;
  // Makes an attempt's connection the link's.
  int Take(const std::string& target, Outcome outcome) {
    problem = std::move(outcome.problem);
    if (!outcome.connection) return kLinkCantOpen;
    std::lock_guard guard(writeMutex);
    connection = std::move(outcome.connection);
    openedTarget = target;
    return kLinkOk;
  }

  // The station last opened: the only one a reopen goes back to.
  std::string openedTarget;
  // A reopen runs on its own thread: a station that went silent holds an
  // attempt for the whole open time-out, and the caller (the window's
  // thread, between two polls) must not wait for it.
  struct Attempt {
    std::thread thread;
    std::atomic<bool> done{false};
    Outcome outcome;
  };
  std::unique_ptr<Attempt> attempt;
  Steady::time_point nextAttempt{};

  void EndAttempt() {
    if (!attempt) return;
    attempt->thread.join();
    Release(attempt->outcome.connection);
    attempt.reset();
  }
};

RemoteLink::Impl::Outcome RemoteLink::Impl::Connect(const std::string& target, int baud) const {
  auto c = std::make_shared<Connection>(loop);
  const int made = str_to_gensio(target.c_str(), loop->Os(), &Connection::OnEvent, c.get(), &c->io);
  if (made != 0) {
    c->io = nullptr;
    if (IsNameError(made)) {
      return Refused("Host not found: the station's name in " + target + " is not known here (" +
                     ErrorName(made) + ").");
    }
    if (IsFileError(made)) {
      return Refused("A certificate or key named in " + target + " cannot be used (" +
                     ErrorName(made) + ").");
    }
    return Refused(target + " is not a connection this program can open (" + ErrorName(made) +
                   ").");
  }
  const auto until = Steady::now() + openTimeout;
  std::unique_lock lock(c->mutex);
  if (const int err = gensio_open(c->io, &Connection::OnOpen, c.get()); err != 0) {
    lock.unlock();
    gensio_free(c->io);
    c->io = nullptr;
    return Refused("The connection to " + target + " could not start (" + ErrorName(err) + ").");
  }
  if (!WaitFor(*c, lock, until, [&] { return c->opened || c->openError != 0; })) {
    lock.unlock();
    Release(c);
    return Refused("The station did not answer within " + std::to_string(openTimeout.count()) +
                   " ms (" + target + ").");
  }
  if (c->openError != 0) {
    const int err = c->openError;
    const std::string cert = c->certificateProblem;
    lock.unlock();
    Release(c);
    if (err == GE_CONNREFUSE) {
      return Refused("Connection refused: nothing serves " + target +
                     ". Is ser2net running at the station, on that port?");
    }
    if (IsNameError(err))
      return Refused("Host not found: " + target + " (" + ErrorName(err) + ").");
    if (IsCertificateError(err) || !cert.empty()) {
      return Refused(
          "TLS verification failed: the station's certificate is not trusted by the "
          "CA given in " +
          target + " (" + (cert.empty() ? ErrorName(err) : cert) + ").");
    }
    if (err == GE_REMCLOSE) {
      // ser2net hangs up on a second user (and when it cannot open its
      // device) right after it accepted; whether its line of text comes
      // before the hang-up or the connection ends during the telnet greeting
      // is a matter of timing.
      return Refused(ClosedAtOnce(target));
    }
    if (err == GE_HOSTDOWN || err == GE_TIMEDOUT) {
      return Refused("The station cannot be reached (" + ErrorName(err) + "): " + target + ".");
    }
    return Refused("The connection to " + target + " failed (" + ErrorName(err) + ").");
  }

  gensio_set_read_callback_enable(c->io, true);
  c->serial = gensio_to_sergensio(c->io);
  if (c->serial != nullptr) {
    // 8N1 without flow control at the table's rate, DTR and RTS low until the
    // operator pulses ON. The station's answers to the data format also tell
    // that the port is ours: a busy port answers with a line of text and a
    // hang-up instead. The modem lines are not waited for: a station whose
    // device refuses them (a pseudo-terminal) never answers, and line
    // failures are ignored here as on a local port.
    c->settingsPending = 5;
    lock.unlock();
    void* user = c.get();
    int refused = 0;
    refused |= sergensio_baud(c->serial, static_cast<unsigned>(baud), &Connection::OnSetting, user);
    refused |= sergensio_datasize(c->serial, 8, &Connection::OnSetting, user);
    refused |= sergensio_parity(c->serial, SERGENSIO_PARITY_NONE, &Connection::OnSetting, user);
    refused |= sergensio_stopbits(c->serial, 1, &Connection::OnSetting, user);
    refused |=
        sergensio_flowcontrol(c->serial, SERGENSIO_FLOWCONTROL_NONE, &Connection::OnSetting, user);
    (void)sergensio_dtr(c->serial, SERGENSIO_DTR_OFF, nullptr, nullptr);
    (void)sergensio_rts(c->serial, SERGENSIO_RTS_OFF, nullptr, nullptr);
    lock.lock();
    if (refused != 0 && c->lineError == 0) c->lineError = GE_COMMERR;
    WaitFor(*c, lock, until, [&] { return c->settingsPending <= 0 || c->lineError != 0; });
    if (c->lineError != 0 || c->settingsPending > 0) {
      const bool hungUp = c->lineError != 0;
      const std::string banner = BannerText(c->received);
      lock.unlock();
      Release(c);
      if (banner.find("in use") != std::string::npos) {
        return Refused("The station's port is busy: another user is connected to " + target +
                       " (the station said \"" + banner + "\").");
      }
      if (hungUp && !banner.empty()) {
        return Refused("The station closed the connection: \"" + banner + "\" (" + target + ").");
      }
      if (hungUp) return Refused(ClosedAtOnce(target));
      return Refused("The station did not answer the line settings: is " + target +
                     " served with RFC 2217?");
    }
  }
  // As a local port is flushed on opening: nothing from before counts.
  c->received.clear();
  lock.unlock();
  return {std::move(c), {}};
}

RemoteLink::RemoteLink(PortResolver targets, SerialTimeouts timeouts, milliseconds openTimeout)
    : impl_(std::make_unique<Impl>()) {
  impl_->targets = targets ? std::move(targets) : PortResolver(ComRemoteTarget);
  impl_->timeouts = timeouts;
  impl_->openTimeout = openTimeout;
}

RemoteLink::~RemoteLink() { Close(); }

bool RemoteLink::Available() { return true; }

int RemoteLink::Open(const LinkSettings& settings) {
  Close();
  const std::string target = impl_->targets(settings.comPort);
  if (target.empty()) {
    return impl_->Fail("COM" + std::to_string(settings.comPort) +
                       " names no connection to another machine.");
  }
  if (!impl_->StartLoop()) return impl_->Fail("The network library could not start.");
  return impl_->Take(target, impl_->Connect(target, BaudForIndex(settings.baudIndex)));
}

int RemoteLink::Reopen(const LinkSettings& settings) {
  Impl& m = *impl_;
  if (m.attempt) {
    if (!m.attempt->done.load()) return kLinkCantOpen;
    m.attempt->thread.join();
    const auto finished = std::move(m.attempt);
    return m.Take(m.openedTarget, std::move(finished->outcome));
  }
  const std::string target = m.targets(settings.comPort);
  if (target.empty() || target != m.openedTarget) return kLinkCantOpen;
  if (Steady::now() < m.nextAttempt) return kLinkCantOpen;
  if (IsOpen()) Close();
  if (!m.StartLoop()) return kLinkCantOpen;
  m.nextAttempt = Steady::now() + kReopenSpacing;
  m.attempt = std::make_unique<Impl::Attempt>();
  Impl::Attempt& a = *m.attempt;
  a.thread = std::thread([&m, &a, target, baud = BaudForIndex(settings.baudIndex)] {
    a.outcome = m.Connect(target, baud);
    a.done.store(true);
  });
  return kLinkCantOpen;
}

void RemoteLink::Close() {
  impl_->EndAttempt();
  std::shared_ptr<Connection> c;
  {
    std::lock_guard lock(impl_->writeMutex);
    c = std::move(impl_->connection);
  }
  Impl::Release(c);
}

bool RemoteLink::IsOpen() const {
  std::lock_guard lock(impl_->writeMutex);
  return impl_->connection != nullptr;
}

std::string RemoteLink::OpenFailureDetail() const { return impl_->problem; }

LinkResult RemoteLink::Write(std::span<const std::uint8_t> data) {
  std::lock_guard guard(impl_->writeMutex);
  const std::shared_ptr<Connection> c = impl_->connection;
  if (!c) return {kLinkIoError, 0};
  const auto deadline = Steady::now() + impl_->timeouts.writeConstant +
                        impl_->timeouts.writeMultiplier * static_cast<long>(data.size());
  LinkResult result;
  std::unique_lock lock(c->mutex);
  while (result.count < data.size()) {
    if (c->lineError != 0) {
      result.status = kLinkIoError;
      break;
    }
    gensiods count = 0;
    c->writeReady = false;
    lock.unlock();
    const int err = gensio_write(c->io, &count, data.data() + result.count,
                                 data.size() - result.count, nullptr);
    lock.lock();
    if (err != 0) {
      if (c->lineError == 0) c->lineError = err;
      result.status = kLinkIoError;
      break;
    }
    result.count += count;
    if (result.count >= data.size()) break;
    if (count == 0) {
      lock.unlock();
      gensio_set_write_callback_enable(c->io, true);
      lock.lock();
      if (!c->changed.wait_until(lock, deadline,
                                 [&] { return c->writeReady || c->lineError != 0; })) {
        break;
      }
    }
  }
  return result;
}

LinkResult RemoteLink::Read(std::span<std::uint8_t> buffer) {
  std::shared_ptr<Connection> c;
  {
    std::lock_guard guard(impl_->writeMutex);
    c = impl_->connection;
  }
  if (!c) return {kLinkIoError, 0};
  const SerialTimeouts& t = impl_->timeouts;
  LinkResult result;
  std::unique_lock lock(c->mutex);
  // As the local link: one call ends when the buffer is full, the total time is
  // up, or the interval passes after a byte; the next call follows while the
  // previous one brought something.
  for (;;) {
    const auto start = Steady::now();
    const std::size_t wanted = buffer.size() - result.count;
    const auto deadline = start + t.readConstant + t.readMultiplier * static_cast<long>(wanted);
    std::size_t got = 0;
    auto lastByte = start;
    bool failed = false;
    while (got < wanted) {
      if (!c->received.empty()) {
        const std::size_t n = std::min(wanted - got, c->received.size());
        std::copy_n(c->received.begin(), n, buffer.begin() + static_cast<long>(result.count + got));
        c->received.erase(c->received.begin(), c->received.begin() + static_cast<long>(n));
        got += n;
        lastByte = Steady::now();
        if (c->readPaused) {
          c->readPaused = false;
          lock.unlock();
          gensio_set_read_callback_enable(c->io, true);
          lock.lock();
        }
        continue;
      }
      if (c->lineError != 0) {
        failed = true;
        break;
      }
      auto limit = deadline;
      if (got > 0) limit = std::min(limit, lastByte + t.readInterval);
      if (impl_->interrupted.load() || Steady::now() >= limit) break;
      c->changed.wait_until(lock, limit, [&] {
        return !c->received.empty() || c->lineError != 0 || impl_->interrupted.load();
      });
    }
    result.count += got;
    if (failed) {
      result.status = kLinkIoError;
      break;
    }
    if (got == 0 || result.count >= buffer.size()) break;
  }
  return result;
}

int RemoteLink::Purge() {
  // Received bytes only, as on a local port: a key frame handed to Write just
  // before must still reach the amplifier.
  std::shared_ptr<Connection> c;
  {
    std::lock_guard guard(impl_->writeMutex);
    c = impl_->connection;
  }
  if (!c) return kLinkOk;
  bool resume = false;
  {
    std::lock_guard lock(c->mutex);
    c->received.clear();
    resume = std::exchange(c->readPaused, false);
  }
  if (resume) gensio_set_read_callback_enable(c->io, true);
  return kLinkOk;
}

void RemoteLink::LinePulse() {
  std::lock_guard guard(impl_->writeMutex);
  const auto& c = impl_->connection;
  if (c && c->serial != nullptr) (void)sergensio_dtr(c->serial, SERGENSIO_DTR_ON, nullptr, nullptr);
}

void RemoteLink::LineRest() {
  std::lock_guard guard(impl_->writeMutex);
  const auto& c = impl_->connection;
  if (c && c->serial != nullptr) {
    (void)sergensio_dtr(c->serial, SERGENSIO_DTR_OFF, nullptr, nullptr);
  }
}

void RemoteLink::InterruptReads(bool interrupted) {
  impl_->interrupted.store(interrupted);
  std::shared_ptr<Connection> c;
  {
    std::lock_guard guard(impl_->writeMutex);
    c = impl_->connection;
  }
  if (!c) return;
  std::lock_guard lock(c->mutex);
  c->Notify();
}

}  // namespace amppanel
