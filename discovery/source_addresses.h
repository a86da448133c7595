// The local addresses that discovery and configuration datagrams leave
// from, and the sender socket of one of them.
#pragma once

#include <string>

class TUDPBlockSocket;
struct LineLog;

// The source-address selection: dotted addresses each followed by ",".
// With /bad its address alone; else, unless /b, LocalAddressList(); with /b
// alone "255.255.255.255,".
std::string SourceAddressSelection();

// One step of the walk over a selection: while the remaining text is longer
// than 4 characters, the entry before the first "," is taken and removed
// with its ",". False (entry untouched) when the walk is over.
bool TakeSourceEntry(std::string &remaining, std::string &entry);

// Whether the senders bind to their entry: always, unless /b was given
// without /bad.
bool SendersBindToEntry();

// Sets up the sender of one entry: PrepareHandle, broadcast allowed, then
// with bindToEntry BindTo the entry and the /sport port and SetPeer to the
// /bca address and the /cport port; without it ConnectTo /bca and /cport,
// unbound. The caller tests ErrorCode() as the last step left it: SetPeer
// clears it, so a failed bind alone is not seen.
void PrepareSender(TUDPBlockSocket &socket, const std::string &entry, bool bindToEntry);

// PrepareSender, then its outcome: on an error code the line "!Sender failed
// with error code: " + code + " : " + text and false (nothing may be sent);
// else, with /v, "Sender started at: " + entry and true.
bool StartSender(TUDPBlockSocket &socket, const std::string &entry, bool bindToEntry);
// The same, its line going to log.
bool StartSender(TUDPBlockSocket &socket, const std::string &entry, bool bindToEntry, LineLog &log);
