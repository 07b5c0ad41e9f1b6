// The virtual amplifier on the wire: bytes from the PC go in, the amplifier's
// answers come out when their time on the wire has come. Understands command
// frames (three or five sync bytes), the display query, the key codes, the
// identification request and the firmware loader conversation, and can be told
// to misbehave in the ways a real link does.
//
// Thread-safe: one thread may feed while another takes output.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sim/AmpModel.h"
#include "sim/Screen.h"

namespace amppanel {

using TimeSource = std::function<SimTime()>;

// The steady clock running `divisor` times faster than real time, so that a
// test can run the amplifier's timing (boot, pacing, delays) scaled down.
TimeSource ScaledSteadyTime(int divisor);

// A damaged display reply; every other byte of it stays correct.
enum class ReplyFault { kNone, kBadComplement, kWrongType, kBadCheck };

enum class LoaderStep { kIdentify, kStart, kAnnounce, kData, kEnd };
inline constexpr int kLoaderSteps = 5;
// kFail: a refusal (NAK, wrong sum, broken identification); kSilent: no answer.
enum class StepFault { kNone, kFail, kSilent };

struct FaultSettings {
  std::uint32_t seed = 1;     // the byte faults below draw from this seed
  double dropRate = 0;        // share of output bytes lost
  double corruptRate = 0;     // share of output bytes with bits flipped
  double delayRate = 0;       // share of output bytes held back, with all after them
  milliseconds delay{500};    // how long a delayed byte is held back
  std::size_t splitSize = 0;  // output in pieces of this many bytes (0: whole)
  milliseconds splitGap{20};  // between two pieces
  ReplyFault replyFault = ReplyFault::kNone;  // applied to every display reply
  bool neverAcknowledge = false;              // loader acknowledgements never sent
  int cutAfterFrames = 0;                     // 0: never
  // The wire speed, 10 bits per byte, both ways: output leaves at this pace,
  // and an answer starts only once the input before it has had its time on the
  // wire (the PC's writes return at once; the answer shows the delay). 0: none.
  int paceBaud = 0;
  // A babbling line: this byte (kFloodRandom: random bytes) fills the line
  // between the answers, at the wire speed (kDefaultPaceBaud when unpaced), for
  // as long as somebody reads. kNoFlood: a quiet line.
  int floodByte = -1;
};

inline constexpr int kDefaultPaceBaud = 115200;
inline constexpr milliseconds kFloodAhead{50};
inline constexpr int kNoFlood = -1;
inline constexpr int kFloodRandom = 256;

struct AmpEngineOptions {
  AmpModelOptions model;
  // Real time is divided by this for every timed behaviour (used by the
  // default time source and by SimLink's time-outs).
  int timeDivisor = 1;
  TimeSource time;  // empty: ScaledSteadyTime(timeDivisor)
  std::uint8_t identification = 0x5A;
};

// One frame as it arrived, for logs.
struct FrameEvent {
  int syncBytes = 0;
  std::vector<std::uint8_t> payload;
  bool checkOk = true;
};
// One line: "sync 3: key 13 OPERATE", "sync 3: display query", ...
std::string DescribeFrame(const FrameEvent& event);

struct ReceivedBlock {
  std::uint8_t tag = 0;
  std::vector<std::uint8_t> data;  // empty until the data frame arrived
  std::uint32_t sum = 0;
};

// Fixed answers of the loader.
inline constexpr std::array<std::uint8_t, 6> kAckFrame{0x55, 0x55, 0x55, 0x01, 0x06, 0x06};
inline constexpr std::array<std::uint8_t, 6> kNakFrame{0x55, 0x55, 0x55, 0x01, 0x15, 0x15};
inline constexpr std::uint8_t kIdentifyCode = 0x81;
inline constexpr std::uint8_t kAnnounceCode = 0xC0;
inline constexpr std::uint8_t kEndCode = 0xCF;
inline constexpr std::size_t kBlockSize = 4096;
// A sum answer: 55 55 55 04, the sum (little-endian), its check byte.
std::vector<std::uint8_t> SumAnswer(std::uint32_t sum);

class AmpEngine {
 public:
  explicit AmpEngine(AmpEngineOptions options = {});
  AmpEngine(const AmpEngine&) = delete;
  AmpEngine& operator=(const AmpEngine&) = delete;

  // ---- the wire ----
  void Feed(std::span<const std::uint8_t> bytes);
  // Output whose time has come, at most out.size() bytes.
  std::size_t Take(std::span<std::uint8_t> out);
  std::vector<std::uint8_t> TakeAll();
  // Waits up to `wait` of real time for output to be ready; true when it is.
  bool WaitForOutput(std::chrono::steady_clock::duration wait);
  // Drops output that has arrived but was not taken (what a port purge
  // discards); bytes still on their way keep coming.
  void Purge();
  // Drops all output, also what is still on its way (the far end went away).
  void DiscardOutput();
  bool HasPendingOutput() const;
  // When the next pending byte is due; the engine's time when nothing is pending.
  SimTime NextOutputTime() const;
  void SetOnLine(bool high);
  bool LinkCut() const;

  // ---- faults ----
  void SetFaults(const FaultSettings& faults);  // also restarts the random draws
  FaultSettings Faults() const;
  void StopAnswering(milliseconds duration);
  void StopAnsweringAfter(int frames, milliseconds duration);
  // The next `times` occurrences of the step (-1: all of them) get the fault.
  void SetLoaderFault(LoaderStep step, StepFault fault, int times = -1);

  // ---- scenario ----
  // A front-panel key pressed on the amplifier itself (not a frame on the wire).
  void PressKey(std::uint8_t code);
  void SetTransmitScript(bool on);
  void RaiseAlarm(std::string text);
  void PowerOff();
  void SetFrameObserver(std::function<void(const FrameEvent&)> observer);  // called under lock

  // ---- observation ----
  AmpState State() const;
  std::uint8_t StatusByte() const;
  Screen CurrentScreen() const;
  // The display data and status of the last display reply sent, as sent
  // (empty data before the first): what a panel that drew that reply shows.
  std::pair<std::vector<std::uint8_t>, std::uint8_t> LastDisplaySent() const;
  std::vector<ReceivedBlock> Blocks() const;
  LoaderPhase Loader() const;
  int FramesReceived() const;
  int BadFrames() const;
  std::size_t GarbageBytes() const;
  int TimeDivisor() const { return divisor_; }
  SimTime Now() const;

 private:
  struct Pending {
    std::uint8_t byte;
    SimTime ready;
  };
  struct StepRule {
    StepFault fault = StepFault::kNone;
    int remaining = 0;
  };

  void Parse(SimTime now);
  void HandleFrame(int syncBytes, std::span<const std::uint8_t> payload, SimTime now);
  void HandleCode(std::uint8_t code, SimTime now);
  void Announce(std::uint8_t tag);
  void BlockData(std::span<const std::uint8_t> data);
  void EndOfPackage();
  void StartLoader();
  void Identify();
  void Acknowledge();
  void Emit(std::span<const std::uint8_t> bytes);
  void EmitDisplay();
  StepFault Rule(LoaderStep step);
  bool Chance(double rate);
  void UpdateLoaderView();
  bool ReadyLocked(SimTime now) const;
  void FloodLocked(SimTime now);

  mutable std::mutex mutex_;

  std::vector<std::uint8_t> lastDisplay_;

  std::uint8_t lastStatus_ = 0;
  std::condition_variable outputReady_;
  const int divisor_;
  TimeSource time_;
  const std::uint8_t identification_;
  mutable AmpModel model_;  // observers move its time on before they look

  std::vector<std::uint8_t> in_;
  std::size_t inPos_ = 0;
  SimTime lastInput_{};
  int frames_ = 0;
  int badFrames_ = 0;
  std::size_t garbage_ = 0;
  std::function<void(const FrameEvent&)> observer_;

  std::deque<Pending> out_;
  SimTime lastWire_{};
  SimTime inputWire_{};  // when the input fed so far has arrived over a paced wire
  SimTime now_{};        // the time of the frame being handled

  FaultSettings faults_;
  std::mt19937 rng_;
  SimTime silentUntil_{};
  int silenceAfterFrames_ = 0;
  milliseconds silenceFor_{0};
  bool cut_ = false;
  std::array<StepRule, kLoaderSteps> stepRules_{};

  LoaderPhase loader_ = LoaderPhase::kIdle;
  std::vector<ReceivedBlock> blocks_;
};

}  // namespace amppanel
