#include "discovery/teracom.h"

// Not built yet: Teracom discovery comes with its own change.
void DiscoverTeracom() {}
