// Commands to one instrument over TCP: one exchange per connection.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class TTCPBlockSocket;

// The program-wide session socket slot, shared with the command-file session.
extern std::unique_ptr<TTCPBlockSocket> SessionSocket;

// Connects to address (dotted text) on Settings.TcpPort, sends command,
// collects the reply and closes. Returns the cleaned reply or a status text.
std::string TcpExchange(std::string_view address, std::string_view command);

// The /cmd, /hex, /mod run: split (/d), repeat (/t) and one line per exchange.
// Returns only when no repeat is set.
void RunTcpCommands();
