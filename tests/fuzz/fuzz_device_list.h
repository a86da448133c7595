// The device list as both discoveries fill it, for the fuzz targets of
// their replies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "wire/device_list.h"
#include "fuzz_support.h"

// One discovery run over the datagrams of the input (NextDatagram): the
// list is emptied, then handle(list, datagram) runs for each in turn.
template <typename Handle>
void ForEachDatagram(const std::uint8_t *data, std::size_t size, Handle handle) {
  static DeviceListRecord list;
  ClearDeviceList(list);
  std::string_view input = InputBytes(data, size);
  std::string_view datagram;
  while (NextDatagram(input, datagram)) handle(list, datagram);
}

// Handles one datagram's entry: the count lowered to its limit, then the
// entry stored unless known(entry) says it repeats one; at most one slot
// more is used, and never more than the limit and one.
template <typename Known>
void StoreUnlessKnown(DeviceListRecord &list, std::string entry, Known known) {
  LimitDeviceCount(list);
  const std::int32_t before = list.Count;
  if (!known(entry)) StoreDevice(list, std::move(entry));
  FUZZ_CHECK(list.Count <= kDeviceCountLimit + 1 && list.Count - before <= 1);
}
