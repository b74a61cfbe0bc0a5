#include "platform/message_target.h"

#include <cctype>
#include <condition_variable>
#include <map>
#include <mutex>
#include <unordered_map>

namespace platform {

struct MessageTarget::State {
  std::mutex mutex;
  bool alive = true;
  std::unordered_map<UINT, Handler> table;

  // Looks the handler up; an empty handler when the target is gone.
  Handler Find(UINT message) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!alive)
      return {};
    auto it = table.find(message);
    return it == table.end() ? Handler{} : it->second;
  }
  bool Alive() {
    std::lock_guard<std::mutex> lock(mutex);
    return alive;
  }
};

namespace {

// Runs `deliver` if the task runs, `discard` if it is destroyed unrun.
class PendingDelivery {
 public:
  PendingDelivery(std::function<bool()> deliver, std::function<void()> discard)
      : deliver_(std::move(deliver)), discard_(std::move(discard)) {}
  ~PendingDelivery() {
    if (!delivered_ && discard_)
      discard_();
  }
  void Run() { delivered_ = deliver_(); }

 private:
  std::function<bool()> deliver_;
  std::function<void()> discard_;
  bool delivered_ = false;
};

}  // namespace

MessageTarget::MessageTarget(Dispatcher& dispatcher)
    : dispatcher_(dispatcher), state_(std::make_shared<State>()) {}

MessageTarget::~MessageTarget() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->alive = false;
  state_->table.clear();
}

void MessageTarget::On(UINT message, Handler handler) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->table[message] = std::move(handler);
}

void MessageTarget::Off(UINT message) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->table.erase(message);
}

bool MessageTarget::Post(UINT message, WPARAM wparam, LPARAM lparam,
                         std::function<void()> discard) {
  auto state = state_;
  auto pending = std::make_shared<PendingDelivery>(
      [state, message, wparam, lparam]() {
        if (!state->Alive())
          return false;
        if (auto handler = state->Find(message))
          handler(wparam, lparam);
        return true;
      },
      std::move(discard));
  return dispatcher_.PostTask([pending] { pending->Run(); });
}

namespace {

// A reply that a waiting sender blocks on until the owner thread runs the
// call, or the call is dropped.
struct Reply {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  bool ran = false;
  LRESULT result = 0;
  void Finish(bool did_run, LRESULT r) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (done)
        return;
      done = true;
      ran = did_run;
      result = r;
    }
    cv.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait(lock, [&] { return done; });
  }
};

// Runs call() on the dispatcher's thread and waits for it.
std::shared_ptr<Reply> RunAndWait(Dispatcher& dispatcher, std::function<LRESULT()> call) {
  auto reply = std::make_shared<Reply>();
  auto pending = std::make_shared<PendingDelivery>(
      [reply, call = std::move(call)]() {
        reply->Finish(true, call());
        return true;
      },
      [reply] { reply->Finish(false, 0); });
  if (!dispatcher.PostTask([pending] { pending->Run(); }))
    return reply;  // discard ran
  pending.reset();
  reply->Wait();
  return reply;
}

}  // namespace

LRESULT MessageTarget::Send(UINT message, WPARAM wparam, LPARAM lparam) {
  if (dispatcher_.IsOwnerThread())
    return Dispatch(message, wparam, lparam);
  auto state = state_;
  auto reply = RunAndWait(dispatcher_, [state, message, wparam, lparam]() -> LRESULT {
    if (auto handler = state->Find(message))
      return handler(wparam, lparam);
    return 0;
  });
  return reply->result;
}

bool MessageTarget::Invoke(std::function<void()> fn) {
  if (dispatcher_.IsOwnerThread()) {
    fn();
    return true;
  }
  auto reply = RunAndWait(dispatcher_, [fn = std::move(fn)]() -> LRESULT {
    fn();
    return 0;
  });
  return reply->ran;
}

LRESULT MessageTarget::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  if (auto handler = state_->Find(message))
    return handler(wparam, lparam);
  return 0;
}

UINT RegisterWindowMessage(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, UINT> numbers;
  if (name.empty())
    return 0;
  // Names compare without regard to case, as the window system's do.
  std::string key = name;
  for (auto& c : key)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::lock_guard<std::mutex> lock(mutex);
  auto it = numbers.find(key);
  if (it != numbers.end())
    return it->second;
  UINT number = 0xC000u + static_cast<UINT>(numbers.size());
  numbers.emplace(key, number);
  return number;
}

}  // namespace platform
