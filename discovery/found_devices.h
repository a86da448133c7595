// The program-wide list of the devices found in this run.
#pragma once

#include "wire/device_list.h"

extern DeviceListRecord DeviceList;
