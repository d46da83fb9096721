// The hand-over queue with real threads: a request waits for its answer with a bound, in real time.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "api/api_queue.h"

namespace telvano::api {
namespace {

using namespace std::chrono_literals;

ApiRequest Named(const std::string& key) { return {ApiRequest::Kind::GetInvoice, key, {}, {}}; }

// Waits (without a fixed sleep) until `count` requests are queued.
void AwaitQueued(ApiQueue& queue, std::size_t count, std::vector<ApiQueue::Ticket>& taken) {
  while (taken.size() < count) {
    ASSERT_TRUE(queue.WaitForRequest(10s));
    queue.ClearWake();
    while (auto ticket = queue.Take()) taken.push_back(std::move(*ticket));
  }
}

TEST(ApiQueue, TakenOneAtATimeInArrivalOrderAndEachAnswerReachesItsSender) {
  ApiQueue queue;
  std::vector<std::future<ApiQueue::Waited>> senders;
  std::vector<ApiQueue::Ticket> taken;
  for (int i = 0; i < 5; ++i) {
    senders.push_back(std::async(std::launch::async, [&queue, i] { return queue.Submit(Named("k" + std::to_string(i)), 30s); }));
    AwaitQueued(queue, static_cast<std::size_t>(i + 1), taken);  // the next one arrives after this one
  }
  for (std::size_t i = 0; i < taken.size(); ++i) {
    EXPECT_EQ(taken[i].Request().key, "k" + std::to_string(i));
    queue.Answer(taken[i], {200, "answer " + taken[i].Request().key, {}});
  }
  for (int i = 0; i < 5; ++i) {
    const ApiQueue::Waited waited = senders[i].get();
    ASSERT_TRUE(waited.answer);
    EXPECT_EQ(waited.answer->body, "answer k" + std::to_string(i));
  }
}

TEST(ApiQueue, ARequestNotTakenInTimeIsWithdrawnAndNeverTaken) {
  ApiQueue queue;
  const ApiQueue::Waited waited = queue.Submit(Named("late"), 0ms);
  EXPECT_FALSE(waited.answer);
  EXPECT_FALSE(waited.taken);
  EXPECT_FALSE(queue.Take());
}

TEST(ApiQueue, ARequestTakenButNotAnsweredInTimeSaysSo) {
  ApiQueue queue;
  auto sender = std::async(std::launch::async, [&queue] { return queue.Submit(Named("slow"), 200ms); });
  std::vector<ApiQueue::Ticket> taken;
  AwaitQueued(queue, 1, taken);
  const ApiQueue::Waited waited = sender.get();  // its bound passes while the ticket is held
  EXPECT_FALSE(waited.answer);
  EXPECT_TRUE(waited.taken);
  queue.Answer(taken.front(), {200, "too late", {}});  // answering it afterwards harms nobody
}

TEST(ApiQueue, ClosingReleasesTheWaitingAndRefusesTheNew) {
  ApiQueue queue;
  auto sender = std::async(std::launch::async, [&queue] { return queue.Submit(Named("waiting"), 30s); });
  ASSERT_TRUE(queue.WaitForRequest(10s));
  queue.Close();
  const ApiQueue::Waited waited = sender.get();
  EXPECT_FALSE(waited.answer);
  EXPECT_FALSE(waited.taken);
  EXPECT_FALSE(queue.Submit(Named("after"), 30s).answer);
  EXPECT_FALSE(queue.Take());
}

}  // namespace
}  // namespace telvano::api
