// An in-memory link for protocol tests: answers each write from a script,
// records what was written, and fails chosen operations with chosen statuses.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "link/Link.h"

namespace amppanel::test {

using Bytes = std::vector<std::uint8_t>;

class ScriptedLink : public Link {
 public:
  // Bytes that become readable after the next write.
  void QueueReply(Bytes reply);
  // Bytes readable now (before any write).
  void Feed(const Bytes& bytes);
  // At most this many bytes per Read call (0: no limit).
  void SetReadChunk(std::size_t n) { readChunk_ = n; }
  // The n-th call (1-based, counted over all calls of that kind) reports status.
  void FailRead(int nth, int status) { readFailures_[nth] = status; }
  void FailWrite(int nth, int status) { writeFailures_[nth] = status; }
  void FailPurge(int nth, int status) { purgeFailures_[nth] = status; }
  // From now on every read reports status (a device that went away).
  void FailEveryRead(int status);
  // Open results, one per attempt; once used up, opens succeed.
  void ScriptOpens(std::vector<int> statuses) { opens_.assign(statuses.begin(), statuses.end()); }

  int Open(const LinkSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  LinkResult Write(std::span<const std::uint8_t> data) override;
  LinkResult Read(std::span<std::uint8_t> buffer) override;
  int Purge() override;
  void LinePulse() override;
  void LineRest() override;
  void Configure() override;
  void AfterFailure() override;

  std::string OpenProblem() const override { return openProblem; }

  std::function<void()> onConfigure;
  // What the link says about its failed opens.
  std::string openProblem;
  // When set, answers every write that has no queued reply (called under the
  // link's lock; must not call back into the link).
  std::function<Bytes(const Bytes& written)> responder;

  std::vector<Bytes> Writes() const;
  std::vector<std::string> Events() const;
  int OpenCalls() const;
  int ReadCalls() const;
  std::size_t Pending() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::uint8_t> input_;
  std::deque<Bytes> replies_;
  std::deque<int> opens_;
  std::size_t readChunk_ = 0;
  std::map<int, int> readFailures_, writeFailures_, purgeFailures_;
  int reads_ = 0, writes_ = 0, purges_ = 0, openCalls_ = 0;
  bool open_ = false;
  int everyReadStatus_ = 0;
  std::vector<Bytes> written_;
  std::vector<std::string> events_;
};

}  // namespace amppanel::test
