#include "platform/Win32SingleInstance.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "core/BuildProfile.h"

namespace amppanel {
namespace {

constexpr const char* kWindowClass = "AmpPanelInstanceWindow";
// A second copy may start while the first is between taking the mutex and
// creating its window.
constexpr auto kWindowWait = std::chrono::milliseconds(1000);
// Each top-level window may take this long before the broadcast passes it by.
constexpr UINT kBroadcastTimeoutMs = 5000;

unsigned Register(std::string_view name) {
  if (name.empty()) return 0;
  return ::RegisterWindowMessageA(std::string(name).c_str());
}

LRESULT CALLBACK InstanceWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32SingleInstance*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr && self->Dispatch(message)) return 0;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE Module() { return ::GetModuleHandleA(nullptr); }

bool RegisterWindowClass() {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = InstanceWindowProc;
  wc.hInstance = Module();
  wc.lpszClassName = kWindowClass;
  return ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

Win32SingleInstance::Win32SingleInstance(const BuildProfile& profile)
    : mutexName_(profile.mutexName),
      bringToFrontId_(Register(profile.bringToFrontMessage)),
      autoOpenId_(Register(profile.autoOpenMessage)),
      autoConfigId_(Register(profile.autoConfigMessage)) {}

Win32SingleInstance::~Win32SingleInstance() { Release(); }

bool Win32SingleInstance::Acquire() {
  if (mutex_ != nullptr) return true;
  if (HANDLE existing = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, mutexName_.c_str())) {
    ::CloseHandle(existing);
    return false;
  }
  // A mutex we may not open exists all the same.
  if (::GetLastError() == ERROR_ACCESS_DENIED) return false;
  HANDLE created = ::CreateMutexA(nullptr, TRUE, mutexName_.c_str());
  // Two copies started together may both have found no mutex above; the one
  // whose creation finds it made by the other is the second copy.
  if (created != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(created);
    return false;
  }
  // Without a mutex at all this copy still runs: refusing to start would be
  // the worse failure.
  mutex_ = created;
  EnsureWindow();
  return true;
}

bool Win32SingleInstance::BringFirstToFront() {
  if (bringToFrontId_ == 0) return false;
  const auto end = std::chrono::steady_clock::now() + kWindowWait;
  bool found = false;
  while (!(found = ::FindWindowA(kWindowClass, mutexName_.c_str()) != nullptr) &&
         std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // This copy was just started by the operator and may take the foreground;
  // Windows lets the first copy come to the front only with that right.
  ::AllowSetForegroundWindow(ASFW_ANY);
  // Sent, not posted: back only once every top-level window has handled it.
  // A hung window of some other program is passed by instead of keeping this
  // copy alive for ever.
  DWORD_PTR result = 0;
  const LRESULT sent =
      ::SendMessageTimeoutA(HWND_BROADCAST, bringToFrontId_, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            kBroadcastTimeoutMs, &result);
  return found && sent != 0;
}

void Win32SingleInstance::Listen(InstanceHandlers handlers) {
  EnsureWindow();
  handlers_ = std::move(handlers);
  if (listened_) return;
  listened_ = true;
  for (const unsigned id : pending_) {
    if (window_ != nullptr) ::PostMessageA(static_cast<HWND>(window_), id, 0, 0);
  }
  pending_.clear();
}

void Win32SingleInstance::PostAutoOpen() {
  EnsureWindow();
  Broadcast(autoOpenId_);
}

void Win32SingleInstance::PostAutoConfig() {
  EnsureWindow();
  Broadcast(autoConfigId_);
}

void Win32SingleInstance::Release() {
  if (window_ != nullptr) {
    // Nothing that is still queued may reach this object once it is gone.
    ::SetWindowLongPtrA(static_cast<HWND>(window_), GWLP_USERDATA, 0);
    ::DestroyWindow(static_cast<HWND>(window_));
    window_ = nullptr;
  }
  if (mutex_ != nullptr) {
    ::ReleaseMutex(static_cast<HANDLE>(mutex_));
    ::CloseHandle(static_cast<HANDLE>(mutex_));
    mutex_ = nullptr;
  }
  handlers_ = {};
  listened_ = false;
  pending_.clear();
}

bool Win32SingleInstance::Dispatch(unsigned message) {
  if (message == 0) return false;
  std::function<void()> handler;
  bool handled = false;
  if (message == autoOpenId_) {
    handler = handlers_.autoOpen;
  } else if (message == autoConfigId_) {
    handler = handlers_.autoConfig;
  } else if (message == bringToFrontId_) {
    handler = handlers_.bringToFront;
    handled = true;
  } else {
    return false;
  }
  if (!listened_) {
    pending_.push_back(message);
  } else if (handler) {
    // A copy: the handler may replace the handlers (Listen({}) as the window
    // goes) while it runs.
    handler();
  }
  return handled;
}

void Win32SingleInstance::EnsureWindow() {
  if (window_ != nullptr || !RegisterWindowClass()) return;
  window_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, kWindowClass, mutexName_.c_str(), WS_POPUP, 0, 0, 0,
                              0, nullptr, nullptr, Module(), this);
}

void Win32SingleInstance::Broadcast(unsigned id) {
  if (id != 0) ::PostMessageA(HWND_BROADCAST, id, 0, 0);
}

}  // namespace amppanel
