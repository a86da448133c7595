#include "discovery/teracom.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "app/settings.h"
#include "core/json_output.h"
#include "discovery/discovery_json.h"
#include "discovery/device_list.h"
#include "discovery/device_reply.h"
#include "discovery/source_addresses.h"
#include "discovery/teracom_reply.h"
#include "net/block_socket.h"
#include "platform/platform.h"
#include "session/codecs.h"

namespace {

constexpr std::string_view kQuery = "Discovery: Who is out there?";
// Replies this short are dropped unseen.
constexpr std::size_t kShortestIgnored = 30;
// Pause after each reply taken, before the next receive.
constexpr std::int64_t kPauseAfterReplyMs = 100;
// The receive queue holds a burst of this many replies of this size.
constexpr int kBurstReplies = 250;
constexpr int kBurstReplyBytes = 512;

// Prints the lines of one received datagram and stores a new module.
void HandleReply(const std::string &reply, const std::string &sender) {
  LimitDeviceCount(DeviceList);
  if (Settings.Verbose) {
    WriteLine("Received from: " + sender + "  Length: " + std::to_string(reply.size()));
    WriteLine("[" + SanitizeControlChars(reply) + "]");
    if (Settings.VerbosityLevel == 2) WriteLine(BytesToHexList(reply));
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

// Sends the query from one source entry and reads the replies until a
// receive fails, the time-out included.
void QueryFromEntry(const std::string &entry, bool bindToEntry) {
  TUDPBlockSocket socket;
  socket.ReserveReceiveRoom(kBurstReplies, kBurstReplyBytes);
  if (StartSender(socket, entry, bindToEntry)) {
    socket.SendText(kQuery);
    for (;;) {
      const std::string reply = socket.ReceiveWaiting(Settings.ResponseTimeoutMs);
      if (socket.ErrorCode() != 0) {
        if (Settings.Verbose) WriteLine("RECV Timeout");
        break;
      }
      if (reply.size() <= kShortestIgnored) continue;
      HandleReply(reply, socket.PeerAddress());
      SleepMs(kPauseAfterReplyMs);
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
