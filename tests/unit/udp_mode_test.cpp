#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "session/udp_mode.h"

namespace {

// One event of a run, at a tick count: a command sent, a pause, a datagram.
struct Event {
  char kind;  // 's' sent at `at`, 'p' pause of `ms`, 'd' datagram received
  std::uint64_t at;
  std::int64_t ms;
};

TEST(UdpWindow, EndsAWindowAfterTheLastCommandPlusPausesAndDatagrams) {
  const struct {
    const char *name;
    std::vector<Event> events;
    std::uint64_t end;
  } cases[] = {
      {"nothing sent", {}, 1000 + 2000},
      {"one command", {{'s', 1100, 0}}, 1100 + 2000},
      {"a datagram after it", {{'s', 1100, 0}, {'d', 0, 50}}, 1100 + 2050},
      {"a field and its pause", {{'s', 1100, 0}, {'p', 0, 300}}, 1100 + 2300},
      // Sending takes longer than the window: the window still follows the last command.
      {"late last command", {{'s', 1100, 0}, {'p', 0, 1000}, {'s', 9000, 0}}, 9000 + 2000},
      // Datagrams received while sending never shorten what is left.
      {"many datagrams early", {{'s', 1100, 0}, {'d', 0, 50}, {'d', 0, 50}, {'s', 1101, 0}}, 1100 + 2100},
  };
  for (const auto &c : cases) {
    UdpWindow window = OpenUdpWindow(1000, 2000);
    for (const Event &event : c.events) {
      if (event.kind == 's') {
        RestartWindow(window, event.at);
      } else {
        ExtendWindow(window, event.ms);
      }
    }
    EXPECT_EQ(window.End, c.end) << c.name;
    EXPECT_TRUE(WindowOpen(window, c.end - 1)) << c.name;
    EXPECT_FALSE(WindowOpen(window, c.end)) << c.name;
  }
}

}  // namespace
