// Single instance on Windows: a named mutex says whether a copy runs, and the
// three registered window messages reach it through a hidden top-level
// window. The window has to be top-level: a broadcast reaches nothing else
// (message-only windows included).
#pragma once

#include <string>
#include <vector>

#include "platform/SingleInstance.h"

namespace amppanel {

class Win32SingleInstance final : public SingleInstance {
 public:
  // Registers the profile's three messages (the USB program has no configure
  // message: its id stays 0 and matches nothing).
  explicit Win32SingleInstance(const BuildProfile& profile);
  ~Win32SingleInstance() override;
  Win32SingleInstance(const Win32SingleInstance&) = delete;
  Win32SingleInstance& operator=(const Win32SingleInstance&) = delete;

  // Creates the hidden window of the first copy on the calling thread, which
  // must run the message loop.
  bool Acquire() override;
  bool BringFirstToFront() override;
  void Listen(InstanceHandlers handlers) override;
  void PostAutoOpen() override;
  void PostAutoConfig() override;
  void Release() override;

  // The registered ids, and the window that receives them (tests).
  unsigned BringToFrontId() const { return bringToFrontId_; }
  unsigned AutoOpenId() const { return autoOpenId_; }
  unsigned AutoConfigId() const { return autoConfigId_; }
  void* Window() const { return window_; }

  // The window procedure's part: true when `message` was one of ours and
  // counts as handled.
  bool Dispatch(unsigned message);

 private:
  void EnsureWindow();
  void Broadcast(unsigned id);

  std::string mutexName_;
  unsigned bringToFrontId_ = 0;
  unsigned autoOpenId_ = 0;
  unsigned autoConfigId_ = 0;
  void* mutex_ = nullptr;   // HANDLE
  void* window_ = nullptr;  // HWND
  InstanceHandlers handlers_;
  bool listened_ = false;
  // Requests that arrived before the first Listen, replayed by it in order.
  std::vector<unsigned> pending_;
};

}  // namespace amppanel
