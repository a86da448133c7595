// Blocking TCP and UDP endpoints. No operation throws: each one records its
// outcome in ErrorCode() (0 = success, otherwise a Windows Sockets error
// number, on every platform), and callers test it after the steps they
// care about.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TSocketFamily { Any, IPv4, IPv6 };

struct SocketAddress;  // net/socket_address.h

// The codes the layer sets itself that callers act on.
inline constexpr int kErrorConnectionReset = 10054;  // readable, but nothing to read
inline constexpr int kErrorTimedOut = 10060;         // a receive or send wait ran out

class TBlockSocket {
 public:
  virtual ~TBlockSocket();
  TBlockSocket(const TBlockSocket &) = delete;
  TBlockSocket &operator=(const TBlockSocket &) = delete;

  // Makes the OS socket now if Family is fixed; with Any it waits for the
  // first BindTo or ConnectTo.
  void PrepareHandle();
  // Broadcast permission; kept pending until the OS socket exists.
  void AllowBroadcast(bool enabled);
  // Makes the receive queue hold a burst of `datagrams` datagrams of
  // `datagramBytes` bytes each, with what the system keeps beside each
  // one; never makes it smaller. Kept pending until the OS socket exists;
  // the outcome is not reported.
  void ReserveReceiveRoom(int datagrams, int datagramBytes);
  // Binds to a local address and port ("0.0.0.0"/"0" on a fresh endpoint
  // does nothing).
  void BindTo(const std::string &address, const std::string &port);
  // Resolves and records the destination without making the OS socket.
  void SetPeer(const std::string &address, const std::string &port);

  virtual void CloseEndpoint() = 0;
  virtual void ConnectTo(const std::string &address, const std::string &port) = 0;
  // TCP: all bytes in pieces of at most SendMaxChunk. UDP: one datagram.
  virtual int SendText(std::string_view data);
  // What is waiting now, or what arrives within timeoutMs (-1: no limit).
  virtual std::string ReceiveWaiting(int timeoutMs);
  // The peer as numeric text; after a UDP receive, that datagram's sender.
  virtual std::string PeerAddress() const;
  virtual std::string GetErrorDescEx() const;

  int ErrorCode() const { return error_code_; }
  static std::string GetErrorDesc(int code);

  TSocketFamily Family = TSocketFamily::Any;
  bool PreferIP4 = true;
  std::int32_t SendMaxChunk = 65536;
  // TCP: a send that cannot hand the system a single byte for this long (a
  // peer that has stopped reading) stops with 10060; 0 or less: no limit.
  std::int32_t SendTimeoutMs = 10000;
  // TCP: a connect that is never answered (an instrument switched off)
  // stops with 10060 after this long, as Windows' own connect does after
  // about 21 s; 0 or less: that system limit, on every platform.
  std::int32_t ConnectTimeoutMs = 0;

 protected:
  // socketType: SOCK_STREAM or SOCK_DGRAM.
  explicit TBlockSocket(int socketType);

  // The steps beneath SendText and ReceiveWaiting that differ between TCP
  // and UDP. ReadOnce reads once when count (1..65536) bytes are readable;
  // ReadWhenNothingReadable runs when the endpoint is readable but its
  // readable count is 0.
  virtual int SendBytes(std::string_view data) = 0;
  virtual std::string ReadOnce(int count) = 0;
  virtual std::string ReadWhenNothingReadable() = 0;
  // Runs on a fresh OS socket before pending options are applied.
  virtual void SetUpHandle() {}
  // Runs before the bind call to local; false (with error_code_ set) stops
  // the bind.
  virtual bool MayBind(const SocketAddress &local);

  // Makes the OS socket for family (AF_INET, AF_INET6) and applies the
  // pending options. False with error_code_ set on failure.
  bool MakeHandle(int family);
  // Closes the OS socket if open; the handle is invalid afterwards.
  void CloseHandle();
  bool HandleOpen() const;
  // error_code_ from the last failed socket call.
  void RecordSystemError();
  // The outcome of a read call's result: true when it gave bytes; else
  // false with error_code_ set, the system's error for a failure and 10054
  // for a read of 0 bytes.
  bool ReadGaveBytes(long result);
  // Records the local address the system gave the OS socket (after a bind
  // or connect); keeps the recorded one if the system cannot tell.
  void RecordLocalAddress();

  int error_code_ = 0;
  // The OS side: handle, addresses, pending options (block_socket_state.h).
  struct State;
  std::unique_ptr<State> state_;
};

class TTCPBlockSocket : public TBlockSocket {
 public:
  TTCPBlockSocket();
  ~TTCPBlockSocket() override;
  void CloseEndpoint() override;
  void ConnectTo(const std::string &address, const std::string &port) override;
  // Name look-ups.
  std::string LocalHostName();
  void ResolveHostAddresses(const std::string &name, std::vector<std::string> &list);
  std::string ResolveAddressName(const std::string &address);

 protected:
  int SendBytes(std::string_view data) override;
  std::string ReadOnce(int count) override;
  std::string ReadWhenNothingReadable() override;
};

class TUDPBlockSocket : public TBlockSocket {
 public:
  TUDPBlockSocket();
  ~TUDPBlockSocket() override;
  void CloseEndpoint() override;
  void ConnectTo(const std::string &address, const std::string &port) override;
  // Multicast datagrams leave by the interface of the local IPv4 address,
  // looped back to this host too, with a hop limit of 255. Needs the OS
  // socket (after PrepareHandle or BindTo).
  void SendMulticastFrom(const std::string &address);

 protected:
  int SendBytes(std::string_view data) override;
  std::string ReadOnce(int count) override;
  std::string ReadWhenNothingReadable() override;
  void SetUpHandle() override;
  bool MayBind(const SocketAddress &local) override;
};

// The line of a failure that is always shown: head, the endpoint's
// ErrorCode() in decimal, " : " and its GetErrorDescEx() text, as in
// "!Bind failed with error code: 10048 : Address already in use".
std::string FailureLine(std::string_view head, const TBlockSocket &socket);

// Host-by-name look-up: the first IPv4 address of name as dotted text, or "".
std::string LookupHostAddress(const std::string &name);

// The host's own IPv4 addresses as dotted texts, the sources of every
// broadcast. Windows: the host's name resolved to all its addresses, one
// per adapter. Elsewhere the name often resolves to a loopback alias only,
// so the addresses of the interfaces that are up are taken, in interface
// order, loopback ones only when there is no other. Empty when there are
// none.
std::vector<std::string> HostIPv4Addresses();

// The platform socket service: started once at program start (Windows
// Sockets 2.2), released at exit. Returns false if it cannot be started.
bool StartSocketService();
