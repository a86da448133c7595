#include "discovery/found_devices.h"

DeviceListRecord DeviceList;
