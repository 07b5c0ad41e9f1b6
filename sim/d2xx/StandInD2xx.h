// The stand-in D2XX driver behind the exported FT_ functions: a list of
// devices, each backed by a virtual amplifier (the engine ampsim uses), a log
// of every call with its arguments and time, and injected failures.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/usb/UsbDriver.h"
#include "sim/AmpEngine.h"
#include "sim/d2xx/StandInConfig.h"

namespace amppanel {

class StandInD2xx {
 public:
  // The process's one instance, configured from the environment on first use.
  static StandInD2xx& Instance();

  explicit StandInD2xx(StandInConfig config);
  ~StandInD2xx();
  StandInD2xx(const StandInD2xx&) = delete;
  StandInD2xx& operator=(const StandInD2xx&) = delete;

  // Closes every handle, forgets the counts and the amplifiers, and takes the
  // configuration again (tests call it between cases).
  void Reset(StandInConfig config);

  UsbStatus Open(int index, UsbHandle* handle);
  UsbStatus OpenEx(const void* arg, UsbDword selector, UsbHandle* handle);
  UsbStatus Close(UsbHandle handle);
  UsbStatus Read(UsbHandle handle, void* buffer, UsbDword count, UsbDword* got);
  UsbStatus Write(UsbHandle handle, const void* buffer, UsbDword count, UsbDword* written);
  UsbStatus ResetDevice(UsbHandle handle);
  UsbStatus SetBaudRate(UsbHandle handle, UsbDword baud);
  UsbStatus SetDataCharacteristics(UsbHandle handle, std::uint8_t bits, std::uint8_t stop,
                                   std::uint8_t parity);
  UsbStatus SetFlowControl(UsbHandle handle, std::uint16_t mode, std::uint8_t on, std::uint8_t off);
  UsbStatus SetDtr(UsbHandle handle);
  UsbStatus ClrDtr(UsbHandle handle);
  UsbStatus SetRts(UsbHandle handle);
  UsbStatus ClrRts(UsbHandle handle);
  UsbStatus Purge(UsbHandle handle, UsbDword mask);
  UsbStatus SetTimeouts(UsbHandle handle, UsbDword readMs, UsbDword writeMs);
  UsbStatus SetResetPipeRetryCount(UsbHandle handle, UsbDword count);
  UsbStatus CyclePort(UsbHandle handle);
  UsbStatus CreateDeviceInfoList(UsbDword* count);
  UsbStatus GetDeviceInfoDetail(UsbDword index, UsbDword* flags, UsbDword* type, UsbDword* id,
                                UsbDword* location, void* idString, void* description,
                                UsbHandle* handle);

 private:
  struct Device {
    StandInDevice info;
    std::unique_ptr<AmpEngine> engine;
    bool open = false;
    bool cycled = false;  // re-enumerated: its handle carries no more data
    bool dtr = false;
    bool rts = false;
    std::atomic<UsbDword> readTimeoutMs{1000};
    std::atomic<UsbDword> writeTimeoutMs{1000};
  };
  struct Call;

  // The open device of a handle, or null.
  std::shared_ptr<Device> Find(UsbHandle handle);
  // Counts the call; the injected status when a failure rule matches.
  std::optional<UsbStatus> Injected(const char* name);
  void Log(double atMs, const std::string& text);
  double NowMs() const;
  UsbStatus Line(const char* name, UsbHandle handle, bool dtr, bool value);
  UsbStatus OpenDevice(const char* name, const std::string& args, std::size_t index,
                       UsbHandle* handle, double at);
  void MakeDevices();

  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::mutex mutex_;  // devices_, counts_, config_
  StandInConfig config_;
  std::vector<std::shared_ptr<Device>> devices_;
  std::map<std::string, int, std::less<>> counts_;
  std::mutex logMutex_;
  std::FILE* log_ = nullptr;
};

}  // namespace amppanel
