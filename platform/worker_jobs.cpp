#include "platform/worker_jobs.h"

#include <system_error>

namespace {

void RunWorker(WorkerJobs &jobs) {
  std::unique_lock<std::mutex> lock(jobs.Mutex);
  for (;;) {
    if (jobs.Waiting.empty()) {
      if (jobs.Ending) return;
      ++jobs.Idle;
      jobs.Wake.wait(lock);
      --jobs.Idle;
      continue;
    }
    auto [number, job] = std::move(jobs.Waiting.front());
    jobs.Waiting.pop_front();
    lock.unlock();
    job();
    job = nullptr;  // what it holds goes before its result is read
    lock.lock();
    jobs.Done[number] = true;
    jobs.Finished.notify_all();
  }
}

}  // namespace

WorkerJobs::~WorkerJobs() {
  {
    std::lock_guard<std::mutex> lock(Mutex);
    Ending = true;
  }
  Wake.notify_all();
  for (std::thread &thread : Threads) thread.join();
}

std::size_t StartJob(WorkerJobs &jobs, std::function<void()> job) {
  std::unique_lock<std::mutex> lock(jobs.Mutex);
  const std::size_t number = jobs.Done.size();
  jobs.Done.push_back(false);
  jobs.Waiting.emplace_back(number, std::move(job));
  // Each idle worker takes one of the jobs waiting.
  if (jobs.Waiting.size() <= jobs.Idle) {
    jobs.Wake.notify_one();
    return number;
  }
  if (jobs.Threads.size() < kMaxWorkerThreads) {
    try {
      jobs.Threads.emplace_back(RunWorker, std::ref(jobs));
      return number;
    } catch (const std::system_error &) {
      // The system gives no more threads: those running take the job.
    }
  }
  if (!jobs.Threads.empty()) return number;
  // Not a single worker: the job runs on this thread.
  auto waiting = std::move(jobs.Waiting.back().second);
  jobs.Waiting.pop_back();
  lock.unlock();
  waiting();
  lock.lock();
  jobs.Done[number] = true;
  return number;
}

bool JobFinished(WorkerJobs &jobs, std::size_t number) {
  std::lock_guard<std::mutex> lock(jobs.Mutex);
  return number < jobs.Done.size() && jobs.Done[number];
}

void WaitForJob(WorkerJobs &jobs, std::size_t number) {
  std::unique_lock<std::mutex> lock(jobs.Mutex);
  if (number >= jobs.Done.size()) return;
  jobs.Finished.wait(lock, [&] { return jobs.Done[number]; });
}
