// The JSON objects of the TCP and UDP command sessions and command files
// (/json): one per reply line the text mode prints.
#pragma once

#include <string>
#include <string_view>

struct TcpExchangeResult;

// One reply as its object shows it.
struct JsonReply {
  std::string_view Command;    // the command or file line sent: "command"
  std::string_view Reply;      // text: the cleaned reply; binary: the bytes as received
  bool Binary = false;         // also "commandHex", "hex" and the values of the Modbus view
  int ErrorCode = 0;           // not 0: the exchange failed, "reply" is null and "error" tells why
  std::string_view ErrorText;
  std::string_view Line;       // the file line that an error query follows: "line"
  std::string_view Time;       // "time" unless empty
};

// {"type":"reply","command",["commandHex"],["line"],"reply",["hex"],
// ["values"|"text"],["error"],["time"]}. The Modbus view (/mbi /mbl /mbf
// numbers, /mbb bit strings, /mbs "text") of a binary reply longer than 9
// bytes follows Settings.ModbusView and ModbusFunction.
std::string ReplyJson(const JsonReply &reply);
// The same object written to standard output in pieces (json_stream.h):
// a reply of any size costs a piece of memory beside itself.
void WriteReplyJson(const JsonReply &reply);

// The object of one TCP exchange: binary when binary mode is on and the
// exchange brought a reply.
// A failed exchange (connect, first receive) is this object alone, with
// "reply" null and "error": no error object is written for it.
std::string TcpReplyJson(const TcpExchangeResult &result, std::string_view command, bool binary);
void WriteTcpReplyJson(const TcpExchangeResult &result, std::string_view command, bool binary);

// {"type":"datagram","from","data",["time"]}: a datagram received on the
// UDP mode's listener.
std::string DatagramJson(std::string_view from, std::string_view data, std::string_view time);

// The "time" of an object made now: ISO 8601 with milliseconds while a
// time-stamp switch is on, else "".
std::string JsonTimestamp();
