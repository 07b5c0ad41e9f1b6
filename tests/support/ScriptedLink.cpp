#include "tests/support/ScriptedLink.h"

#include <algorithm>

namespace amppanel::test {

void ScriptedLink::QueueReply(Bytes reply) {
  std::lock_guard lock(mutex_);
  replies_.push_back(std::move(reply));
}

void ScriptedLink::Feed(const Bytes& bytes) {
  std::lock_guard lock(mutex_);
  input_.insert(input_.end(), bytes.begin(), bytes.end());
}

int ScriptedLink::Open(const LinkSettings&) {
  std::lock_guard lock(mutex_);
  ++openCalls_;
  events_.push_back("open");
  int status = 0;
  if (!opens_.empty()) {
    status = opens_.front();
    opens_.pop_front();
  }
  open_ = status == 0;
  return status;
}

void ScriptedLink::Close() {
  std::lock_guard lock(mutex_);
  events_.push_back("close");
  open_ = false;
}

bool ScriptedLink::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

LinkResult ScriptedLink::Write(std::span<const std::uint8_t> data) {
  std::lock_guard lock(mutex_);
  ++writes_;
  if (auto it = writeFailures_.find(writes_); it != writeFailures_.end()) return {it->second, 0};
  written_.emplace_back(data.begin(), data.end());
  if (!replies_.empty()) {
    input_.insert(input_.end(), replies_.front().begin(), replies_.front().end());
    replies_.pop_front();
  } else if (responder) {
    const Bytes reply = responder(written_.back());
    input_.insert(input_.end(), reply.begin(), reply.end());
  }
  return {0, data.size()};
}

LinkResult ScriptedLink::Read(std::span<std::uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  ++reads_;
  if (everyReadStatus_ != 0) return {everyReadStatus_, 0};
  if (auto it = readFailures_.find(reads_); it != readFailures_.end()) return {it->second, 0};
  std::size_t n = std::min(buffer.size(), input_.size());
  if (readChunk_ != 0) n = std::min(n, readChunk_);
  std::copy_n(input_.begin(), n, buffer.begin());
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
  return {0, n};
}

void ScriptedLink::FailEveryRead(int status) {
  std::lock_guard lock(mutex_);
  everyReadStatus_ = status;
}

int ScriptedLink::Purge() {
  std::lock_guard lock(mutex_);
  ++purges_;
  events_.push_back("purge");
  input_.clear();
  if (auto it = purgeFailures_.find(purges_); it != purgeFailures_.end()) return it->second;
  return 0;
}

void ScriptedLink::LinePulse() {
  std::lock_guard lock(mutex_);
  events_.push_back("pulse");
}

void ScriptedLink::LineRest() {
  std::lock_guard lock(mutex_);
  events_.push_back("rest");
}

void ScriptedLink::AfterFailure() {
  std::lock_guard lock(mutex_);
  events_.push_back("after-failure");
}

void ScriptedLink::Configure() {
  {
    std::lock_guard lock(mutex_);
    events_.push_back("configure");
  }
  if (onConfigure) onConfigure();
}

std::vector<Bytes> ScriptedLink::Writes() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::vector<std::string> ScriptedLink::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

int ScriptedLink::OpenCalls() const {
  std::lock_guard lock(mutex_);
  return openCalls_;
}

int ScriptedLink::ReadCalls() const {
  std::lock_guard lock(mutex_);
  return reads_;
}

std::size_t ScriptedLink::Pending() const {
  std::lock_guard lock(mutex_);
  return input_.size();
}

}  // namespace amppanel::test
