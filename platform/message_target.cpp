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
    if (!alive) return {};
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
    if (!delivered_ && discard_) discard_();
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
        if (!state->Alive()) return false;
        if (auto handler = state->Find(message)) handler(wparam, lparam);
        return true;
      },
      std::move(discard));
  return dispatcher_.PostTask([pending] { pending->Run(); });
}

LRESULT MessageTarget::Send(UINT message, WPARAM wparam, LPARAM lparam) {
  if (dispatcher_.IsOwnerThread()) return Dispatch(message, wparam, lparam);

  struct Reply {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    LRESULT result = 0;
    void Finish(LRESULT r) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (done) return;
        done = true;
        result = r;
      }
      cv.notify_all();
    }
  };
  auto reply = std::make_shared<Reply>();
  auto state = state_;
  auto pending = std::make_shared<PendingDelivery>(
      [state, reply, message, wparam, lparam]() {
        LRESULT r = 0;
        if (auto handler = state->Find(message)) r = handler(wparam, lparam);
        reply->Finish(r);
        return true;
      },
      [reply] { reply->Finish(0); });
  if (!dispatcher_.PostTask([pending] { pending->Run(); })) return 0;
  pending.reset();
  std::unique_lock<std::mutex> lock(reply->mutex);
  reply->cv.wait(lock, [&] { return reply->done; });
  return reply->result;
}

LRESULT MessageTarget::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  if (auto handler = state_->Find(message)) return handler(wparam, lparam);
  return 0;
}

UINT RegisterWindowMessage(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, UINT> numbers;
  if (name.empty()) return 0;
  // Names compare without regard to case, as the window system's do.
  std::string key = name;
  for (auto& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::lock_guard<std::mutex> lock(mutex);
  auto it = numbers.find(key);
  if (it != numbers.end()) return it->second;
  UINT number = 0xC000u + static_cast<UINT>(numbers.size());
  numbers.emplace(key, number);
  return number;
}

}  // namespace platform
