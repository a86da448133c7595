// A HiSLIP session: the synchronous channel carries the messages, the
// asynchronous one is opened and initialised as the protocol requires.
#include <cstdint>
#include <string>

#include "net/block_socket.h"
#include "session/instrument_link.h"
#include "session/link_io.h"
#include "wire/hislip_wire.h"

namespace {

constexpr std::string_view kDefaultSubAddress = "hislip0";
// The largest payload of one message taken from an instrument (the reply
// ceiling is held over the joined payloads).
constexpr std::size_t kMaxPayloadBytes = std::size_t{256} << 20;
// Messages a reply may hold before it must have ended (empty Data messages
// without end would otherwise keep a reader busy until its deadline).
constexpr std::size_t kMaxMessagesPerReply = std::size_t{1} << 20;
constexpr std::uint8_t kPoorlyFormedHeader = 1;
constexpr std::uint8_t kInvalidInitialization = 3;

// One TCP connection of the session and what came over it unread.
struct Channel {
  TTCPBlockSocket Socket;
  std::string Buffer;
  std::size_t Taken = 0;  // bytes of Buffer already read as messages
};

class THislipLink : public TInstrumentLink {
 public:
  bool Open(const LinkTarget &target, int timeoutMs) override;
  bool Write(std::string_view message, int timeoutMs) override;
  bool Read(std::string &reply, int timeoutMs, std::size_t maxBytes, bool &cut) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  const char *ProtocolName() const override { return "HiSLIP"; }

 private:
  bool OpenChannels(const LinkTarget &target, int timeoutMs);
  bool Connect(Channel &channel, const LinkTarget &target);
  // The next message of a channel (its payload a view into the channel's
  // buffer, valid until the next call); false with the failure set.
  bool Next(Channel &channel, HislipMessage &message, std::uint64_t deadline);
  // The reply of an initialization step, of the type expected.
  bool Expect(Channel &channel, std::uint8_t type, HislipMessage &message, std::uint64_t deadline);
  // A FatalError or Error from the instrument as the failure; a fatal one
  // ends the session.
  bool ReportedError(const HislipMessage &message);
  // The instrument broke the protocol: tell it so and end the session.
  bool Broken(std::uint8_t code);
  bool SocketFailed(Channel &channel, int code, LinkFailure::Kind what);

  Channel sync_, async_;
  bool open_ = false;
  bool replyRead_ = false;  // a whole reply was read since the last message sent
  std::uint32_t nextId_ = kHislipFirstMessageId;
  std::uint32_t lastId_ = 0;
};

bool THislipLink::Connect(Channel &channel, const LinkTarget &target) {
  channel.Buffer.clear();
  channel.Taken = 0;
  channel.Socket.Family = TSocketFamily::IPv4;
  channel.Socket.ConnectTimeoutMs = target.ConnectTimeoutMs;
  channel.Socket.ConnectTo(target.Address, std::to_string(target.Port));
  return channel.Socket.ErrorCode() == 0 ||
         SocketFailed(channel, channel.Socket.ErrorCode(), LinkFailure::kConnect);
}

bool THislipLink::SocketFailed(Channel &channel, int code, LinkFailure::Kind what) {
  std::string text = code == kErrorTimedOut ? TBlockSocket::GetErrorDesc(code) : channel.Socket.GetErrorDescEx();
  if (code == kErrorTimedOut && what == LinkFailure::kReceive) {
    // The session stays: a late reply carries an old message id.
    return Fail(LinkFailure::kTimedOut, code, std::move(text));
  }
  Close();
  return Fail(what, code, std::move(text));
}

bool THislipLink::Broken(std::uint8_t code) {
  sync_.Socket.SendTimeoutMs = 100;
  sync_.Socket.SendText(BuildHislipFatalError(code, HislipFatalErrorText(code, {})));
  Close();
  return Fail(LinkFailure::kProtocol, code, HislipFatalErrorText(code, {}));
}

bool THislipLink::ReportedError(const HislipMessage &message) {
  if (message.Type == kHislipFatalError) {
    std::string text = HislipFatalErrorText(message.Control, message.Payload);
    Close();
    return Fail(LinkFailure::kProtocol, message.Control, std::move(text));
  }
  return Fail(LinkFailure::kProtocol, message.Control, HislipErrorText(message.Control, message.Payload));
}

bool THislipLink::Next(Channel &channel, HislipMessage &message, std::uint64_t deadline) {
  // Bytes already read go once the buffer is mostly spent: no copying of a
  // large payload per message.
  if (channel.Taken > 0 && channel.Taken * 2 >= channel.Buffer.size()) {
    channel.Buffer.erase(0, channel.Taken);
    channel.Taken = 0;
  }
  for (;;) {
    std::size_t consumed = 0;
    const std::string_view unread = std::string_view(channel.Buffer).substr(channel.Taken);
    const HislipState state = ReadHislipMessage(unread, kMaxPayloadBytes, message, consumed);
    if (state == HislipState::Complete) {
      channel.Taken += consumed;
      return true;
    }
    if (state == HislipState::Malformed) return Broken(kPoorlyFormedHeader);
    const int code = ReceiveMore(channel.Socket, channel.Buffer, deadline);
    if (code != 0) return SocketFailed(channel, code, LinkFailure::kReceive);
  }
}

bool THislipLink::Expect(Channel &channel, std::uint8_t type, HislipMessage &message, std::uint64_t deadline) {
  if (!Next(channel, message, deadline)) return false;
  if (message.Type == kHislipFatalError || message.Type == kHislipError) return ReportedError(message);
  return message.Type == type || Broken(kInvalidInitialization);
}

bool THislipLink::Open(const LinkTarget &target, int timeoutMs) {
  // A session half set up is no session.
  if (OpenChannels(target, timeoutMs)) return true;
  Close();
  return false;
}

bool THislipLink::OpenChannels(const LinkTarget &target, int timeoutMs) {
  Close();
  failure_ = {};
  nextId_ = kHislipFirstMessageId;
  replyRead_ = false;
  const std::uint64_t deadline = DeadlineIn(timeoutMs);
  const std::string_view subAddress = target.Device.empty() ? kDefaultSubAddress : std::string_view(target.Device);
  HislipMessage answer;
  if (!Connect(sync_, target)) return false;
  open_ = true;
  if (!SendBefore(sync_.Socket, BuildHislipInitialize(subAddress), deadline))
    return SocketFailed(sync_, sync_.Socket.ErrorCode(), LinkFailure::kConnect);
  if (!Expect(sync_, kHislipInitializeResponse, answer, deadline)) return false;
  const auto session = static_cast<std::uint16_t>(answer.Parameter & 0xFFFF);
  if (!Connect(async_, target)) return false;
  if (!SendBefore(async_.Socket, BuildHislipAsyncInitialize(session), deadline))
    return SocketFailed(async_, async_.Socket.ErrorCode(), LinkFailure::kConnect);
  return Expect(async_, kHislipAsyncInitializeResponse, answer, deadline);
}

bool THislipLink::Write(std::string_view message, int timeoutMs) {
  if (!open_) return Fail(LinkFailure::kConnect, 0, "not connected");
  lastId_ = nextId_;
  nextId_ += 2;
  if (!SendBefore(sync_.Socket, BuildHislipDataEnd(lastId_, replyRead_, message),
                  DeadlineIn(timeoutMs)))
    return SocketFailed(sync_, sync_.Socket.ErrorCode(), LinkFailure::kReceive);
  replyRead_ = false;
  return true;
}

bool THislipLink::Read(std::string &reply, int timeoutMs, std::size_t maxBytes, bool &cut) {
  reply.clear();
  cut = false;
  if (!open_) return Fail(LinkFailure::kConnect, 0, "not connected");
  const std::uint64_t deadline = DeadlineIn(timeoutMs);
  HislipMessage message;
  for (std::size_t count = 0; count < kMaxMessagesPerReply; ++count) {
    if (!Next(sync_, message, deadline)) return false;
    if (message.Type == kHislipFatalError || message.Type == kHislipError) return ReportedError(message);
    if (message.Type != kHislipData && message.Type != kHislipDataEnd) continue;
    // A reply to an earlier message (one that timed out) is stale.
    if (message.Parameter != lastId_ && message.Parameter != kHislipAnyMessageId) continue;
    const std::size_t room = maxBytes - reply.size();
    if (message.Payload.size() > room) {
      // The rest still streams in: nothing more can be said in this session.
      reply.append(message.Payload.substr(0, room));
      cut = true;
      Close();
      return true;
    }
    reply.append(message.Payload);
    if (message.Type == kHislipDataEnd) {
      replyRead_ = true;
      return true;
    }
  }
  return Broken(kPoorlyFormedHeader);
}

void THislipLink::Close() {
  if (open_) {
    sync_.Socket.CloseEndpoint();
    async_.Socket.CloseEndpoint();
  }
  open_ = false;
}

}  // namespace

std::unique_ptr<TInstrumentLink> MakeHislipLink() { return std::make_unique<THislipLink>(); }
