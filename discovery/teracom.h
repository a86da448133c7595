// Discovery of Teracom modules.
#pragma once

void DiscoverTeracom();
