// A link to one instrument in its own protocol (HiSLIP, VXI-11): opened once
// for a run, a message written whole and a reply read to its end mark, no
// silence waited for. Each link owns its sockets, prints nothing and reads
// no settings, so it serves a worker thread as well as the sessions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

// Why the last step failed.
struct LinkFailure {
  enum Kind {
    kNone,
    kConnect,   // the connection (or the port look-up) failed: Code and Text are the socket's
    kProtocol,  // the instrument reported an error or broke the protocol: its Code and Text
    kTimedOut,  // the reply was not complete in time (10060)
    kReceive,   // the connection failed while reading or writing: the socket's Code and Text
  };
  Kind What = kNone;
  int Code = 0;
  std::string Text;
};

// Where a link goes: the instrument's address (dotted), the protocol's port
// (HiSLIP: its port; VXI-11: the portmapper's), the device ("" = the
// protocol's default) and how long a connect may take (0: as long as the
// system tries, about 21 s).
struct LinkTarget {
  std::string Address;
  int Port = 0;
  std::string Device;
  int ConnectTimeoutMs = 0;
};

class TInstrumentLink {
 public:
  virtual ~TInstrumentLink() = default;

  // Connects and sets the session up; every wait ends within timeoutMs
  // (beside the connect's own limit).
  virtual bool Open(const LinkTarget &target, int timeoutMs) = 0;
  // One whole message (the bytes as given, no line end added); timeoutMs
  // bounds a send the instrument does not take.
  virtual bool Write(std::string_view message, int timeoutMs) = 0;
  // The reply to the last message, complete within timeoutMs. At maxBytes
  // it is cut: reply holds maxBytes, cut is set and the link is closed.
  virtual bool Read(std::string &reply, int timeoutMs, std::size_t maxBytes, bool &cut) = 0;
  // Ends the session politely where it can; the link may be opened again.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // The protocol's name in failure lines ("HiSLIP", "VXI-11").
  virtual const char *ProtocolName() const = 0;
  const LinkFailure &Failure() const { return failure_; }

 protected:
  bool Fail(LinkFailure::Kind what, int code, std::string text) {
    failure_ = {what, code, std::move(text)};
    return false;
  }
  LinkFailure failure_;
};

std::unique_ptr<TInstrumentLink> MakeHislipLink();
std::unique_ptr<TInstrumentLink> MakeVxi11Link();
// A VXI-11 link straight to a known core channel port, skipping the
// portmapper (the instrument search has asked it already).
// firstXid numbers its first call.
std::unique_ptr<TInstrumentLink> MakeVxi11CoreLink(int corePort, std::uint32_t firstXid);
