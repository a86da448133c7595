// The pieces every discovery and configuration run shares: the source
// addresses and their walk, the sender set-up and the device list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings.h"
#include "discovery/device_list.h"
#include "discovery/local_addresses.h"
#include "discovery/source_addresses.h"
#include "net/block_socket.h"
#include "net/platform.h"

namespace {

std::vector<std::string> Walk(std::string selection) {
  std::vector<std::string> entries;
  std::string entry = "untouched";
  while (TakeSourceEntry(selection, entry)) entries.push_back(entry);
  return entries;
}

TEST(SourceAddresses, WalkTakesEntriesWhileMoreThanFourCharactersRemain) {
  const struct {
    std::string selection;
    std::vector<std::string> entries;
  } cases[] = {
      {"127.0.0.1,", {"127.0.0.1"}},
      {"10.0.0.5,192.168.1.20,", {"10.0.0.5", "192.168.1.20"}},
      {"255.255.255.255,", {"255.255.255.255"}},
      {"0.0.0.0,", {"0.0.0.0"}},
      {"", {}},
      {"1.2,", {}},
      // Four characters or fewer left end the walk, entries or not.
      {"1,2,3,", {"1"}},
      {"10.0.0.5,1.2,", {"10.0.0.5"}},
      // Without a final comma the rest is the last entry.
      {"10.0.0.5,10.0.0.6", {"10.0.0.5", "10.0.0.6"}},
      {",,,,,", {""}},
  };
  for (const auto &c : cases) EXPECT_EQ(Walk(c.selection), c.entries) << '"' << c.selection << '"';
}

TEST(SourceAddresses, SelectionFollowsBadAndB) {
  const struct {
    bool bindAll;
    bool badGiven;
    std::string selection;  // empty: LocalAddressList()
    bool bound;
  } cases[] = {
      {true, false, "", true},
      {false, false, "255.255.255.255,", false},
      {true, true, "192.168.1.5,", true},
      {false, true, "192.168.1.5,", true},
  };
  for (const auto &c : cases) {
    Settings = SettingsRecord{};
    Settings.BindAll = c.bindAll;
    Settings.BindAddressGiven = c.badGiven;
    Settings.BindAddress = 0xC0A80105u;
    const std::string expected = c.selection.empty() ? LocalAddressList() : c.selection;
    EXPECT_EQ(SourceAddressSelection(), expected) << c.bindAll << c.badGiven;
    EXPECT_EQ(SendersBindToEntry(), c.bound) << c.bindAll << c.badGiven;
  }
  Settings = SettingsRecord{};
}

// A plain OS socket on 127.0.0.1 with a port the system picks.
struct PlainUdp {
  PlainUdp() {
    handle = open_socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(handle, reinterpret_cast<sockaddr *>(&local), sizeof local);
    socklen_type length = sizeof local;
    ::getsockname(handle, reinterpret_cast<sockaddr *>(&local), &length);
    port = ntohs(local.sin_port);
  }
  ~PlainUdp() { close_socket(handle); }
  socket_t handle;
  int port;
};

// The sender set-up, seen from a receiver: a bound sender leaves from its
// entry and the /sport port, an unbound one from a port the system picks.
TEST(SourceAddresses, SenderLeavesFromEntryAndListeningPortWhenBound) {
  PlainUdp receiver;
  for (const bool bound : {true, false}) {
    int listeningPort;
    {
      PlainUdp probe;  // a port free a moment ago
      listeningPort = probe.port;
    }
    Settings = SettingsRecord{};
    Settings.BroadcastAddress = 0x7F000001u;
    Settings.ClientPort = receiver.port;
    Settings.ServerPort = listeningPort;
    TUDPBlockSocket sender;
    PrepareSender(sender, "127.0.0.1", bound);
    ASSERT_EQ(sender.ErrorCode(), 0) << bound;
    sender.SendText("q");
    ASSERT_EQ(wait_readable(receiver.handle, 2000), 1) << bound;
    char byte = 0;
    sockaddr_in source{};
    socklen_type length = sizeof source;
    ASSERT_EQ(receive_datagram(receiver.handle, &byte, 1, reinterpret_cast<sockaddr *>(&source), &length), 1);
    EXPECT_EQ(byte, 'q');
    EXPECT_EQ(ntohl(source.sin_addr.s_addr), 0x7F000001u);
    EXPECT_EQ(ntohs(source.sin_port) == listeningPort, bound);
  }
  Settings = SettingsRecord{};
}

TEST(SourceAddresses, FailedDestinationIsReported) {
  for (const bool bound : {true, false}) {
    Settings = SettingsRecord{};
    Settings.ClientPort = -9;  // no such port: the destination does not resolve
    TUDPBlockSocket sender;
    PrepareSender(sender, "127.0.0.1", bound);
    EXPECT_NE(sender.ErrorCode(), 0) << bound;
  }
  Settings = SettingsRecord{};
}

TEST(DeviceList, CountStopsAt250AndSlot250TakesEachFurtherDevice) {
  DeviceListRecord list;
  list.Slots[7] = "stale";
  list.Count = 9;
  ClearDeviceList(list);
  EXPECT_EQ(list.Count, 0);
  EXPECT_EQ(list.Slots[7], "");
  for (int i = 0; i < 260; ++i) StoreDevice(list, "device " + std::to_string(i));
  EXPECT_EQ(list.Count, 251);
  EXPECT_EQ(list.Slots[249], "device 249");
  EXPECT_EQ(list.Slots[250], "device 259");
  EXPECT_EQ(list.Slots[251], "");
  LimitDeviceCount(list);
  EXPECT_EQ(list.Count, 250);
  LimitDeviceCount(list);
  EXPECT_EQ(list.Count, 250);
}

}  // namespace
