// The pieces every discovery and configuration run shares: the source
// addresses and their walk, and the device list. (The sender set-up is
// seen from the receiving side in the end-to-end tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "wire/device_list.h"
#include "discovery/local_addresses.h"
#include "discovery/source_addresses.h"

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
