#include "session/tcp_session.h"

#include "net/block_socket.h"

// Placeholder until the TCP session lands.
std::unique_ptr<TTCPBlockSocket> SessionSocket;
std::string TcpExchange(std::string_view, std::string_view) { return {}; }
void RunTcpCommands() {}
