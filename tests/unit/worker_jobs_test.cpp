#include "platform/worker_jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

// 200 jobs that each hold their place for 20 ms: never more than 64 at once,
// yet far more than one; each finished with its own result.
TEST(WorkerJobs, AtMost64RunAtOnceAndEachLeavesItsResult) {
  std::atomic<int> running{0}, most{0};
  std::vector<int> results(200, -1);
  {
    WorkerJobs jobs;
    for (int n = 0; n < 200; ++n) {
      const std::size_t number = StartJob(jobs, [&, n] {
        const int now = ++running;
        for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        results[n] = n * 3;
        --running;
      });
      EXPECT_EQ(number, static_cast<std::size_t>(n));
    }
    WaitForJob(jobs, 199);
    EXPECT_TRUE(JobFinished(jobs, 199));
    for (int n = 0; n < 200; ++n) {
      WaitForJob(jobs, n);
      EXPECT_EQ(results[n], n * 3) << n;
    }
  }
  EXPECT_LE(most.load(), 64);
  EXPECT_GT(most.load(), 8);
}
