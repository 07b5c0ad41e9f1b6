// The amplifier's end of a POSIX pseudo-terminal: the panel opens the slave
// device as its serial port, the virtual amplifier reads and writes the master.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "sim/AmpEngine.h"

namespace amppanel {

class PtyMaster {
 public:
  PtyMaster() = default;
  ~PtyMaster();
  PtyMaster(const PtyMaster&) = delete;
  PtyMaster& operator=(const PtyMaster&) = delete;

  // Creates a new pseudo-terminal (non-blocking master, raw line); false with
  // the reason in `error` when the system refuses.
  bool Open(std::string& error);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  // The device the panel opens, e.g. /dev/pts/3.
  const std::string& SlavePath() const { return slavePath_; }
  // 8 data bits, no echo, no line editing, no translation. Set through the
  // master, it applies to the slave's line, which is what matters: an echoing
  // slave would hand every reply back to the amplifier as a command.
  bool MakeRaw();

 private:
  int fd_ = -1;
  std::string slavePath_;
};

// Pumps bytes between a pseudo-terminal master and an engine. The panel may
// close and reopen the slave at will: while no slave is open the master reports
// a hang-up (EIO on read), which only makes the bridge wait and look again.
class PtyBridge {
 public:
  PtyBridge(PtyMaster& pty, AmpEngine& engine) : pty_(pty), engine_(engine) {}

  // Runs until `stop` is set, or the engine has cut the link and its last
  // output is written. `eachTurn` runs on this thread at least every 20 ms.
  void Run(const std::atomic<bool>& stop, const std::function<void()>& eachTurn = {});

  bool Connected() const { return connected_; }
  int Connections() const { return connections_; }
  std::size_t BytesIn() const { return bytesIn_; }
  std::size_t BytesOut() const { return bytesOut_; }

 private:
  void HangUp();
  void Connect();
  void WriteOutput();

  PtyMaster& pty_;
  AmpEngine& engine_;
  std::atomic<bool> connected_{false};
  std::atomic<int> connections_{0};
  std::atomic<std::size_t> bytesIn_{0};
  std::atomic<std::size_t> bytesOut_{0};
};

}  // namespace amppanel
