#include "discovery/source_addresses.h"

#include "core/dotted_address.h"
#include "core/failure_report.h"
#include "core/line_log.h"
#include "core/settings.h"
#include "discovery/local_addresses.h"
#include "net/block_socket.h"
#include "session/udp_endpoints.h"

namespace {
// A remaining text this short holds no entry ("0.0.0.0," is the shortest).
constexpr std::size_t kShortestRemaining = 4;
}  // namespace

std::string SourceAddressSelection() {
  if (Settings.BindAddressGiven) return FormatDottedAddress(Settings.BindAddress) + ",";
  if (Settings.BindAll) return LocalAddressList();
  return "255.255.255.255,";
}

bool TakeSourceEntry(std::string &remaining, std::string &entry) {
  if (remaining.size() <= kShortestRemaining) return false;
  const std::size_t comma = remaining.find(',');
  if (comma == std::string::npos) {
    entry = remaining;
    remaining.clear();
  } else {
    entry = remaining.substr(0, comma);
    remaining.erase(0, comma + 1);
  }
  return true;
}

bool SendersBindToEntry() { return Settings.BindAll || Settings.BindAddressGiven; }

void PrepareSender(TUDPBlockSocket &socket, const std::string &entry, bool bindToEntry) {
  socket.PrepareHandle();
  socket.AllowBroadcast(true);
  const std::string destination = FormatDottedAddress(Settings.BroadcastAddress);
  const std::string destinationPort = std::to_string(Settings.ClientPort);
  if (bindToEntry) {
    socket.BindTo(entry, std::to_string(Settings.ServerPort));
    socket.SetPeer(destination, destinationPort);
  } else {
    socket.ConnectTo(destination, destinationPort);
  }
}

bool StartSender(TUDPBlockSocket &socket, const std::string &entry, bool bindToEntry) {
  LineLog now;
  return StartSender(socket, entry, bindToEntry, now);
}

bool StartSender(TUDPBlockSocket &socket, const std::string &entry, bool bindToEntry, LineLog &log) {
  PrepareSender(socket, entry, bindToEntry);
  return SenderStarted(socket, entry, log);
}
