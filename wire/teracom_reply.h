// The replies of Teracom modules: the fields of one reply and the duplicate
// test against the modules already found. Pure functions over bytes.
#pragma once

#include <string>
#include <string_view>

#include "wire/device_list.h"

// What ParseTeracomReply returns of a reply.
enum class TeracomField {
  DisplayLine = 0,  // "Hostname: ", TAB, "Serial/MAC: ", TAB, "Address: " with the three below
  HostName = 1,     // the first line
  SerialMac = 2,    // the second line
  Address = 3,      // all the rest, its line ends removed
};

// One field of a reply. Spaces are dropped, CR counts as LF and each pair of
// LFs as one (non-overlapping, from the start: three in a row leave two).
// A field with no LF left to end it is empty, and the rest stays for the
// next one.
std::string ParseTeracomReply(std::string_view reply, TeracomField field);

// True when the first 17 characters of key equal, letter case aside (a-z as
// A-Z), the first 17 characters of a slot from 0 to list.Count inclusive. A
// key shorter than 17 characters is never a duplicate.
bool IsDuplicateTeracom(std::string_view key, const DeviceListRecord &list);
