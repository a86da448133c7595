// How long a waiting UDP receive takes to return once a datagram is there.
// A helper thread sends datagrams on loopback, each carrying its send time
// from the monotonic clock; the main thread waits in ReceiveWaiting and
// takes the time as soon as it returns. Prints the median, the 90th
// percentile and the largest delay in milliseconds.
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

}  // namespace

int main(int argc, char **argv) {
  const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  if (!StartSocketService()) {
    std::puts("Error loading Socket interface (ws2_32.dll)!");
    return 1;
  }
  // The first free port from 40000 up.
  TUDPBlockSocket listener;
  std::string port;
  for (int candidate = 40000; candidate < 60000 && port.empty(); candidate += 7) {
    listener.BindTo("127.0.0.1", std::to_string(candidate));
    if (listener.ErrorCode() == 0) port = std::to_string(candidate);
  }
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
