// The JSON objects of PSU discovery, the configuration commands and
// Teracom discovery (/json).
#pragma once

#include <string>
#include <string_view>

struct LxiInstrument;

// What a supply answered over TCP (/a, /s).
struct SupplyAnswer {
  bool Asked = false;   // the exchange ran: the object carries its field
  bool Failed = false;  // it brought no reply: the field is null
  std::string Text;     // the reply, cleaned as for its text line
  int ErrorCode = 0;    // a failed exchange: why ("error" of the supply)
  std::string ErrorText;
};

// {"type":"supply","serial","mac","ip","dhcp","mask","gateway","pud","from"}
// of one reply datagram, the fields null when it is too short to hold
// them; with identity asked "idn" (and, when interfaces, the reply split
// at its first ";" into "idn" and "interfaces"); with reply asked "reply";
// "error" {"code","text"} of the first of them that failed (also of a /s
// exchange whose reply is not shown, when its connect failed).
std::string SupplyJson(std::string_view datagram, std::string_view from, const SupplyAnswer &identity,
                       bool interfaces, const SupplyAnswer &reply);

// {"type":"teracom","hostname","serial","address","from"} of one reply.
std::string TeracomJson(std::string_view reply, std::string_view from);

// {"type":"config","step","mac","source","hex"} of one configuration
// datagram, the address step also with "ip", "mask" and "gateway"; with
// "error" {"code","text"} when its sender could not be set up (code not 0).
// {"type":"lxi","ip","vxi11_port","services":[{"type","port"}...],"name",
// "idn","idnBy","announced","tried":[...],"interfaces":[{"hostname","mac",
// "ip","dhcp","mask","gateway"}...]} of one LAN instrument: vxi11_port null
// when the portmapper did not answer, a service's port null when its SRV
// record never came, name null when there is none; idn the identity the
// instrument gave and idnBy the way ("vxi11", "hislip", "scpi-raw"), both
// null without one; announced the identity of its TXT keys or null; tried
// the ways asked; interfaces those of its identification document, a
// field it leaves out null.
std::string LxiJson(const LxiInstrument &instrument);

std::string ConfigJson(std::string_view source, std::string_view payload, int code, std::string_view errorText);
