#include "discovery/teracom.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/codecs.h"
#include "core/json_output.h"
#include "core/settings.h"
#include "discovery/found_devices.h"
#include "wire/device_reply.h"
#include "discovery/discovery_json.h"
#include "discovery/raw_datagram.h"
#include "discovery/source_addresses.h"
#include "wire/teracom_reply.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/udp_endpoints.h"

namespace {

constexpr std::string_view kQuery = "Discovery: Who is out there?";
// Replies this short are dropped unseen.
constexpr std::size_t kShortestIgnored = 30;
// Pause after each reply taken, before the next receive.
constexpr std::int64_t kPauseAfterReplyMs = 100;
// The receive queue holds a burst of this many replies of this size.
constexpr int kBurstReplies = 250;
constexpr int kBurstReplyBytes = 512;
// Datagrams taken in one source's wait at the most, so that a sender that
// never pauses cannot hold the run open; no real module comes near it.
constexpr int kDatagramLimit = 4096;
// The longest a source's wait lasts after its query, however many replies
// come: a module that keeps answering (each reply taken is followed by the
// pause) cannot hold the run open either.
constexpr std::uint64_t kWaitLimitMs = 30000;

// Prints the lines of one received datagram and stores a new module.
void HandleReply(const std::string &reply, const std::string &sender) {
  LimitDeviceCount(DeviceList);
  if (Settings.Verbose) {
    WriteLine(ReceivedFromLine(sender, reply.size()));
    PrintRawDatagram(reply);
  }
  std::string serial = ParseTeracomReply(reply, TeracomField::SerialMac);
  if (!IsDuplicateTeracom(serial, DeviceList)) {
    if (Settings.JsonOutput) {
      WriteJsonLine(TeracomJson(reply, sender));
    } else {
      WriteLine(ParseTeracomReply(reply, TeracomField::DisplayLine));
    }
    StoreDevice(DeviceList, std::move(serial));
  }
}

// Sends the query from one source entry and reads the replies until the
// response time-out passes without a datagram, or a receive fails. An empty
// datagram is taken and ignored; the silence it fell in goes on.
void QueryFromEntry(const std::string &entry, bool bindToEntry) {
  TUDPBlockSocket socket;
  socket.ReserveReceiveRoom(kBurstReplies, kBurstReplyBytes);
  if (StartSender(socket, entry, bindToEntry)) {
    socket.SendText(kQuery);
    const std::uint64_t queriedAt = TickCountMs();
    std::uint64_t quietSince = queriedAt;
    for (int taken = 0;; ++taken) {
      if (taken == kDatagramLimit) {
        if (Settings.Verbose) WriteLine("Wait ended after " + std::to_string(kDatagramLimit) + " datagrams");
        break;
      }
      const std::uint64_t now = TickCountMs();
      if (now - queriedAt >= kWaitLimitMs) {
        if (Settings.Verbose) WriteLine("Wait ended after " + std::to_string(kWaitLimitMs / 1000) + " s");
        break;
      }
      const std::uint64_t waited = now - quietSince;
      const std::uint64_t timeout = static_cast<std::uint64_t>(Settings.ResponseTimeoutMs);
      // The receive ends by the time-out or the wait's limit, whichever
      // comes first; the limit's line is printed at the top of the loop.
      const std::uint64_t silence = waited < timeout ? timeout - waited : 0;
      const std::uint64_t limit = kWaitLimitMs - (now - queriedAt);
      const std::string reply = socket.ReceiveWaiting(static_cast<int>(std::min(silence, limit)));
      const int code = socket.ErrorCode();
      if (code == kErrorConnectionReset || (code == kErrorTimedOut && limit < silence)) continue;
      if (code != 0) {
        if (Settings.Verbose) WriteLine("RECV Timeout");
        break;
      }
      if (reply.size() > kShortestIgnored) {
        HandleReply(reply, socket.PeerAddress());
        SleepMs(kPauseAfterReplyMs);
      }
      quietSince = TickCountMs();
    }
  }
  socket.CloseEndpoint();
  if (Settings.Verbose) WriteLine("Sender stopped");
}

}  // namespace

void DiscoverTeracom() {
  ClearDeviceList(DeviceList);
  std::string remaining = SourceAddressSelection();
  const bool bindToEntry = SendersBindToEntry();
  std::string entry;
  while (TakeSourceEntry(remaining, entry)) QueryFromEntry(entry, bindToEntry);
  if (Settings.JsonOutput) {
    WriteJsonLine(SummaryJson("modules", DeviceList.Count));
  } else if (DeviceList.Count == 0) {
    WriteLine(" No TERACOM device found.");
  }
}
