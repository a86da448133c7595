// Discovery of Teracom modules.
#pragma once

// From every source address: broadcasts the query, reads the replies on the
// same socket until the response time-out passes without one, and prints
// one line per module; " No TERACOM device found." when none answered.
void DiscoverTeracom();
