// The sessions of /hislip and /vxi11: one link to the instrument for the
// whole run, shared by the command-line run and the command-file session.
#pragma once

#include <string>
#include <string_view>

#include "session/tcp_session.h"

class TInstrumentLink;

// Whether the run talks to its instrument over a protocol link (/hislip,
// /vxi11) rather than a raw TCP stream.
bool ProtocolSession();

// Whether a reply ends at a mark of its own (a protocol's end of message,
// or the line end under /eol) rather than after a silence: such a run
// without /t ends right after its last reply, with no repeat delay.
bool RepliesEndMarked();

// The run's link, opened on first use (and again after a failure ended
// it), with /v "TCP Create". A failed open prints failureHead's line (or
// the protocol's error line) unless report is off, and gives nullptr;
// code and text tell why.
TInstrumentLink *SessionLink(std::string_view address, std::string_view failureHead, int &code, std::string &text,
                             bool report = true);

// Ends the run's link (destroy_link, closing the channels), with /v
// "TCP Stopped" when one was open.
void CloseSessionLink();

// One exchange over the run's link: the command written as one message;
// for a query its reply read to the end mark within the response
// time-out. The result as TcpRequest gives it for a raw exchange: status
// texts, codes, cleaned reply and, when binary, the bytes as received.
TcpExchangeResult LinkRequest(std::string_view address, std::string_view command, bool binary, bool query);

// What a failed step of the link prints and gives: the protocol's line
// ("!HiSLIP error 1 : Poorly formed message header") always; a time-out
// as "Response Timeout!" under /v; a broken connection as the /v line
// "Recv error: " and the reply "TCP Command Error! " + code. Sets
// result's Failed, ErrorCode, ErrorText and Reply.
void ReportLinkFailure(const TInstrumentLink &link, TcpExchangeResult &result);

// How long a message's send may stall: the response time-out, at least 10 s.
int LinkSendTimeoutMs();

// "!" + protocol + " error " + code + " : " + text.
std::string ProtocolErrorLine(std::string_view protocol, int code, std::string_view text);
