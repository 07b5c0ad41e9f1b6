#include "sim/d2xx/StandInD2xx.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/AmpSimOptions.h"

namespace amppanel {
namespace {

using Steady = std::chrono::steady_clock;

constexpr UsbStatus kInvalidParameter = 6;
constexpr UsbDword kDeviceType232R = 5;          // FT_DEVICE_232R
constexpr UsbDword kVendorProduct = 0x04036001;  // VID 0403, PID 6001
constexpr UsbDword kOpenByDescription = 2;
constexpr std::size_t kReportedIdChars = 15;  // D2XX fills at most 16 bytes
constexpr std::size_t kReportedDescriptionChars = 63;

std::string RoleOf(std::string_view name) {
  for (const D2xxEntry& e : D2xxEntries()) {
    if (e.name == name) return std::string(e.role);
  }
  return {};
}

std::string Hex(const void* data, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  const auto* b = static_cast<const std::uint8_t*>(data);
  std::string s;
  const std::size_t shown = std::min<std::size_t>(n, 64);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i) s += ' ';
    s += kDigits[b[i] >> 4];
    s += kDigits[b[i] & 15];
  }
  if (shown < n) s += " ...";
  return s;
}

std::string H(UsbHandle h) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", h);
  return text;
}

std::string Status(UsbStatus s, bool injected) {
  return " = " + std::to_string(s) + (injected ? " (injected)" : "");
}

}  // namespace

StandInD2xx& StandInD2xx::Instance() {
  static StandInD2xx* instance = [] {
    std::string errors;
    StandInConfig config = LoadStandInConfig(
        [](const char* name) -> std::optional<std::string> {
          const char* v = std::getenv(name);
          if (v == nullptr) return std::nullopt;
          return std::string(v);
        },
        errors);
    auto* d = new StandInD2xx(std::move(config));
    if (!errors.empty()) d->Log(0, "config: " + errors);
    return d;
  }();
  // Never destroyed: calls may still come while the process ends.
  return *instance;
}

StandInD2xx::StandInD2xx(StandInConfig config) { Reset(std::move(config)); }

StandInD2xx::~StandInD2xx() {
  std::lock_guard lock(logMutex_);
  if (log_ != nullptr) std::fclose(log_);
}

void StandInD2xx::Reset(StandInConfig config) {
  {
    std::lock_guard lock(logMutex_);
    if (log_ != nullptr) std::fclose(log_);
    log_ = config.logPath.empty() ? nullptr : std::fopen(config.logPath.c_str(), "a");
  }
  std::lock_guard lock(mutex_);
  config_ = std::move(config);
  counts_.clear();
  MakeDevices();
}

void StandInD2xx::MakeDevices() {
  devices_.clear();
  AmpSimConfig sim;
  std::string error;
  if (!ParseAmpSimArgs(config_.ampsimArgs, sim, error)) Log(NowMs(), "config: ampsim: " + error);
  if (config_.cutAfterFrames > 0) sim.faults.cutAfterFrames = config_.cutAfterFrames;
  for (const StandInDevice& info : config_.devices) {
    auto d = std::make_shared<Device>();
    d->info = info;
    d->engine = std::make_unique<AmpEngine>(EngineOptionsFor(sim));
    ApplyScenario(sim, *d->engine);
    d->engine->SetFrameObserver([this, id = info.id](const FrameEvent& e) {
      Log(NowMs(), "engine " + id + ": " + DescribeFrame(e));
    });
    devices_.push_back(std::move(d));
  }
}

double StandInD2xx::NowMs() const {
  return std::chrono::duration<double, std::milli>(Steady::now() - start_).count();
}

void StandInD2xx::Log(double atMs, const std::string& text) {
  std::lock_guard lock(logMutex_);
  if (log_ == nullptr) return;
  std::fprintf(log_, "%.1f %s\n", atMs, text.c_str());
  std::fflush(log_);
}

std::shared_ptr<StandInD2xx::Device> StandInD2xx::Find(UsbHandle handle) {
  std::lock_guard lock(mutex_);
  for (const auto& d : devices_) {
    if (d.get() == handle && d->open) return d;
  }
  return nullptr;
}

std::optional<UsbStatus> StandInD2xx::Injected(const char* name) {
  std::lock_guard lock(mutex_);
  const int count = ++counts_[name];
  const std::string role = RoleOf(name);
  for (const StandInFailure& f : config_.failures) {
    if (f.Matches(name, role, count)) return f.status;
  }
  return std::nullopt;
}

// ---- opening ----

UsbStatus StandInD2xx::OpenDevice(const char* name, const std::string& args, std::size_t index,
                                  UsbHandle* handle, double at) {
  UsbStatus s = kUsbOk;
  std::shared_ptr<Device> d;
  {
    std::lock_guard lock(mutex_);
    if (index >= devices_.size()) {
      s = kUsbDeviceNotFound;
    } else if (devices_[index]->open) {
      s = kUsbDeviceNotOpened;  // held by another program (or by us)
    } else {
      d = devices_[index];
      d->open = true;
      d->cycled = false;
      d->dtr = d->rts = false;
    }
  }
  if (handle != nullptr) *handle = d ? d.get() : nullptr;
  Log(at, std::string(name) + "(" + args + ")" + Status(s, false) + (d ? " -> " + H(d.get()) : ""));
  return s;
}

UsbStatus StandInD2xx::Open(int index, UsbHandle* handle) {
  const double at = NowMs();
  const std::string args = std::to_string(index);
  if (auto s = Injected("FT_Open")) {
    Log(at, "FT_Open(" + args + ")" + Status(*s, true));
    return *s;
  }
  if (index < 0) return OpenDevice("FT_Open", args, static_cast<std::size_t>(-1), handle, at);
  return OpenDevice("FT_Open", args, static_cast<std::size_t>(index), handle, at);
}

UsbStatus StandInD2xx::OpenEx(const void* arg, UsbDword selector, UsbHandle* handle) {
  const double at = NowMs();
  const std::string text = arg ? static_cast<const char*>(arg) : "";
  const std::string args = "\"" + text + "\", " + std::to_string(selector);
  if (auto s = Injected("FT_OpenEx")) {
    Log(at, "FT_OpenEx(" + args + ")" + Status(*s, true));
    return *s;
  }
  if (selector != kUsbOpenBySerialNumber && selector != kOpenByDescription) {
    Log(at, "FT_OpenEx(" + args + ")" + Status(kInvalidParameter, false));
    return kInvalidParameter;
  }
  std::size_t index = static_cast<std::size_t>(-1);
  {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < devices_.size(); ++i) {
      const StandInDevice& info = devices_[i]->info;
      const std::string& key = selector == kUsbOpenBySerialNumber ? info.id : info.description;
      if (key == text) {
        index = i;
        break;
      }
    }
  }
  return OpenDevice("FT_OpenEx", args, index, handle, at);
}

UsbStatus StandInD2xx::Close(UsbHandle handle) {
  const double at = NowMs();
  if (auto s = Injected("FT_Close")) {
    Log(at, "FT_Close(" + H(handle) + ")" + Status(*s, true));
    return *s;
  }
  UsbStatus s = kUsbInvalidHandle;
  if (auto d = Find(handle)) {
    std::lock_guard lock(mutex_);
    d->open = false;
    s = kUsbOk;
  }
  Log(at, "FT_Close(" + H(handle) + ")" + Status(s, false));
  return s;
}

// ---- data ----

UsbStatus StandInD2xx::Read(UsbHandle handle, void* buffer, UsbDword count, UsbDword* got) {
  const double at = NowMs();
  const std::string args = H(handle) + ", " + std::to_string(count);
  if (got != nullptr) *got = 0;
  if (auto s = Injected("FT_Read")) {
    Log(at, "FT_Read(" + args + ")" + Status(*s, true) + " [0]");
    return *s;
  }
  auto d = Find(handle);
  if (!d || buffer == nullptr || got == nullptr) {
    const UsbStatus s = d ? kInvalidParameter : kUsbInvalidHandle;
    Log(at, "FT_Read(" + args + ")" + Status(s, false));
    return s;
  }
  UsbStatus s = kUsbOk;
  std::size_t n = 0;
  if (d->cycled) {
    s = kUsbIoError;
  } else {
    auto* out = static_cast<std::uint8_t*>(buffer);
    const UsbDword timeout = d->readTimeoutMs.load();
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeout);
    while (n < count) {
      n += d->engine->Take(std::span(out + n, count - n));
      if (n >= count) break;
      if (d->engine->LinkCut() && !d->engine->HasPendingOutput()) {
        s = kUsbIoError;  // the device went away
        break;
      }
      const auto now = Steady::now();
      if (now >= deadline) break;
      d->engine->WaitForOutput(deadline - now);
    }
  }
  *got = static_cast<UsbDword>(n);
  Log(at, "FT_Read(" + args + ")" + Status(s, false) + " [" + std::to_string(n) + "]");
  return s;
}

UsbStatus StandInD2xx::Write(UsbHandle handle, const void* buffer, UsbDword count,
                             UsbDword* written) {
  const double at = NowMs();
  const std::string bytes = buffer ? Hex(buffer, count) : "null";
  const std::string args = H(handle) + ", " + bytes + ", " + std::to_string(count);
  if (written != nullptr) *written = 0;
  if (auto s = Injected("FT_Write")) {
    Log(at, "FT_Write(" + args + ")" + Status(*s, true) + " [0]");
    return *s;
  }
  auto d = Find(handle);
  UsbStatus s = kUsbOk;
  UsbDword n = 0;
  if (!d) {
    s = kUsbInvalidHandle;
  } else if (buffer == nullptr || written == nullptr) {
    s = kInvalidParameter;
  } else if (d->cycled || d->engine->LinkCut()) {
    s = kUsbIoError;
  } else {
    d->engine->Feed(std::span(static_cast<const std::uint8_t*>(buffer), count));
    n = count;
    *written = n;
  }
  Log(at, "FT_Write(" + args + ")" + Status(s, false) + " [" + std::to_string(n) + "]");
  return s;
}

// ---- settings ----

struct StandInD2xx::Call {
  // One call that acts on an open device: counts it, injects a failure or
  // runs `apply` on the device, and logs it.
  template <class Apply>
  static UsbStatus Run(StandInD2xx& self, const char* name, UsbHandle handle,
                       const std::string& extra, Apply apply) {
    const double at = self.NowMs();
    const std::string args = H(handle) + (extra.empty() ? "" : ", " + extra);
    if (auto s = self.Injected(name)) {
      self.Log(at, std::string(name) + "(" + args + ")" + Status(*s, true));
      return *s;
    }
    UsbStatus s = kUsbInvalidHandle;
    if (auto d = self.Find(handle)) s = apply(*d);
    self.Log(at, std::string(name) + "(" + args + ")" + Status(s, false));
    return s;
  }
};

UsbStatus StandInD2xx::ResetDevice(UsbHandle handle) {
  return Call::Run(*this, "FT_ResetDevice", handle, "", [](Device& d) {
    d.engine->Purge();
    return kUsbOk;
  });
}

UsbStatus StandInD2xx::SetBaudRate(UsbHandle handle, UsbDword baud) {
  return Call::Run(*this, "FT_SetBaudRate", handle, std::to_string(baud), [baud](Device&) {
    return baud == 0 ? UsbStatus{7} : kUsbOk;  // FT_INVALID_BAUD_RATE
  });
}

UsbStatus StandInD2xx::SetDataCharacteristics(UsbHandle handle, std::uint8_t bits,
                                              std::uint8_t stop, std::uint8_t parity) {
  const std::string args =
      std::to_string(bits) + ", " + std::to_string(stop) + ", " + std::to_string(parity);
  return Call::Run(*this, "FT_SetDataCharacteristics", handle, args,
                   [](Device&) { return kUsbOk; });
}

UsbStatus StandInD2xx::SetFlowControl(UsbHandle handle, std::uint16_t mode, std::uint8_t on,
                                      std::uint8_t off) {
  const std::string args =
      std::to_string(mode) + ", " + std::to_string(on) + ", " + std::to_string(off);
  return Call::Run(*this, "FT_SetFlowControl", handle, args, [](Device&) { return kUsbOk; });
}

// The amplifier's ON line is high in the pulse state: DTR clear and RTS set.
UsbStatus StandInD2xx::Line(const char* name, UsbHandle handle, bool dtr, bool value) {
  return Call::Run(*this, name, handle, "", [this, dtr, value](Device& d) {
    bool high;
    {
      std::lock_guard lock(mutex_);
      (dtr ? d.dtr : d.rts) = value;
      high = d.rts && !d.dtr;
    }
    d.engine->SetOnLine(high);
    return kUsbOk;
  });
}

UsbStatus StandInD2xx::SetDtr(UsbHandle h) { return Line("FT_SetDtr", h, true, true); }
UsbStatus StandInD2xx::ClrDtr(UsbHandle h) { return Line("FT_ClrDtr", h, true, false); }
UsbStatus StandInD2xx::SetRts(UsbHandle h) { return Line("FT_SetRts", h, false, true); }
UsbStatus StandInD2xx::ClrRts(UsbHandle h) { return Line("FT_ClrRts", h, false, false); }

UsbStatus StandInD2xx::Purge(UsbHandle handle, UsbDword mask) {
  return Call::Run(*this, "FT_Purge", handle, std::to_string(mask), [mask](Device& d) {
    if (mask & kUsbPurgeRx) d.engine->Purge();
    // Written bytes reach the amplifier within the write call: nothing waits
    // to be purged on the way out.
    return (mask & ~(kUsbPurgeRx | kUsbPurgeTx)) ? kInvalidParameter : kUsbOk;
  });
}

UsbStatus StandInD2xx::SetTimeouts(UsbHandle handle, UsbDword readMs, UsbDword writeMs) {
  const std::string args = std::to_string(readMs) + ", " + std::to_string(writeMs);
  return Call::Run(*this, "FT_SetTimeouts", handle, args, [readMs, writeMs](Device& d) {
    d.readTimeoutMs = readMs;
    d.writeTimeoutMs = writeMs;
    return kUsbOk;
  });
}

UsbStatus StandInD2xx::SetResetPipeRetryCount(UsbHandle handle, UsbDword count) {
  return Call::Run(*this, "FT_SetResetPipeRetryCount", handle, std::to_string(count),
                   [](Device&) { return kUsbOk; });
}

UsbStatus StandInD2xx::CyclePort(UsbHandle handle) {
  return Call::Run(*this, "FT_CyclePort", handle, "", [this](Device& d) {
    std::lock_guard lock(mutex_);
    d.cycled = true;
    return kUsbOk;
  });
}

// ---- the device list ----

UsbStatus StandInD2xx::CreateDeviceInfoList(UsbDword* count) {
  const double at = NowMs();
  if (auto s = Injected("FT_CreateDeviceInfoList")) {
    Log(at, "FT_CreateDeviceInfoList()" + Status(*s, true));
    return *s;
  }
  UsbDword n;
  {
    std::lock_guard lock(mutex_);
    n = static_cast<UsbDword>(devices_.size());
  }
  if (count == nullptr) return kInvalidParameter;
  *count = n;
  Log(at, "FT_CreateDeviceInfoList()" + Status(kUsbOk, false) + " [" + std::to_string(n) + "]");
  return kUsbOk;
}

UsbStatus StandInD2xx::GetDeviceInfoDetail(UsbDword index, UsbDword* flags, UsbDword* type,
                                           UsbDword* id, UsbDword* location, void* idString,
                                           void* description, UsbHandle* handle) {
  const double at = NowMs();
  const std::string args = std::to_string(index);
  if (auto s = Injected("FT_GetDeviceInfoDetail")) {
    Log(at, "FT_GetDeviceInfoDetail(" + args + ")" + Status(*s, true));
    return *s;
  }
  UsbStatus s = kUsbOk;
  std::string shown;
  {
    std::lock_guard lock(mutex_);
    if (index >= devices_.size()) {
      s = kUsbDeviceNotFound;
    } else {
      Device& d = *devices_[index];
      if (flags) *flags = d.info.flags | (d.open ? kUsbFlagOpened : 0);
      if (type) *type = kDeviceType232R;
      if (id) *id = kVendorProduct;
      if (location) *location = 0x1001 + index;
      const std::string serial = d.info.id.substr(0, kReportedIdChars);
      if (idString) std::memcpy(idString, serial.c_str(), serial.size() + 1);
      const std::string text = d.info.description.substr(0, kReportedDescriptionChars);
      if (description) std::memcpy(description, text.c_str(), text.size() + 1);
      if (handle) *handle = d.open ? &d : nullptr;
      shown =
          " [\"" + serial + "\", flags " + std::to_string(d.info.flags | (d.open ? 1u : 0u)) + "]";
    }
  }
  Log(at, "FT_GetDeviceInfoDetail(" + args + ")" + Status(s, false) + shown);
  return s;
}

}  // namespace amppanel
