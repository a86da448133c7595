#include "wire/device_list.h"

#include <utility>

void ClearDeviceList(DeviceListRecord &list) {
  for (std::string &slot : list.Slots) slot.clear();
  list.Count = 0;
}

void LimitDeviceCount(DeviceListRecord &list) {
  if (list.Count > kDeviceCountLimit) list.Count = kDeviceCountLimit;
  if (list.Count < 0) list.Count = 0;
}

void StoreDevice(DeviceListRecord &list, std::string entry) {
  LimitDeviceCount(list);
  list.Slots[static_cast<std::size_t>(list.Count)] = std::move(entry);
  ++list.Count;
}
