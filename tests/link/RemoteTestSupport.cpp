#include "tests/link/RemoteTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gensio/gensio_control.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace amppanel::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string FindProgram(const std::string& name) {
  for (const char* dir : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin", "/sbin"}) {
    const fs::path p = fs::path(dir) / name;
    if (::access(p.c_str(), X_OK) == 0) return p.string();
  }
  return {};
}

int FreeTcpPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(s);
  return port;
}

namespace {
bool Accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

int Run(const std::string& command) { return std::system(command.c_str()); }
}  // namespace

TempDir::TempDir(const std::string& stem) {
  path_ = fs::temp_directory_path() /
          (stem + "-" + std::to_string(::getpid()) + "-" + std::to_string(FreeTcpPort()));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

Ser2net::Ser2net(fs::path dir, std::string device, int port, std::string accepterFilters,
                 fs::path authDir)
    : dir_(std::move(dir)),
      device_(std::move(device)),
      port_(port),
      filters_(std::move(accepterFilters)),
      authDir_(std::move(authDir)) {}

bool Ser2net::Start() {
  const std::string program = FindProgram("ser2net");
  if (program.empty()) return false;
  const fs::path yaml = dir_ / "ser2net.yaml";
  {
    std::ofstream out(yaml);
    out << "%YAML 1.1\n---\nconnection: &amp\n"
        << "  accepter: telnet(rfc2217)," << (filters_.empty() ? "" : filters_ + ",")
        << "tcp(nodelay),127.0.0.1," << port_ << "\n"
        << "  connector: serialdev," << device_ << ",115200n81,local\n"
        << "  options:\n    kickolduser: false\n";
    if (!authDir_.empty()) out << "    authdir: " << authDir_.string() << "\n";
  }
  const std::string log = (dir_ / "ser2net.log").string();
  const std::string pidFile = (dir_ / "ser2net.pid").string();
  pid_ = ::fork();
  if (pid_ == 0) {
    // A test that dies must not leave its station running.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    ::execl(program.c_str(), "ser2net", "-n", "-u", "-c", yaml.c_str(), "-P", pidFile.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 100; ++i) {
    if (Accepts(port_)) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

void Ser2net::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

std::string Ser2net::Log() const {
  std::ifstream in(dir_ / "ser2net.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Certificates MakeCertificates(const fs::path& dir, const std::string& name) {
  Certificates c;
  const std::string openssl = FindProgram("openssl");
  if (openssl.empty()) {
    c.error = "the openssl tool is not installed";
    return c;
  }
  const fs::path d = dir / name;
  fs::create_directories(d);
  c.ca = d / "ca.pem";
  c.serverCert = d / "server.pem";
  c.serverKey = d / "server.key";
  c.clientCert = d / "client.pem";
  c.clientKey = d / "client.key";
  c.authDir = d / "auth";
  const fs::path allowed = c.authDir / "operator" / "allowed_certs";
  fs::create_directories(allowed);
  const std::string q = " >>" + (d / "openssl.log").string() + " 2>&1";
  const std::string o = openssl;
  const auto p = [](const fs::path& f) { return " '" + f.string() + "'"; };
  const fs::path caKey = d / "ca.key";
  const fs::path ext = d / "server.ext";
  std::ofstream(ext) << "subjectAltName=IP:127.0.0.1\n";
  const std::vector<std::string> steps{
      o + " req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=" + name + "-ca -keyout" +
          p(caKey) + " -out" + p(c.ca),
      o + " req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout" + p(c.serverKey) + " -out" +
          p(d / "server.csr"),
      o + " x509 -req -days 2 -in" + p(d / "server.csr") + " -CA" + p(c.ca) + " -CAkey" + p(caKey) +
          " -CAcreateserial -extfile" + p(ext) + " -out" + p(c.serverCert),
      o + " req -newkey rsa:2048 -nodes -subj /CN=operator -keyout" + p(c.clientKey) + " -out" +
          p(d / "client.csr"),
      o + " x509 -req -days 2 -in" + p(d / "client.csr") + " -CA" + p(c.ca) + " -CAkey" + p(caKey) +
          " -CAcreateserial -out" + p(c.clientCert),
      "cp" + p(c.ca) + p(allowed / "ca.pem") + " && " + o + " rehash" + p(allowed),
  };
  for (const auto& step : steps) {
    if (Run(step + q) != 0) {
      c.error = "openssl failed: " + step;
      return c;
    }
  }
  return c;
}

// ---- the recording accepter -----------------------------------------------------

LineRecorder::LineRecorder() {
  if (gensio_default_os_hnd(0, &os_) != 0) return;
  if (str_to_gensio_accepter("telnet(rfc2217),tcp,127.0.0.1,0", os_, &LineRecorder::OnAccept, this,
                             &accepter_) != 0) {
    accepter_ = nullptr;
    return;
  }
  if (gensio_acc_startup(accepter_) != 0) {
    gensio_acc_free(accepter_);
    accepter_ = nullptr;
    return;
  }
  char port[32] = "0";
  gensiods len = sizeof port;
  if (gensio_acc_control(accepter_, GENSIO_CONTROL_DEPTH_FIRST, true, GENSIO_ACC_CONTROL_LPORT,
                         port, &len) == 0) {
    port_ = std::atoi(port);
  }
  loop_ = std::thread([this] {
    while (!stop_.load()) {
      gensio_time slice{0, 10'000'000};
      (void)gensio_os_funcs_service(os_, &slice);
    }
  });
}

LineRecorder::~LineRecorder() {
  Hangup();
  bool shut = true;
  if (accepter_ != nullptr && gensio_acc_shutdown(accepter_, &LineRecorder::OnDone, this) == 0) {
    shut = WaitDone();
  }
  stop_ = true;
  if (loop_.joinable()) loop_.join();
  if (accepter_ != nullptr && shut) gensio_acc_free(accepter_);
  if (os_ != nullptr) gensio_os_funcs_free(os_);
}

int LineRecorder::OnAccept(gensio_accepter* /*acc*/, void* user, int event, void* data) {
  auto* self = static_cast<LineRecorder*>(user);
  if (event != GENSIO_ACC_EVENT_NEW_CONNECTION) return GE_NOTSUP;
  auto* io = static_cast<gensio*>(data);
  {
    std::lock_guard lock(self->mutex_);
    if (self->client_ != nullptr) {
      gensio_free(io);
      return 0;
    }
    self->client_ = io;
  }
  gensio_set_callback(io, &LineRecorder::OnEvent, self);
  gensio_set_read_callback_enable(io, true);
  return 0;
}

int LineRecorder::OnEvent(gensio* io, void* user, int event, int err, unsigned char* buf,
                          gensiods* buflen, const char* const* /*auxdata*/) {
  auto* self = static_cast<LineRecorder*>(user);
  if (event == GENSIO_EVENT_READ) {
    if (err != 0) return 0;
    std::lock_guard lock(self->mutex_);
    self->received_.insert(self->received_.end(), buf, buf + *buflen);
    return 0;
  }
  if (event < GENSIO_EVENT_SER_BAUD || event > GENSIO_EVENT_SER_RTS || buf == nullptr) {
    return GE_NOTSUP;
  }
  const int value = *reinterpret_cast<int*>(buf);
  {
    std::lock_guard lock(self->mutex_);
    self->changes_.push_back({event, value, std::chrono::steady_clock::now()});
  }
  if (self->muted_.load()) return 0;
  // The answer a station gives: the value now in effect.
  sergensio* sio = gensio_to_sergensio(io);
  const auto v = static_cast<unsigned>(value);
  switch (event) {
    case GENSIO_EVENT_SER_BAUD:
      sergensio_baud(sio, v, nullptr, nullptr);
      break;
    case GENSIO_EVENT_SER_DATASIZE:
      sergensio_datasize(sio, v, nullptr, nullptr);
      break;
    case GENSIO_EVENT_SER_PARITY:
      sergensio_parity(sio, v, nullptr, nullptr);
      break;
    case GENSIO_EVENT_SER_STOPBITS:
      sergensio_stopbits(sio, v, nullptr, nullptr);
      break;
    case GENSIO_EVENT_SER_FLOWCONTROL:
      sergensio_flowcontrol(sio, v, nullptr, nullptr);
      break;
    case GENSIO_EVENT_SER_DTR:
      sergensio_dtr(sio, v, nullptr, nullptr);
      break;
    case GENSIO_EVENT_SER_RTS:
      sergensio_rts(sio, v, nullptr, nullptr);
      break;
    default:
      break;
  }
  return 0;
}

std::vector<LineRecorder::Change> LineRecorder::Changes() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

std::vector<std::uint8_t> LineRecorder::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void LineRecorder::Send(const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  if (client_ == nullptr) return;
  gensiods count = 0;
  (void)gensio_write(client_, &count, bytes.data(), bytes.size(), nullptr);
}

void LineRecorder::Hangup() {
  gensio* io = nullptr;
  {
    std::lock_guard lock(mutex_);
    io = std::exchange(client_, nullptr);
  }
  if (io == nullptr) return;
  if (gensio_close(io, &LineRecorder::OnClosed, this) == 0 && !WaitDone()) {
    // gensio may still call back into it: better kept than freed under it.
    return;
  }
  gensio_free(io);
}

// The library's blocking calls (gensio_close_s and friends) are not used
// here: the default os handler is shared with the link under test, and
// without a wake signal a thread blocked in one of them sleeps through a
// completion that our loop thread runs (up to ten minutes in epoll).
void LineRecorder::OnClosed(gensio* /*io*/, void* user) {
  static_cast<LineRecorder*>(user)->Done();
}

void LineRecorder::OnDone(gensio_accepter* /*acc*/, void* user) {
  static_cast<LineRecorder*>(user)->Done();
}

void LineRecorder::Done() {
  std::lock_guard lock(mutex_);
  done_ = true;
  doneChanged_.notify_all();
}

bool LineRecorder::WaitDone() {
  std::unique_lock lock(mutex_);
  const bool done = doneChanged_.wait_for(lock, 5s, [this] { return done_; });
  done_ = false;
  return done;
}

}  // namespace amppanel::test
