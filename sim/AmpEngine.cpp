#include "sim/AmpEngine.h"

#include <algorithm>
#include <cstdio>

#include "protocol/Frames.h"

namespace amppanel {
namespace {

// A frame whose bytes stop coming for this long is abandoned: whatever arrives
// next is looked at afresh instead of completing a frame begun by line noise.
constexpr milliseconds kStaleInput{500};
constexpr int kMinSyncBytes = 3;
constexpr std::uint8_t kIdentifyType = 0x02;

std::string Hex(unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
  return buffer;
}

// One byte's time on a wire of `baud` (10 bits per byte).
std::chrono::nanoseconds ByteTime(int baud) {
  return baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / baud) : std::chrono::nanoseconds(0);
}

std::uint32_t Sum32(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return sum;
}

// What this amplifier understands; anything else with a right check is noise
// that happened to sum up.
bool KnownCommand(std::span<const std::uint8_t> payload) {
  if (payload.size() == kBlockSize) return true;
  if (payload.size() == 2) return payload[0] == kAnnounceCode;
  if (payload.size() != 1) return false;
  const std::uint8_t code = payload[0];
  return code == kQueryCode || code == kIdentifyCode || code == kEndCode || !KeyName(code).empty();
}

}  // namespace

TimeSource ScaledSteadyTime(int divisor) {
  const auto origin = std::chrono::steady_clock::now();
  const int factor = std::max(divisor, 1);
  return [origin, factor] { return origin + (std::chrono::steady_clock::now() - origin) * factor; };
}

std::vector<std::uint8_t> SumAnswer(std::uint32_t sum) {
  const std::array<std::uint8_t, 4> payload{
      static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8),
      static_cast<std::uint8_t>(sum >> 16), static_cast<std::uint8_t>(sum >> 24)};
  return CommandFrame(3, payload);
}

std::string DescribeFrame(const FrameEvent& event) {
  std::string text = "sync " + std::to_string(event.syncBytes) + ": ";
  const auto& p = event.payload;
  if (!event.checkOk) return text + "bad check, ignored (" + std::to_string(p.size()) + " bytes)";
  if (p.size() == kBlockSize) return text + "block data, sum " + Hex(Sum32(p), 8);
  if (p.size() == 2 && p[0] == kAnnounceCode)
    return text + "block announcement, tag " + Hex(p[1], 2);
  if (p.size() == 1) {
    switch (p[0]) {
      case kQueryCode:
        return text + "display query";
      case kIdentifyCode:
        return text + "identification request";
      case kEndCode:
        return text + "end of package";
      default:
        break;
    }
    const std::string name = KeyName(p[0]);
    if (!name.empty()) return text + "key " + std::to_string(p[0]) + " " + name;
    return text + "unknown code " + std::to_string(p[0]);
  }
  return text + "unknown frame, " + std::to_string(p.size()) + " bytes";
}

AmpEngine::AmpEngine(AmpEngineOptions options)
    : divisor_(std::max(options.timeDivisor, 1)),
      time_(options.time ? std::move(options.time) : ScaledSteadyTime(divisor_)),
      identification_(options.identification),
      model_(options.model, time_()),
      rng_(faults_.seed) {
  lastInput_ = lastWire_ = now_ = time_();
}

SimTime AmpEngine::Now() const { return time_(); }

// ---- input ----

void AmpEngine::Feed(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  const SimTime now = time_();
  if (cut_) return;
  if (inPos_ < in_.size() && now - lastInput_ > kStaleInput) {
    garbage_ += in_.size() - inPos_;
    in_.clear();
    inPos_ = 0;
  }
  lastInput_ = now;
  if (faults_.paceBaud > 0) {
    inputWire_ = std::max(now, inputWire_) + ByteTime(faults_.paceBaud) * bytes.size();
  }
  in_.insert(in_.end(), bytes.begin(), bytes.end());
  Parse(now);
  in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(inPos_));
  inPos_ = 0;
}

void AmpEngine::Parse(SimTime now) {
  while (!cut_) {
    while (inPos_ < in_.size() && in_[inPos_] != kCommandSync) {
      ++inPos_;
      ++garbage_;
    }
    std::size_t run = 0;
    while (inPos_ + run < in_.size() && in_[inPos_ + run] == kCommandSync) ++run;
    if (inPos_ + run >= in_.size()) return;  // the count has not arrived yet
    if (run < kMinSyncBytes) {
      inPos_ += run;
      garbage_ += run;
      continue;
    }
    const std::uint8_t count = in_[inPos_ + run];
    // Only the sizes of real commands are waited for: noise that looks like the
    // start of a long frame would otherwise swallow the commands behind it. A
    // zero count stands for a whole block, which only the running loader takes.
    const bool knownSize =
        count == 1 || count == 2 || (count == 0 && loader_ == LoaderPhase::kActive);
    if (!knownSize) {
      inPos_ += run;
      garbage_ += run;
      continue;
    }
    const std::size_t size = count == 0 ? kBlockSize : count;
    const std::size_t total = run + 1 + size + 1;
    if (in_.size() - inPos_ < total) return;
    const auto payload = std::span(in_).subspan(inPos_ + run + 1, size);
    const bool ok = Sum8(payload) == in_[inPos_ + run + 1 + size];
    if (!ok || !KnownCommand(payload)) {
      // A frame hidden behind noise cannot start inside this sync run (it would
      // share its count and check), so look again from the count byte.
      if (!ok) {
        ++badFrames_;
        if (observer_)
          observer_(FrameEvent{static_cast<int>(run), {payload.begin(), payload.end()}, false});
      }
      inPos_ += run;
      garbage_ += run;
      continue;
    }
    if (observer_) {
      observer_(FrameEvent{static_cast<int>(run), {payload.begin(), payload.end()}, true});
    }
    inPos_ += total;
    ++frames_;
    HandleFrame(static_cast<int>(run), payload, now);
    if (silenceAfterFrames_ > 0 && frames_ == silenceAfterFrames_) {
      silentUntil_ = now + silenceFor_;
    }
    if (faults_.cutAfterFrames > 0 && frames_ >= faults_.cutAfterFrames) cut_ = true;
  }
}

void AmpEngine::HandleFrame(int /*syncBytes*/, std::span<const std::uint8_t> payload, SimTime now) {
  now_ = now;
  model_.Advance(now);
  if (payload.size() == kBlockSize) {
    BlockData(payload);
  } else if (payload.size() == 2 && payload[0] == kAnnounceCode) {
    Announce(payload[1]);
  } else if (payload.size() == 1) {
    HandleCode(payload[0], now);
  }
  if (!model_.Ready() && loader_ != LoaderPhase::kIdle) {
    loader_ = LoaderPhase::kIdle;  // switched off under the loader
    UpdateLoaderView();
  }
}

void AmpEngine::HandleCode(std::uint8_t code, SimTime now) {
  switch (code) {
    case kQueryCode:
      EmitDisplay();
      return;
    case kIdentifyCode:
      Identify();
      return;
    case kEndCode:
      EndOfPackage();
      return;
    case key::kArmLoader:
      if (model_.Ready() && loader_ == LoaderPhase::kIdle) loader_ = LoaderPhase::kArmed;
      UpdateLoaderView();
      return;
    case key::kCancel:
      // Received blocks stay for inspection; the next start clears them.
      loader_ = LoaderPhase::kIdle;
      UpdateLoaderView();
      model_.Key(code, now);
      return;
    case key::kStartLoader:
      StartLoader();
      return;
    case key::kFinishLoader:
      if (loader_ == LoaderPhase::kEnded) {
        std::uint32_t sum = 0;
        for (const auto& b : blocks_) sum += b.sum;
        loader_ = LoaderPhase::kIdle;
        UpdateLoaderView();
        model_.Restart(now, "UPD-" + Hex(sum, 8).substr(2));
      }
      return;
    default:
      model_.Key(code, now);
      return;
  }
}

// ---- loader ----

StepFault AmpEngine::Rule(LoaderStep step) {
  StepRule& rule = stepRules_[static_cast<std::size_t>(step)];
  if (rule.fault == StepFault::kNone || rule.remaining == 0) return StepFault::kNone;
  if (rule.remaining > 0) --rule.remaining;
  return rule.fault;
}

void AmpEngine::Acknowledge() {
  if (!faults_.neverAcknowledge) Emit(kAckFrame);
}

void AmpEngine::Identify() {
  if (!model_.Ready()) return;
  const StepFault fault = Rule(LoaderStep::kIdentify);
  if (fault == StepFault::kSilent) return;
  std::array<std::uint8_t, 8> answer{kReplySync, kReplySync,    kReplySync,      0x02,
                                     0xFD,       kIdentifyType, identification_, 0};
  answer[7] = static_cast<std::uint8_t>(kIdentifyType + identification_);
  if (fault == StepFault::kFail) answer[7] ^= 0xFF;
  Emit(answer);
}

void AmpEngine::StartLoader() {
  if (!model_.Ready()) return;
  const StepFault fault = Rule(LoaderStep::kStart);
  if (fault == StepFault::kSilent) return;
  // Firmware is only taken in standby: never while the tube may be keyed.
  const bool allowed = loader_ == LoaderPhase::kActive || model_.Idle();
  if (fault == StepFault::kFail || !allowed) {
    Emit(kNakFrame);
    return;
  }
  loader_ = LoaderPhase::kActive;
  blocks_.clear();
  UpdateLoaderView();
  Acknowledge();
}

void AmpEngine::Announce(std::uint8_t tag) {
  if (loader_ != LoaderPhase::kActive) return;
  const StepFault fault = Rule(LoaderStep::kAnnounce);
  if (fault == StepFault::kSilent) return;
  if (fault == StepFault::kFail) {
    Emit(kNakFrame);
    return;
  }
  // A repeated announcement (its acknowledgement was lost) names the same block.
  if (blocks_.empty() || !blocks_.back().data.empty()) blocks_.emplace_back();
  blocks_.back().tag = tag;
  UpdateLoaderView();
  Acknowledge();
}

void AmpEngine::BlockData(std::span<const std::uint8_t> data) {
  if (loader_ != LoaderPhase::kActive || blocks_.empty()) return;
  const StepFault fault = Rule(LoaderStep::kData);
  if (fault == StepFault::kSilent) return;
  // A repeated data frame (its sum answer was lost) replaces the block's data.
  ReceivedBlock& block = blocks_.back();
  block.data.assign(data.begin(), data.end());
  block.sum = Sum32(data);
  UpdateLoaderView();
  Emit(SumAnswer(fault == StepFault::kFail ? block.sum + 1 : block.sum));
}

void AmpEngine::EndOfPackage() {
  if (loader_ != LoaderPhase::kActive) return;
  const StepFault fault = Rule(LoaderStep::kEnd);
  if (fault == StepFault::kSilent) return;
  std::uint32_t sum = 0;
  for (const auto& b : blocks_) sum += b.sum;
  loader_ = LoaderPhase::kEnded;
  UpdateLoaderView();
  Emit(SumAnswer(fault == StepFault::kFail ? sum + 1 : sum));
}

void AmpEngine::UpdateLoaderView() {
  LoaderView view{loader_, 0, 0};
  for (const auto& b : blocks_) {
    if (b.data.empty()) continue;
    ++view.blocks;
    view.bytes += b.data.size();
  }
  model_.SetLoaderView(view);
}

// ---- output ----

bool AmpEngine::Chance(double rate) {
  const auto draw = rng_();  // drawn whatever the rate, so runs stay comparable
  if (rate <= 0) return false;
  if (rate >= 1) return true;
  return static_cast<double>(draw) < rate * 4294967296.0;
}

void AmpEngine::EmitDisplay() {
  const auto data = model_.Compose().Bytes();
  const std::uint8_t status = model_.StatusByte();
  lastDisplay_.assign(data.begin(), data.end());
  lastStatus_ = status;
  std::vector<std::uint8_t> reply = DisplayReply(
      faults_.replyFault == ReplyFault::kWrongType ? 0x02 : kDisplayReplyType, status, data);
  if (faults_.replyFault == ReplyFault::kBadComplement) reply[5] ^= 0x01;
  if (faults_.replyFault == ReplyFault::kBadCheck) {
    const std::size_t at = reply.size() - 2;
    const auto check = static_cast<std::uint16_t>(ReadLe16(&reply[at]) + 1);
    reply[at] = static_cast<std::uint8_t>(check);
    reply[at + 1] = static_cast<std::uint8_t>(check >> 8);
  }
  Emit(reply);
}

void AmpEngine::Emit(std::span<const std::uint8_t> bytes) {
  const SimTime now = now_;
  if (cut_ || now < silentUntil_) return;
  const auto byteTime = ByteTime(faults_.paceBaud);
  SimTime t = std::max(now, lastWire_);
  if (faults_.paceBaud > 0) t = std::max(t, inputWire_);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    t += byteTime;
    if (faults_.splitSize > 0 && i > 0 && i % faults_.splitSize == 0) t += faults_.splitGap;
    const bool drop = Chance(faults_.dropRate);
    const bool corrupt = Chance(faults_.corruptRate);
    const bool delay = Chance(faults_.delayRate);
    const auto flip = static_cast<std::uint8_t>(1 + rng_() % 255);
    if (delay) t += faults_.delay;
    lastWire_ = t;
    if (drop) continue;  // lost on the way, after taking its time on the wire
    out_.push_back({static_cast<std::uint8_t>(corrupt ? bytes[i] ^ flip : bytes[i]), t});
  }
  outputReady_.notify_all();
}

// Queued only as far as kFloodAhead: readers come back sooner than that, and
// an answer must not wait behind an endless queue of noise.
void AmpEngine::FloodLocked(SimTime now) {
  if (faults_.floodByte == kNoFlood || cut_) return;
  const auto byteTime = ByteTime(faults_.paceBaud > 0 ? faults_.paceBaud : kDefaultPaceBaud);
  SimTime t = std::max(now, lastWire_);
  while (t < now + kFloodAhead) {
    t += byteTime;
    const auto byte = static_cast<std::uint8_t>(
        faults_.floodByte == kFloodRandom ? rng_() : static_cast<unsigned>(faults_.floodByte));
    out_.push_back({byte, t});
  }
  lastWire_ = t;
}

bool AmpEngine::ReadyLocked(SimTime now) const {
  return !out_.empty() && out_.front().ready <= now;
}

std::size_t AmpEngine::Take(std::span<std::uint8_t> out) {
  std::lock_guard lock(mutex_);
  const SimTime now = time_();
  FloodLocked(now);
  std::size_t n = 0;
  while (n < out.size() && ReadyLocked(now)) {
    out[n++] = out_.front().byte;
    out_.pop_front();
  }
  return n;
}

std::vector<std::uint8_t> AmpEngine::TakeAll() {
  std::lock_guard lock(mutex_);
  const SimTime now = time_();
  FloodLocked(now);
  std::vector<std::uint8_t> bytes;
  while (ReadyLocked(now)) {
    bytes.push_back(out_.front().byte);
    out_.pop_front();
  }
  return bytes;
}

bool AmpEngine::WaitForOutput(std::chrono::steady_clock::duration wait) {
  using Steady = std::chrono::steady_clock;
  const auto deadline = Steady::now() + wait;
  std::unique_lock lock(mutex_);
  for (;;) {
    const SimTime now = time_();
    FloodLocked(now);
    if (ReadyLocked(now)) return true;
    const auto real = Steady::now();
    if (real >= deadline) return false;
    // Bytes on their way become ready by the clock, not by a notification:
    // look again soon.
    const auto until = out_.empty() ? deadline : std::min(deadline, real + milliseconds(1));
    outputReady_.wait_until(lock, until);
  }
}

void AmpEngine::Purge() {
  std::lock_guard lock(mutex_);
  const SimTime now = time_();
  while (ReadyLocked(now)) out_.pop_front();
}

void AmpEngine::DiscardOutput() {
  std::lock_guard lock(mutex_);
  out_.clear();
}

bool AmpEngine::HasPendingOutput() const {
  std::lock_guard lock(mutex_);
  return !out_.empty();
}

SimTime AmpEngine::NextOutputTime() const {
  std::lock_guard lock(mutex_);
  return out_.empty() ? time_() : out_.front().ready;
}

void AmpEngine::SetOnLine(bool high) {
  std::lock_guard lock(mutex_);
  model_.OnLine(high, time_());
}

bool AmpEngine::LinkCut() const {
  std::lock_guard lock(mutex_);
  return cut_;
}

// ---- faults and scenario ----

void AmpEngine::SetFaults(const FaultSettings& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
  rng_.seed(faults.seed);
  if (faults_.cutAfterFrames > 0 && frames_ >= faults_.cutAfterFrames) cut_ = true;
}

FaultSettings AmpEngine::Faults() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

void AmpEngine::StopAnswering(milliseconds duration) {
  std::lock_guard lock(mutex_);
  silentUntil_ = time_() + duration;
}

void AmpEngine::StopAnsweringAfter(int frames, milliseconds duration) {
  std::lock_guard lock(mutex_);
  if (frames <= 0) {
    silentUntil_ = time_() + duration;
    silenceAfterFrames_ = 0;
    return;
  }
  silenceAfterFrames_ = frames_ + frames;
  silenceFor_ = duration;
}

void AmpEngine::SetLoaderFault(LoaderStep step, StepFault fault, int times) {
  std::lock_guard lock(mutex_);
  stepRules_[static_cast<std::size_t>(step)] = {fault, times};
}

void AmpEngine::PressKey(std::uint8_t code) {
  std::lock_guard lock(mutex_);
  model_.Key(code, time_());
  if (!model_.Ready()) loader_ = LoaderPhase::kIdle;
}

void AmpEngine::SetTransmitScript(bool on) {
  std::lock_guard lock(mutex_);
  model_.SetTransmitScript(on, time_());
}

void AmpEngine::RaiseAlarm(std::string text) {
  std::lock_guard lock(mutex_);
  model_.Advance(time_());
  model_.RaiseAlarm(std::move(text));
}

void AmpEngine::PowerOff() {
  std::lock_guard lock(mutex_);
  model_.PowerOff();
  loader_ = LoaderPhase::kIdle;
}

void AmpEngine::SetFrameObserver(std::function<void(const FrameEvent&)> observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

// ---- observation ----

AmpState AmpEngine::State() const {
  std::lock_guard lock(mutex_);
  model_.Advance(time_());
  return model_.State();
}

std::uint8_t AmpEngine::StatusByte() const {
  std::lock_guard lock(mutex_);
  model_.Advance(time_());
  return model_.StatusByte();
}

Screen AmpEngine::CurrentScreen() const {
  std::lock_guard lock(mutex_);
  model_.Advance(time_());
  return model_.Compose();
}

std::pair<std::vector<std::uint8_t>, std::uint8_t> AmpEngine::LastDisplaySent() const {
  std::lock_guard lock(mutex_);
  return {lastDisplay_, lastStatus_};
}

std::vector<ReceivedBlock> AmpEngine::Blocks() const {
  std::lock_guard lock(mutex_);
  return blocks_;
}

LoaderPhase AmpEngine::Loader() const {
  std::lock_guard lock(mutex_);
  return loader_;
}

int AmpEngine::FramesReceived() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

int AmpEngine::BadFrames() const {
  std::lock_guard lock(mutex_);
  return badFrames_;
}

std::size_t AmpEngine::GarbageBytes() const {
  std::lock_guard lock(mutex_);
  return garbage_;
}

}  // namespace amppanel
