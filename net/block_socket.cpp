#include "net/block_socket.h"

// Placeholder until the socket layer lands: every operation fails cleanly.
struct TBlockSocket::State {};
TBlockSocket::TBlockSocket() : state_(nullptr) {}
TBlockSocket::~TBlockSocket() = default;
void TBlockSocket::PrepareHandle() {}
void TBlockSocket::AllowBroadcast(bool) {}
void TBlockSocket::BindTo(const std::string &, const std::string &) { error_code_ = 10093; }
void TBlockSocket::SetPeer(const std::string &, const std::string &) { error_code_ = 10093; }
int TBlockSocket::SendText(std::string_view) { return 0; }
std::string TBlockSocket::ReceiveWaiting(int) { error_code_ = 10060; return {}; }
std::string TBlockSocket::PeerAddress() const { return {}; }
std::string TBlockSocket::GetErrorDescEx() const { return GetErrorDesc(error_code_); }
std::string TBlockSocket::GetErrorDesc(int) { return {}; }
TTCPBlockSocket::TTCPBlockSocket() = default;
TTCPBlockSocket::~TTCPBlockSocket() = default;
void TTCPBlockSocket::CloseEndpoint() {}
void TTCPBlockSocket::ConnectTo(const std::string &, const std::string &) { error_code_ = 10093; }
std::string TTCPBlockSocket::LocalHostName() { return "127.0.0.1"; }
void TTCPBlockSocket::ResolveHostAddresses(const std::string &, std::vector<std::string> &list) { list = {"0.0.0.0"}; }
std::string TTCPBlockSocket::ResolveAddressName(const std::string &address) { return address; }
TUDPBlockSocket::TUDPBlockSocket() = default;
TUDPBlockSocket::~TUDPBlockSocket() = default;
void TUDPBlockSocket::CloseEndpoint() {}
void TUDPBlockSocket::ConnectTo(const std::string &, const std::string &) { error_code_ = 10093; }
std::string LookupHostAddress(const std::string &) { return {}; }
bool StartSocketService() { return true; }
