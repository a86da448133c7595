// The TCP exchanges of /a and /s with one supply found by discovery. They
// run on a worker thread, each supply's beside the others', and print
// nothing; the thread that runs discovery prints what they gave when the
// supply's turn comes.
#pragma once

#include <string>

#include "core/line_log.h"
#include "session/tcp_session.h"

struct SupplyExchanges {
  std::string Datagram;  // the supply's reply datagram
  std::string Source;    // the address it came from: the exchanges go there
  // What the exchanges gave, each with its lines (kept, not printed).
  TcpExchangeResult Identity, Reply;
  LineLog IdentityLines{true, {}}, ReplyLines{true, {}};
};

// /a: the identity (or identity and interfaces) query, always text; then
// /s: the /cmd command in its own mode. Reads Settings only.
void RunSupplyExchanges(SupplyExchanges &work);

// What the exchanges gave, in the order a supply's lines stand: the
// identity exchange's lines and "IDN:  [...]" or "IdnIf:[...]", then the
// command's lines and "Recv: [...]" for a query; with /json the lines and
// the supply's object.
void PrintSupplyExchanges(SupplyExchanges &work);
