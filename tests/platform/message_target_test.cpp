#include "platform/message_target.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/message_loop.h"

namespace {

using platform::MessageLoop;
using platform::MessageTarget;

TEST(MessageTarget, PostedMessagesArriveInOrderOnTheOwnerThread) {
  MessageLoop loop;
  MessageTarget target(loop);
  std::vector<WPARAM> got;
  std::vector<std::thread::id> threads;
  target.On(WM_USER + 1, [&](WPARAM w, LPARAM) {
    got.push_back(w);
    threads.push_back(std::this_thread::get_id());
    return 0;
  });
  std::thread poster([&] {
    for (WPARAM i = 0; i < 100; ++i)
      target.Post(WM_USER + 1, i, 0);
  });
  poster.join();
  EXPECT_TRUE(got.empty());  // nothing runs before the loop does
  loop.ProcessPending();
  ASSERT_EQ(got.size(), 100u);
  for (WPARAM i = 0; i < 100; ++i)
    EXPECT_EQ(got[i], i);
  for (auto id : threads)
    EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(MessageTarget, SendRunsOnOwnerThreadWhileCallerWaits) {
  MessageLoop loop;
  MessageTarget target(loop);
  const auto owner = std::this_thread::get_id();
  std::thread::id ran_on;
  target.On(WM_USER + 1005, [&](WPARAM w, LPARAM l) -> LRESULT {
    ran_on = std::this_thread::get_id();
    return static_cast<LRESULT>(w) + l;
  });
  std::atomic<LRESULT> result{-1};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = target.Send(WM_USER + 1005, 40, 2);
    done = true;
  });
  ASSERT_TRUE(loop.RunUntil([&] { return done.load(); }, 5000));
  worker.join();
  EXPECT_EQ(result.load(), 42);
  EXPECT_EQ(ran_on, owner);
}

TEST(MessageTarget, SendFromTheOwnerThreadRunsInline) {
  MessageLoop loop;
  MessageTarget target(loop);
  int calls = 0;
  target.On(WM_USER + 1006, [&](WPARAM, LPARAM) -> LRESULT { return ++calls; });
  EXPECT_EQ(target.Send(WM_USER + 1006), 1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(loop.ProcessPending(), 0u);
}

TEST(MessageTarget, UnknownMessageGivesZero) {
  MessageLoop loop;
  MessageTarget target(loop);
  EXPECT_EQ(target.Send(WM_USER + 7), 0);
}

TEST(MessageTarget, PostAfterLoopClosedDiscardsPayload) {
  MessageLoop loop;
  MessageTarget target(loop);
  loop.Close();
  bool discarded = false;
  EXPECT_FALSE(target.Post(WM_USER, 0, 0, [&] { discarded = true; }));
  EXPECT_TRUE(discarded);
}

TEST(MessageTarget, QueuedPostsForADestroyedTargetAreDiscarded) {
  MessageLoop loop;
  int discarded = 0, handled = 0;
  {
    MessageTarget target(loop);
    target.On(WM_USER, [&](WPARAM, LPARAM) -> LRESULT { return ++handled; });
    target.Post(WM_USER, 0, 0, [&] { ++discarded; });
    target.Post(WM_USER, 0, 0, [&] { ++discarded; });
  }
  loop.ProcessPending();
  EXPECT_EQ(handled, 0);
  EXPECT_EQ(discarded, 2);
}

TEST(MessageTarget, DeliveredPostDoesNotDiscard) {
  MessageLoop loop;
  MessageTarget target(loop);
  int discarded = 0;
  target.Post(WM_USER, 0, 0, [&] { ++discarded; });
  loop.ProcessPending();
  EXPECT_EQ(discarded, 0);
}

TEST(MessageTarget, ClosingTheLoopReleasesAWaitingSender) {
  MessageLoop loop;
  MessageTarget target(loop);
  target.On(WM_USER, [](WPARAM, LPARAM) -> LRESULT { return 7; });
  std::atomic<bool> done{false};
  LRESULT result = -1;
  std::thread worker([&] {
    result = target.Send(WM_USER);
    done = true;
  });
  // Wait until the send is queued, then shut the loop down instead of running it.
  while (loop.PendingCount() == 0)
    std::this_thread::yield();
  loop.Close();
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(result, 0);
  // A send from another thread to a closed loop returns at once.
  std::thread late([&] { result = target.Send(WM_USER); });
  late.join();
  EXPECT_EQ(result, 0);
}

TEST(MessageLoop, RunReturnsOnQuitFromAnotherThread) {
  MessageLoop loop;
  int ran = 0;
  std::thread poster([&] {
    loop.PostTask([&] { ++ran; });
    loop.PostTask([&] { loop.Quit(); });
  });
  loop.Run();
  poster.join();
  EXPECT_EQ(ran, 1);
}

TEST(MessageLoop, RunUntilTimesOut) {
  MessageLoop loop;
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 30));
}

TEST(RegisterWindowMessage, SameNameSameNumberInTheRegisteredRange) {
  const UINT a = platform::RegisterWindowMessage("CSerialWnd_DefaultComMsg");
  const UINT b = platform::RegisterWindowMessage("CSerialWnd_DefaultComMsg");
  const UINT c = platform::RegisterWindowMessage("csERIALwND_dEFAULTcOMmSG");
  const UINT d = platform::RegisterWindowMessage("SomethingElse");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_NE(a, d);
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(platform::RegisterWindowMessage(""), 0u);
}

}  // namespace

namespace {

TEST(MessageTarget, InvokeRunsOnTheOwnerThreadAndWaits) {
  platform::MessageLoop loop;
  platform::MessageTarget target(loop);
  const auto owner = std::this_thread::get_id();
  std::thread::id ran_on;
  std::atomic<bool> done{false};
  bool result = false;
  std::thread worker([&] {
    result = target.Invoke([&] { ran_on = std::this_thread::get_id(); });
    done = true;
  });
  ASSERT_TRUE(loop.RunUntil([&] { return done.load(); }, 5000));
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(ran_on, owner);
  loop.Close();
  std::thread late([&] { result = target.Invoke([] {}); });
  late.join();
  EXPECT_FALSE(result);  // nothing runs once the loop is gone
}

}  // namespace
