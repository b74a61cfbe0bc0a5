// A locked byte queue of one port (the AT queue or the NMEA queue).
//
// The receive path appends what it reads, stamped with the monotonic clock
// of the moment the bytes were read; the test engine takes whole lines out.
// Each operation holds the lock for one append, one extraction or one
// clearing only.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class LineQueue {
 public:
  // Most bytes the queue holds. Past it, the oldest complete lines are
  // dropped (a queue that nobody drains between tests), or, with no line end
  // in sight (garbage, a wrong baud rate), the oldest bytes; the drop is
  // counted.
  static constexpr std::size_t kDefaultCapacity = 4 * 1024 * 1024;

  explicit LineQueue(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // Appends bytes read at stamp_us (monotonic microseconds).
  void Append(const char* data, std::size_t size, std::int64_t stamp_us = 0);
  // Takes the complete "\r\n" lines out (ExtractLines semantics). With
  // stamps, also gives each line the time its last byte was read.
  void Extract(std::vector<std::string>& lines, std::vector<std::int64_t>* stamps = nullptr);
  void Clear();

  std::size_t Size() const;
  // Bytes dropped by the capacity rule and cut off overlong lines, so far.
  std::uint64_t DroppedBytes() const;
  // Watches for the first append stamped at or after since_us (one still
  // waiting in the queue counts): the moment the first bytes came after a
  // given event. FirstWatchedStamp() is 0 until there is one.
  void WatchFirstAppend(std::int64_t since_us);
  std::int64_t FirstWatchedStamp() const;
  // A copy of the bytes waiting (for tests and diagnostics).
  std::vector<char> Snapshot() const;

 private:
  struct Mark {
    std::uint64_t end;  // absolute offset one past the last byte of an append
    std::int64_t stamp_us;
  };
  void EnforceCapacityLocked();
  void DropFrontLocked(std::size_t n);

  mutable std::mutex mutex_;
  std::vector<char> bytes_;
  std::deque<Mark> marks_;
  std::uint64_t front_offset_ = 0;  // absolute offset of bytes_[0]
  std::uint64_t dropped_ = 0;
  std::size_t capacity_;
  std::int64_t watch_since_us_ = -1;  // -1: no watch
  std::int64_t watched_us_ = 0;
};
