// How exactly the program's waits keep their lengths, and how long a waiting
// UDP receive takes to return once a datagram is there.
//
// First the measured length of a 5 ms sleep (SleepMs) and of a 50 ms receive
// time-out (ReceiveWaiting with nothing to read), each with the system's
// default timer and then with the program's own timer setting (InitPlatform:
// 1 ms timer ticks on Windows, where the default tick of 15.6 ms stretches
// them; no timer slack on Linux).
//
// Then the receive latency: a helper thread sends datagrams on loopback, each
// carrying its send time from the monotonic clock; the main thread waits in
// ReceiveWaiting and takes the time as soon as it returns. Prints the median,
// the 90th percentile and the largest delay in milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/block_socket.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  const std::size_t index =
      std::min(values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())));
  return values[index];
}

// Lengths in ms of count runs of wait().
template <typename Wait>
std::vector<double> Lengths(int count, Wait wait) {
  std::vector<double> lengths;
  for (int i = 0; i < count; ++i) {
    const std::int64_t start = NowNs();
    wait();
    lengths.push_back(static_cast<double>(NowNs() - start) / 1e6);
  }
  return lengths;
}

void PrintLengths(const char *what, const char *timer, const std::vector<double> &lengths) {
  std::printf("%s, %s: median %.3f ms, largest %.3f ms\n", what, timer, Percentile(lengths, 0.5),
              Percentile(lengths, 1.0));
}

// The 5 ms sleep and the 50 ms receive time-out, measured on a bound UDP
// endpoint that nothing sends to.
bool MeasureWaits(TUDPBlockSocket &quiet, const char *timer) {
  PrintLengths("5 ms sleep", timer, Lengths(40, [] { SleepMs(5); }));
  bool timedOut = true;
  const std::vector<double> timeouts = Lengths(20, [&] {
    quiet.ReceiveWaiting(50);
    timedOut = timedOut && quiet.ErrorCode() == 10060;
  });
  if (!timedOut) {
    std::printf("50 ms receive time-out, %s: a receive ended without time-out\n", timer);
    return false;
  }
  PrintLengths("50 ms receive time-out", timer, timeouts);
  return true;
}

// The first free loopback UDP port from `from` up, bound by socket; "" if none.
std::string BindFreePort(TUDPBlockSocket &socket, int from) {
  for (int candidate = from; candidate < 60000; candidate += 7) {
    socket.BindTo("127.0.0.1", std::to_string(candidate));
    if (socket.ErrorCode() == 0) return std::to_string(candidate);
  }
  return {};
}

}  // namespace

int main(int argc, char **argv) {
  const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  if (!StartSocketService()) {
    std::puts("Error loading Socket interface (ws2_32.dll)!");
    return 1;
  }
  TUDPBlockSocket quiet;
  if (BindFreePort(quiet, 41000).empty()) {
    std::printf("bind failed: %d %s\n", quiet.ErrorCode(), quiet.GetErrorDescEx().c_str());
    return 1;
  }
  if (!MeasureWaits(quiet, "default timer")) return 1;
  InitPlatform(argc, argv);
  if (!MeasureWaits(quiet, "program's timer")) return 1;
  std::puts("(with the program's timer each should stay within 2 ms of its length)");

  TUDPBlockSocket listener;
  const std::string port = BindFreePort(listener, 40000);
  if (port.empty()) {
    std::printf("bind failed: %d %s\n", listener.ErrorCode(), listener.GetErrorDescEx().c_str());
    return 1;
  }

  std::thread sender([&] {
    TUDPBlockSocket out;
    out.ConnectTo("127.0.0.1", port);
    for (int i = 0; i < samples; ++i) {
      // Long enough for the receiver to be waiting already.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      const std::int64_t sent = NowNs();
      std::string payload(sizeof sent, '\0');
      std::memcpy(payload.data(), &sent, sizeof sent);
      out.SendText(payload);
    }
  });

  std::vector<double> delays;
  int failures = 0;
  while (static_cast<int>(delays.size()) + failures < samples) {
    const std::string data = listener.ReceiveWaiting(1000);
    const std::int64_t received = NowNs();
    if (listener.ErrorCode() != 0 || data.size() != sizeof(std::int64_t)) {
      ++failures;
      continue;
    }
    std::int64_t sent = 0;
    std::memcpy(&sent, data.data(), sizeof sent);
    delays.push_back(static_cast<double>(received - sent) / 1e6);
  }
  sender.join();
  if (delays.empty()) {
    std::puts("no datagram received");
    return 1;
  }
  std::printf("samples: %zu (failed receives: %d)\n", delays.size(), failures);
  std::printf("median receive latency: %.3f ms\n", Percentile(delays, 0.5));
  std::printf("90th percentile: %.3f ms, largest: %.3f ms\n", Percentile(delays, 0.9),
              Percentile(delays, 1.0));
  return 0;
}
