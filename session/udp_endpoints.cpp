#include "session/udp_endpoints.h"

#include "core/failure_report.h"
#include "core/line_log.h"
#include "core/settings.h"
#include "net/block_socket.h"
#include "platform/platform.h"

bool StartListener(TUDPBlockSocket &listener, const std::string &port) {
  listener.BindTo("0.0.0.0", port);
  if (listener.ErrorCode() == 0) return true;
  ReportFailure(FailureLine("!Bind failed with error code: ", listener), listener.ErrorCode());
  return false;
}

bool SenderStarted(const TUDPBlockSocket &sender, std::string_view address) {
  LineLog now;
  return SenderStarted(sender, address, now);
}

bool SenderStarted(const TUDPBlockSocket &sender, std::string_view address, LineLog &log) {
  if (sender.ErrorCode() != 0) {
    LogFailure(log, FailureLine("!Sender failed with error code: ", sender), sender.ErrorCode());
    return false;
  }
  if (Settings.Verbose) LogLine(log, "Sender started at: " + std::string(address));
  return true;
}

std::string ReceivedFromLine(std::string_view source, std::size_t length) {
  return "Received from: " + std::string(source) + "  Length: " + std::to_string(length);
}
