// Work handed from the thread that runs a mode to worker threads: at most
// kMaxWorkerThreads run at once, the rest start in the order they were
// handed over as workers come free. A job prints nothing and touches
// nothing that the handing thread touches until JobFinished says it is
// done; the handing thread then reads what the job left.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// A bound the user does not set: Windows keeps its limits on threads and
// sockets, and every job holds a socket at the most.
inline constexpr std::size_t kMaxWorkerThreads = 64;

struct WorkerJobs {
  WorkerJobs() = default;
  WorkerJobs(const WorkerJobs &) = delete;
  WorkerJobs &operator=(const WorkerJobs &) = delete;
  // Waits for every job handed over, then ends the workers.
  ~WorkerJobs();

  std::mutex Mutex;
  std::condition_variable Wake;      // a job waits, or the workers are to end
  std::condition_variable Finished;  // a job is done
  std::deque<std::pair<std::size_t, std::function<void()>>> Waiting;
  std::vector<bool> Done;  // by job number
  std::vector<std::thread> Threads;
  std::size_t Idle = 0;
  bool Ending = false;
};

// Hands job over; returns its number (0, 1, 2 ... in the order handed
// over). Where no worker thread can be started at all, the job runs here,
// before the call returns.
std::size_t StartJob(WorkerJobs &jobs, std::function<void()> job);

// Whether the job has finished (what it left may be read).
bool JobFinished(WorkerJobs &jobs, std::size_t number);

// Waits until the job has finished.
void WaitForJob(WorkerJobs &jobs, std::size_t number);
