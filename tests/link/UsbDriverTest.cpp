// The D2XX binding and UsbLink's own logic, against a second backend made of
// plain functions in this file (the way an open-source USB serial layer would
// fill the table), and a missing library or entry point against the loader.
#include <gtest/gtest.h>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/LinkStatus.h"
#include "link/usb/UsbDevices.h"
#include "link/usb/UsbLink.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/StandInD2xx.h"

namespace amppanel {
namespace {

using test::ScopedEnv;

// ---- the table ----

TEST(UsbBinding, TheNineteenRolesHaveTheOrdinalsAndNamesOfTheDesign) {
  struct Row {
    const char* role;
    int ordinal;
    const char* name;
  };
  const std::vector<Row> expected = {
      {"UsbOpenByIndex", 1, "FT_Open"},
      {"UsbClose", 2, "FT_Close"},
      {"UsbRead", 3, "FT_Read"},
      {"UsbWrite", 4, "FT_Write"},
      {"UsbPostOpenCall", 6, "FT_ResetDevice"},
      {"UsbSetBaudRate", 7, "FT_SetBaudRate"},
      {"UsbSetDataFormat", 8, "FT_SetDataCharacteristics"},
      {"UsbSetFlowControl", 9, "FT_SetFlowControl"},
      {"UsbLineRestA", 10, "FT_SetDtr"},
      {"UsbLinePulseA", 11, "FT_ClrDtr"},
      {"UsbLinePulseB", 12, "FT_SetRts"},
      {"UsbLineRestB", 13, "FT_ClrRts"},
      {"UsbPurge", 16, "FT_Purge"},
      {"UsbSetTimeouts", 17, "FT_SetTimeouts"},
      {"UsbOpenById", 27, "FT_OpenEx"},
      {"UsbPostOpenSetting", 65, "FT_SetResetPipeRetryCount"},
      {"UsbAfterFailure", 69, "FT_CyclePort"},
      {"UsbCountDevices", 70, "FT_CreateDeviceInfoList"},
      {"UsbDeviceDetail", 72, "FT_GetDeviceInfoDetail"},
  };
  const auto entries = D2xxEntries();
  ASSERT_EQ(entries.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].role);
    EXPECT_EQ(entries[i].role, expected[i].role);
    EXPECT_EQ(entries[i].ordinal, expected[i].ordinal);
    EXPECT_EQ(entries[i].name, expected[i].name);
  }
}

TEST(UsbBinding, FillingReportsEveryMissingEntryAndLeavesItsSlotEmpty) {
  UsbDriverCalls calls{};
  auto dummy = reinterpret_cast<UsbRawProc>(+[] {});
  const std::string missing = FillD2xxCalls(
      calls,
      [&](const D2xxEntry& e) { return e.ordinal == 27 || e.ordinal == 69 ? nullptr : dummy; },
      true);
  EXPECT_EQ(missing, "27 (FT_OpenEx, UsbOpenById), 69 (FT_CyclePort, UsbAfterFailure)");
  EXPECT_FALSE(D2xxCallsComplete(calls));
  EXPECT_EQ(calls.openById, nullptr);
  EXPECT_NE(calls.openByIndex, nullptr);

  const std::string byName = FillD2xxCalls(
      calls, [&](const D2xxEntry& e) { return e.ordinal == 3 ? nullptr : dummy; }, false);
  EXPECT_EQ(byName, "FT_Read (UsbRead)");
  EXPECT_EQ(FillD2xxCalls(
                calls, [&](const D2xxEntry&) { return dummy; }, false),
            "");
  EXPECT_TRUE(D2xxCallsComplete(calls));
}

TEST(UsbBinding, TheLibraryPathComesFromTheVariableWhenItIsSet) {
  {
    ScopedEnv unset(kD2xxLibraryVariable, std::nullopt);
    EXPECT_EQ(D2xxLibraryPath(), DefaultD2xxLibrary());
  }
  ScopedEnv set(kD2xxLibraryVariable, "/opt/ftdi/libftd2xx.so.1.4.27");
  EXPECT_EQ(D2xxLibraryPath(), "/opt/ftdi/libftd2xx.so.1.4.27");
}

#if defined(_WIN32)
// The stand-in DLL puts each role at the ordinal of the table, which the
// binding uses: the ordinal and the name lead to the same function.
TEST(UsbBinding, TheStandInDllExportsEachRoleAtItsOrdinal) {
  HMODULE module = ::LoadLibraryA(test::StandInLibrary().c_str());
  ASSERT_NE(module, nullptr) << test::StandInLibrary();
  for (const D2xxEntry& e : D2xxEntries()) {
    const FARPROC byOrdinal =
        ::GetProcAddress(module, MAKEINTRESOURCEA(static_cast<WORD>(e.ordinal)));
    const FARPROC byName = ::GetProcAddress(module, std::string(e.name).c_str());
    EXPECT_NE(byOrdinal, nullptr) << e.name;
    EXPECT_EQ(byOrdinal, byName) << e.name;
  }
  ::FreeLibrary(module);
}
#endif

// ---- missing library or entry point: a clear error at connect time ----

TEST(UsbBinding, AMissingLibraryIsAClearErrorAtConnectNotAtConstruction) {
  const std::string missing = test::StandInLibrary() + ".missing";
  ScopedEnv env(kD2xxLibraryVariable, missing);
  UsbLink link;  // constructing loads nothing
  EXPECT_FALSE(link.IsOpen());
  try {
    link.Open({.usbIdString = "KALDOR01", .usbIdEnabled = true});
    FAIL() << "no exception";
  } catch (const FT_Exception& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("CAN'T OPEN USB LINK...  #[1027]\n", 0), 0u) << text;
    EXPECT_NE(text.find(missing), std::string::npos) << text;
    EXPECT_NE(text.find("cannot be loaded"), std::string::npos) << text;
  }
  EXPECT_FALSE(link.IsOpen());
  EXPECT_NE(link.DriverError().find(missing), std::string::npos);

  const UsbDeviceList list = ListUsbDevices();
  EXPECT_EQ(list.status, kLinkCantOpen);
  EXPECT_EQ(list.count, 0u);
  EXPECT_TRUE(list.devices.empty());
  EXPECT_NE(list.driverError.find(missing), std::string::npos);
}

TEST(UsbBinding, AMissingEntryPointNamesTheEntryAndTheLibrary) {
  const std::string library = test::StandInLibraryWithoutCyclePort();
  ScopedEnv env(kD2xxLibraryVariable, library);
  UsbLink link;
  try {
    link.Open({});
    FAIL() << "no exception";
  } catch (const FT_Exception& e) {
    const std::string text = e.what();
    EXPECT_EQ(text.rfind("CAN'T OPEN USB LINK...  #[1027]\n", 0), 0u) << text;
    EXPECT_NE(text.find(library), std::string::npos) << text;
    EXPECT_NE(text.find("FT_CyclePort"), std::string::npos) << text;
    EXPECT_NE(text.find("UsbAfterFailure"), std::string::npos) << text;
#if defined(_WIN32)
    EXPECT_NE(text.find("69 (FT_CyclePort"), std::string::npos) << text;
#endif
    // Only the missing one is named.
    EXPECT_EQ(text.find("FT_Open "), std::string::npos) << text;
  }
  EXPECT_FALSE(link.IsOpen());
}

// ---- a second backend: plain functions filling the same table ----

struct Fake {
  std::mutex mutex;
  std::vector<std::string> calls;
  std::vector<std::vector<std::uint8_t>> frames;
  std::atomic<int> writersInside{0};
  std::atomic<bool> overlapped{false};
  std::atomic<int> readsInside{0};
  std::atomic<bool> closedDuringRead{false};
  int pendingReads = 0;  // reads that return bytes before one returns none
  UsbStatus purgeMask = 0;
  std::chrono::milliseconds writeHold{0};
  std::chrono::milliseconds readHold{0};
};
Fake* fake = nullptr;
int handleToken = 0;

void Note(const std::string& call) {
  std::lock_guard lock(fake->mutex);
  fake->calls.push_back(call);
}

UsbStatus AMP_D2XX_CALL FakeOpen(int, UsbHandle* h) {
  Note("open");
  *h = &handleToken;
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeClose(UsbHandle) {
  Note("close");
  if (fake->readsInside > 0) fake->closedDuringRead = true;
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeRead(UsbHandle, void* b, UsbDword n, UsbDword* got) {
  ++fake->readsInside;
  std::this_thread::sleep_for(fake->readHold);
  Note("read " + std::to_string(n));
  bool bytes;
  {
    std::lock_guard lock(fake->mutex);
    bytes = fake->pendingReads > 0;
    if (bytes) --fake->pendingReads;
  }
  *got = bytes ? n : 0;
  if (bytes) std::fill_n(static_cast<std::uint8_t*>(b), n, 0xAA);
  --fake->readsInside;
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeWrite(UsbHandle, void* b, UsbDword n, UsbDword* written) {
  if (fake->writersInside.fetch_add(1) != 0) fake->overlapped = true;
  const auto* bytes = static_cast<const std::uint8_t*>(b);
  std::this_thread::sleep_for(fake->writeHold);
  {
    std::lock_guard lock(fake->mutex);
    fake->frames.emplace_back(bytes, bytes + n);
  }
  fake->writersInside.fetch_sub(1);
  *written = n;
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeHandleOnly(UsbHandle) { return kUsbOk; }
UsbStatus AMP_D2XX_CALL FakeDword(UsbHandle, UsbDword) { return kUsbOk; }
UsbStatus AMP_D2XX_CALL FakeFormat(UsbHandle, std::uint8_t, std::uint8_t, std::uint8_t) {
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeFlow(UsbHandle, std::uint16_t, std::uint8_t, std::uint8_t) {
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakePurge(UsbHandle, UsbDword mask) {
  if (fake->writersInside != 0) fake->overlapped = true;
  fake->purgeMask = mask;
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeTimeouts(UsbHandle, UsbDword, UsbDword) { return kUsbOk; }
UsbStatus AMP_D2XX_CALL FakeOpenEx(void*, UsbDword, UsbHandle* h) {
  *h = &handleToken;
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeCount(UsbDword* n) {
  *n = 0;
  return kUsbOk;
}
UsbStatus AMP_D2XX_CALL FakeDetail(UsbDword, UsbDword*, UsbDword*, UsbDword*, UsbDword*, void*,
                                   void*, UsbHandle*) {
  return kUsbDeviceNotFound;
}

UsbDriverSource FakeBackend() {
  return [] {
    auto d = std::make_shared<UsbDriver>();
    d->name = "fake backend";
    d->calls = {FakeOpen,       FakeClose,      FakeRead,  FakeWrite,      FakeHandleOnly,
                FakeDword,      FakeFormat,     FakeFlow,  FakeHandleOnly, FakeHandleOnly,
                FakeHandleOnly, FakeHandleOnly, FakePurge, FakeTimeouts,   FakeOpenEx,
                FakeDword,      FakeHandleOnly, FakeCount, FakeDetail};
    return UsbDriverLoad{d, ""};
  };
}

class UsbLinkBackend : public ::testing::Test {
 protected:
  UsbLinkBackend() { fake = &state; }
  ~UsbLinkBackend() override { fake = nullptr; }
  Fake state;
};

TEST_F(UsbLinkBackend, AnotherBackendFillsTheTableAndTheLinkRunsOnIt) {
  UsbLink link(UsbProfile(), FakeBackend());
  ASSERT_EQ(link.Open({}), kLinkOk);
  EXPECT_EQ(link.DriverName(), "fake backend");
  link.Configure();
  EXPECT_EQ(link.Purge(), kLinkOk);
  EXPECT_EQ(state.purgeMask, kUsbPurgeRx) << "a key frame waiting to go out is kept";
  const std::array<std::uint8_t, 3> frame{1, 2, 3};
  EXPECT_EQ(link.Write(frame).count, 3u);
  link.Close();
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(link.Write(frame).status, static_cast<int>(kUsbInvalidHandle));
}

TEST_F(UsbLinkBackend, DrainReadsChunksOf512UntilACallReturnsNothing) {
  UsbLink link(UsbProfile(), FakeBackend());
  ASSERT_EQ(link.Open({}), kLinkOk);
  state.pendingReads = 3;
  link.Drain();
  const std::vector<std::string> reads(state.calls.begin() + 1, state.calls.end());
  EXPECT_EQ(reads, std::vector<std::string>(4, "read 512"));
}

TEST_F(UsbLinkBackend, ReadIsOneDriverCallAndReadAllRepeatsIt) {
  UsbLink link(UsbProfile(), FakeBackend());
  ASSERT_EQ(link.Open({}), kLinkOk);
  std::array<std::uint8_t, 7> buffer{};
  state.pendingReads = 0;
  EXPECT_EQ(link.Read(buffer).count, 0u);
  EXPECT_EQ(state.calls.back(), "read 7");
  state.calls.clear();
  EXPECT_EQ(link.ReadAll(buffer).count, 0u);
  EXPECT_EQ(state.calls, std::vector<std::string>{"read 7"});
}

// Keys from the UI thread and the poll worker's query and purge: each write
// reaches the driver whole, never inside another one.
TEST_F(UsbLinkBackend, WritesFromTwoThreadsNeverOverlapInTheDriver) {
  UsbLink link(UsbProfile(), FakeBackend());
  ASSERT_EQ(link.Open({}), kLinkOk);
  state.writeHold = std::chrono::milliseconds(1);
  const std::vector<std::uint8_t> key{0x55, 0x55, 0x55, 0x55, 0x55, 0x01, 0x0D, 0x0D};
  const std::vector<std::uint8_t> query{0x55, 0x55, 0x55, 0x55, 0x55, 0x01, 0x80, 0x80};
  std::thread keys([&] {
    for (int i = 0; i < 40; ++i) link.Write(key);
  });
  for (int i = 0; i < 40; ++i) {
    link.Purge();
    link.Write(query);
  }
  keys.join();
  EXPECT_FALSE(state.overlapped);
  ASSERT_EQ(state.frames.size(), 80u);
  for (const auto& f : state.frames) EXPECT_TRUE(f == key || f == query);
}

// A disconnect on the UI thread while the worker reads: the handle is closed
// only once the read has returned.
TEST_F(UsbLinkBackend, CloseWaitsForAReadInProgress) {
  UsbLink link(UsbProfile(), FakeBackend());
  ASSERT_EQ(link.Open({}), kLinkOk);
  state.readHold = std::chrono::milliseconds(100);
  std::thread reader([&] {
    std::array<std::uint8_t, 4> buffer{};
    link.Read(buffer);
  });
  while (state.readsInside == 0) std::this_thread::yield();
  link.Close();
  reader.join();
  EXPECT_FALSE(state.closedDuringRead);
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(UsbLinkBackend, LineCallsRaceCloseSafely) {
  UsbLink link(UsbProfile(), FakeBackend());
  ASSERT_EQ(link.Open({}), kLinkOk);
  std::atomic<bool> stop{false};
  std::thread pulser([&] {
    while (!stop) {
      link.LinePulse();
      link.LineRest();
    }
  });
  for (int i = 0; i < 200; ++i) {
    link.Close();
    ASSERT_EQ(link.Open({}), kLinkOk);
  }
  stop = true;
  pulser.join();
}

}  // namespace
}  // namespace amppanel
