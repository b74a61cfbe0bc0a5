#include "serial/line_queue.h"

#include <algorithm>
#include <cstring>

#include "serial/extract_lines.h"

void LineQueue::Append(const char* data, std::size_t size, std::int64_t stamp_us) {
  if (size == 0)
    return;
  std::lock_guard<std::mutex> lock(mutex_);
  bytes_.insert(bytes_.end(), data, data + size);
  if (watch_since_us_ >= 0 && watched_us_ == 0 && stamp_us >= watch_since_us_)
    watched_us_ = stamp_us;
  marks_.push_back({front_offset_ + bytes_.size(), stamp_us});
  if (bytes_.size() > capacity_)
    EnforceCapacityLocked();
}

void LineQueue::DropFrontLocked(std::size_t n) {
  n = std::min(n, bytes_.size());
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
  front_offset_ += n;
  dropped_ += n;
  while (!marks_.empty() && marks_.front().end <= front_offset_)
    marks_.pop_front();
}

void LineQueue::EnforceCapacityLocked() {
  // Keep the newest half of the capacity, cut at a line start where there is
  // one, so that no complete line is split and a partial line stays whole.
  const std::size_t keep = capacity_ / 2;
  const std::size_t excess = bytes_.size() - keep;
  const char* data = bytes_.data();
  std::size_t cut = excess;
  // First line start at or after `excess`: just behind a "\r\n".
  std::size_t p = excess > 0 ? excess - 1 : 0;
  bool found = false;
  while (p + 1 < bytes_.size()) {
    const void* r = std::memchr(data + p, '\r', bytes_.size() - p - 1);
    if (!r)
      break;
    p = static_cast<std::size_t>(static_cast<const char*>(r) - data);
    if (data[p + 1] == '\n') {
      cut = p + 2;
      found = true;
      break;
    }
    ++p;
  }
  if (!found)
    cut = excess;  // no line end: garbage, keep the newest bytes
  DropFrontLocked(cut);
}

void LineQueue::Extract(std::vector<std::string>& lines, std::vector<std::int64_t>* stamps) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bytes_.empty())
    return;
  // Where each line ends, to stamp it; found before the bytes move.
  std::vector<std::uint64_t> ends;
  if (stamps) {
    const char* d = bytes_.data();
    for (std::size_t i = 0; i + 1 < bytes_.size(); ++i) {
      if (d[i] == '\r' && d[i + 1] == '\n') {
        ends.push_back(front_offset_ + i + 2);
        ++i;
      }
    }
  }
  const std::size_t before = bytes_.size();
  dropped_ += ExtractLines(bytes_, lines, "\r\n");
  front_offset_ += before - bytes_.size();
  if (stamps) {
    stamps->clear();
    std::size_t m = 0;
    for (auto end : ends) {
      while (m < marks_.size() && marks_[m].end < end)
        ++m;
      stamps->push_back(m < marks_.size() ? marks_[m].stamp_us : 0);
    }
  }
  while (!marks_.empty() && marks_.front().end <= front_offset_)
    marks_.pop_front();
}

void LineQueue::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  front_offset_ += bytes_.size();
  bytes_.clear();
  marks_.clear();
}

std::size_t LineQueue::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_.size();
}

std::uint64_t LineQueue::DroppedBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

void LineQueue::WatchFirstAppend(std::int64_t since_us) {
  std::lock_guard<std::mutex> lock(mutex_);
  watch_since_us_ = since_us;
  watched_us_ = 0;
  for (const Mark& m : marks_) {
    if (m.stamp_us >= since_us) {
      watched_us_ = m.stamp_us;
      break;
    }
  }
}

std::int64_t LineQueue::FirstWatchedStamp() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return watched_us_;
}

std::vector<char> LineQueue::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}
