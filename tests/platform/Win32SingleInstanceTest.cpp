// Single instance with real processes under the real window manager (wine's
// in CI): the named mutex, and registered messages broadcast to the hidden
// window of the first copy, which handles them from its message loop.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/Win32SingleInstance.h"
#include "tests/platform/InstanceNames.h"

namespace amppanel {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::string Tag() {
  return std::to_string(::GetCurrentProcessId()) + "_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Dispatches this thread's messages until `process` ends (or for `wait` when
// there is none); false on a time-out.
bool Pump(HANDLE process, milliseconds wait) {
  const auto end = Clock::now() + wait;
  for (;;) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    if (left <= 0) return process == nullptr;
    const DWORD r = ::MsgWaitForMultipleObjects(process != nullptr ? 1 : 0, &process, FALSE,
                                                static_cast<DWORD>(left), QS_ALLINPUT);
    if (process != nullptr && r == WAIT_OBJECT_0) return true;
  }
}

class Probe {
 public:
  Probe(const std::string& mode, const std::string& tag) {
    char self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    path = path.substr(0, path.find_last_of("\\/") + 1) + "win32_instance_probe.exe";
    std::string command = "\"" + path + "\" " + mode + " " + tag;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    started_ = ::CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &si, &info_) != 0;
    if (started_) ::CloseHandle(info_.hThread);
  }
  ~Probe() {
    if (!started_) return;
    if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(info_.hProcess, 9);
      ::WaitForSingleObject(info_.hProcess, 5000);
    }
    ::CloseHandle(info_.hProcess);
  }
  bool Started() const { return started_; }
  HANDLE Handle() const { return info_.hProcess; }
  DWORD ExitCode() const {
    DWORD code = 99;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_{};
};

bool MutexExists(const BuildProfile& profile) {
  HANDLE h = ::OpenMutexA(SYNCHRONIZE, FALSE, std::string(profile.mutexName).c_str());
  if (h != nullptr) ::CloseHandle(h);
  return h != nullptr;
}

TEST(Win32SingleInstance, SecondCopyFindsTheMutexAndTheFirstCopysWindowHandlesTheRequest) {
  const test::InstanceNames names(SerialProfile(), Tag());
  Win32SingleInstance first(names.Profile());
  ASSERT_TRUE(first.Acquire());
  const HWND window = static_cast<HWND>(first.Window());
  ASSERT_NE(window, nullptr);
  // Hidden and top-level: the only kind of window a broadcast reaches.
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_EQ(::GetAncestor(window, GA_PARENT), ::GetDesktopWindow());
  EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);

  int front = 0, open = 0, config = 0;
  first.Listen({.bringToFront = [&] { ++front; },
                .autoOpen = [&] { ++open; },
                .autoConfig = [&] { ++config; }});
  Probe second("second", Tag());
  ASSERT_TRUE(second.Started());
  // The second copy's broadcast waits for this thread's window: pump meanwhile.
  ASSERT_TRUE(Pump(second.Handle(), milliseconds(20000))) << "second copy did not end";
  EXPECT_EQ(second.ExitCode(), 0u) << "1: no first copy reached, 2: mutex not found";
  EXPECT_EQ(front, 1);
  EXPECT_EQ(open, 0);
  EXPECT_EQ(config, 0);
}

TEST(Win32SingleInstance, OneCopyPerProgramAndTheNextStartAfterRelease) {
  const test::InstanceNames serial(SerialProfile(), Tag());
  const test::InstanceNames usb(UsbProfile(), Tag());
  Win32SingleInstance a(serial.Profile());
  Win32SingleInstance b(serial.Profile());
  Win32SingleInstance other(usb.Profile());
  ASSERT_TRUE(a.Acquire());
  EXPECT_FALSE(b.Acquire());
  EXPECT_EQ(b.Window(), nullptr) << "a second copy creates no window";
  EXPECT_TRUE(other.Acquire()) << "the other program is no second copy";
  a.Release();
  EXPECT_EQ(a.Window(), nullptr);
  EXPECT_TRUE(b.Acquire());
}

TEST(Win32SingleInstance, ACopyThatDiesLeavesTheNextStartFree) {
  const test::InstanceNames names(SerialProfile(), Tag());
  Probe holder("hold", Tag());
  ASSERT_TRUE(holder.Started());
  const auto end = Clock::now() + milliseconds(20000);
  while (!MutexExists(names.Profile()) && Clock::now() < end) ::Sleep(20);
  ASSERT_TRUE(MutexExists(names.Profile()));
  Win32SingleInstance next(names.Profile());
  EXPECT_FALSE(next.Acquire());
  ASSERT_TRUE(::TerminateProcess(holder.Handle(), 9));
  ASSERT_EQ(::WaitForSingleObject(holder.Handle(), 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(next.Acquire());
}

TEST(Win32SingleInstance, RequestsPostedBeforeListeningRunFromTheLoopInOrder) {
  const test::InstanceNames names(SerialProfile(), Tag());
  Win32SingleInstance first(names.Profile());
  ASSERT_TRUE(first.Acquire());
  std::vector<std::string> ran;
  first.PostAutoOpen();  // as at start, before the windows exist
  first.PostAutoConfig();
  Pump(nullptr, milliseconds(100));  // a loop may run before the handlers are there
  EXPECT_TRUE(ran.empty());
  first.Listen({.bringToFront = [&] { ran.push_back("front"); },
                .autoOpen = [&] { ran.push_back("open"); },
                .autoConfig = [&] { ran.push_back("config"); }});
  EXPECT_TRUE(ran.empty()) << "handlers run from the loop, not from Listen";
  Pump(nullptr, milliseconds(200));
  EXPECT_EQ(ran, (std::vector<std::string>{"open", "config"}));

  // Handled (answered 0) is the bring-to-front request alone.
  const HWND window = static_cast<HWND>(first.Window());
  EXPECT_EQ(::SendMessageA(window, first.BringToFrontId(), 0, 0), 0);
  EXPECT_EQ(ran.back(), "front");
}

TEST(Win32SingleInstance, TheUsbProgramsMissingConfigureRequestMatchesNoMessage) {
  const test::InstanceNames names(UsbProfile(), Tag());
  Win32SingleInstance first(names.Profile());
  ASSERT_TRUE(first.Acquire());
  EXPECT_EQ(first.AutoConfigId(), 0u);
  int config = 0;
  first.Listen({.autoConfig = [&] { ++config; }});
  first.PostAutoConfig();
  // WM_NULL is message 0, sent by the system to see whether a window responds.
  ::SendMessageA(static_cast<HWND>(first.Window()), WM_NULL, 0, 0);
  Pump(nullptr, milliseconds(100));
  EXPECT_EQ(config, 0);
}

}  // namespace
}  // namespace amppanel
