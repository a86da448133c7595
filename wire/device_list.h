// A list of the devices found in a run: PSU discovery keeps whole replies,
// Teracom discovery serial/MAC texts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

inline constexpr int kDeviceSlots = 256;
// Entries counted at the most before a datagram is handled: once 251 are
// stored, every further new device overwrites slot 250.
inline constexpr std::int32_t kDeviceCountLimit = 250;

struct DeviceListRecord {
  std::array<std::string, kDeviceSlots> Slots;  // empty when never used
  std::int32_t Count = 0;                       // entries stored
};

// Empties every slot and sets the count to 0: the start of a discovery.
void ClearDeviceList(DeviceListRecord &list);

// Lowers a count above the limit to the limit; done before each datagram
// is handled.
void LimitDeviceCount(DeviceListRecord &list);

// Stores entry in slot Count and counts it.
void StoreDevice(DeviceListRecord &list, std::string entry);
