// What the remote link tests run against: a real ser2net serving the virtual
// amplifier's pseudo-terminal on 127.0.0.1, a throw-away certificate authority
// made with the openssl tool, and an RFC 2217 accepter of our own that records
// what the link asks of the line.
#pragma once

#include <gensio/gensio.h>
#include <gensio/sergensio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace amppanel::test {

// The path of a program found in the usual places; empty when missing.
std::string FindProgram(const std::string& name);
// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeTcpPort();
// A fresh folder below the temporary folder, removed with the object.
class TempDir {
 public:
  explicit TempDir(const std::string& stem);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// ser2net with one generated connection, started and stopped by the test.
class Ser2net {
 public:
  // `accepterFilters` go between telnet(rfc2217) and tcp, e.g. an ssl(...);
  // `authDir` holds, per user, the certificates a TLS client may be signed by.
  Ser2net(std::filesystem::path dir, std::string device, int port, std::string accepterFilters = {},
          std::filesystem::path authDir = {});
  ~Ser2net() { Stop(); }
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;
  // True once the port accepts connections.
  bool Start();
  void Stop();
  int Port() const { return port_; }
  std::string Log() const;

 private:
  std::filesystem::path dir_;
  std::string device_;
  int port_;
  std::string filters_;
  std::filesystem::path authDir_;
  int pid_ = -1;
};

// A certificate authority, a server certificate for 127.0.0.1 and a client
// certificate for the user "operator", made with the openssl tool, and the
// folder ser2net looks in for what may sign that user's certificate. Empty
// `error` on success.
struct Certificates {
  std::filesystem::path ca, serverCert, serverKey, clientCert, clientKey, authDir;
  std::string error;
};
Certificates MakeCertificates(const std::filesystem::path& dir, const std::string& name);

// An RFC 2217 server made with gensio: answers every line setting as asked
// and records it with the time it came.
class LineRecorder {
 public:
  struct Change {
    int event = 0;  // GENSIO_EVENT_SER_BAUD ...
    int value = 0;
    std::chrono::steady_clock::time_point at;
  };

  LineRecorder();
  ~LineRecorder();
  LineRecorder(const LineRecorder&) = delete;
  LineRecorder& operator=(const LineRecorder&) = delete;
  bool Started() const { return accepter_ != nullptr; }
  int Port() const { return port_; }
  std::vector<Change> Changes() const;
  std::vector<std::uint8_t> Received() const;
  // Sends bytes to the connected client.
  void Send(const std::vector<std::uint8_t>& bytes);
  // Drops the connection, as a station that goes away.
  void Hangup();
  // While set, line settings are recorded but never answered: a station that
  // accepts a connection and then says nothing.
  void Mute(bool muted) { muted_.store(muted); }

 private:
  static int OnAccept(gensio_accepter* acc, void* user, int event, void* data);
  static int OnEvent(gensio* io, void* user, int event, int err, unsigned char* buf,
                     gensiods* buflen, const char* const* auxdata);
  static void OnClosed(gensio* io, void* user);
  static void OnDone(gensio_accepter* acc, void* user);
  void Done();
  // True once a close or shutdown handed to the library has finished.
  bool WaitDone();

  gensio_os_funcs* os_ = nullptr;
  gensio_accepter* accepter_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<bool> muted_{false};
  std::thread loop_;
  int port_ = 0;
  mutable std::mutex mutex_;
  gensio* client_ = nullptr;
  std::vector<Change> changes_;
  std::vector<std::uint8_t> received_;
  std::condition_variable doneChanged_;
  bool done_ = false;
};

}  // namespace amppanel::test
