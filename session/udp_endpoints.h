// The set-up steps and report lines that every UDP mode shares: the
// listener, the outcome of a sender's set-up, and the line that names a
// received datagram.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class TUDPBlockSocket;
struct LineLog;

// Binds listener to every local address on port. On failure reports
// "!Bind failed with error code: " + code + " : " + text (ReportFailure) and
// returns false.
bool StartListener(TUDPBlockSocket &listener, const std::string &port);

// The outcome of a sender's set-up: on an error code the failure "!Sender
// failed with error code: " + code + " : " + text (ReportFailure) and false (nothing may be
// sent); else, with /v, "Sender started at: " + address and true.
bool SenderStarted(const TUDPBlockSocket &sender, std::string_view address);
// The same, its line going to log.
bool SenderStarted(const TUDPBlockSocket &sender, std::string_view address, LineLog &log);

// "Received from: " + source + "  Length: " + length.
std::string ReceivedFromLine(std::string_view source, std::size_t length);
