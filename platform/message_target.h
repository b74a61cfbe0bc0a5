// A message target: the stand-in for a window that receives messages.
//
// It keeps a message table (message number -> handler) and delivers
// messages on its dispatcher's owner thread:
//  - Post queues the message and returns at once;
//  - Send runs the handler on the owner thread while the caller waits for
//    its result; a Send from the owner thread itself runs inline.
// A message that can no longer be delivered (the target destroyed, the
// dispatcher shut down) is dropped: a Post's discard callback then runs, so a
// payload passed by pointer is freed, and a waiting Send returns 0.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/dispatcher.h"
#include "platform/win_types.h"

namespace platform {

class MessageTarget {
 public:
  using Handler = std::function<LRESULT(WPARAM, LPARAM)>;

  explicit MessageTarget(Dispatcher& dispatcher);
  ~MessageTarget();
  MessageTarget(const MessageTarget&) = delete;
  MessageTarget& operator=(const MessageTarget&) = delete;

  // Enters (or replaces) the handler of a message number in the table.
  void On(UINT message, Handler handler);
  // Removes a message number from the table.
  void Off(UINT message);

  bool Post(UINT message, WPARAM wparam = 0, LPARAM lparam = 0, std::function<void()> discard = {});
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
  // Runs fn on the owner thread while the caller waits (inline when called
  // there). Returns false when it could not run (the dispatcher is gone).
  bool Invoke(std::function<void()> fn);
  // Runs the handler now, on the calling thread; 0 when the table has none.
  LRESULT Dispatch(UINT message, WPARAM wparam, LPARAM lparam);

  Dispatcher& dispatcher() { return dispatcher_; }

 private:
  struct State;
  Dispatcher& dispatcher_;
  std::shared_ptr<State> state_;
};

// RegisterWindowMessageA semantics: the same name always gives the same
// number, numbers start in the 0xC000 range; an empty name gives 0.
UINT RegisterWindowMessage(const std::string& name);

}  // namespace platform
