// The help text, its first line naming the build.
#include "app/help.h"

#include "core/exit.h"
#include "platform/platform.h"

namespace {

// The maker's web address shown in the first line.
const char kMakerAddress[] = "www.psulan.example";
// The build passes the version (CMake's project version).
#ifndef PSULAN_VERSION
#error "PSULAN_VERSION is set by the build"
#endif
const char kVersion[] = "v" PSULAN_VERSION;

}  // namespace

std::vector<std::string> HelpLines() {
  std::vector<std::string> lines;
  lines.reserve(64);
  lines.push_back(std::string("Command line configurator for Rurev Izurovozeva PSU's by ") + kMakerAddress + " " +
                  kVersion + " " + TargetSystemName() + " " + TargetProcessorName());
  static const char *const kBody[] = {
      " When no parameter is specified, program searches for PSU's on Local Network.",
      " Commands are case insensitive. Use Slash (/) or Minus (-) as parameter switch.",
      " Any number can be entered also as Hex with \"x\" or \"0x\" prefix, so xFF is 255 decimal.",
      " /h, /?  - this text",
      " /b      - Do not Bind to all local adresses.",
      " /l      - Long, increase delay +5s for response from remote device, can be used more times (/ll adds 10s",
      " /f      - Fast, wait 100 ms for response, default is 1 s",
      " /r      - send controller Reset command, /MAC is mandatory",
      " /mac    - specify MAC Address of PSU as next parameter",
      "           use: /mac F4-e1-42-00-03-ab",
      " /dhcp   - enable DHCP on PSU with specified MAC Address, /MAC is mandatory",
      " /static - set static IP address on PSU with specified MAC Address",
      "           paramters /IP and /MAC are mandatory",
      " /ip     - specify IP Address as next parameter",
      "           use: /mac F4-e1-42-00-03-ab /static /ip 192.168.2.2",
      " /gw     - specify address of Default Gateway as next parameter",
      "           If not spefified, it is calculated from /IP, x.x.x.1",
      " /mask   - specify Network Mask as next parameter",
      "           If not spefified, default is used 255.255.255.0",
      " /bad    - specify IP Address to Bind, default is 0.0.0.0",
      " /bca    - specify Broadcast IP Address, default is 255.255.255.255, for LAN you have to use like 192.168.1.255",
      " /a      - ask for IDN and interfaces",
      " /cmd    - send command to PSU, use: /IP 10.0.0.1 /cmd \"sour:curr 3;outp 1\", for \" use ''",
      " /hex    - send HEX data, use: /IP 10.0.0.1 /hex \"0001 0000 0006 00 05 0065 FF00\" or /hex 01FF00",
      " /mod    - send ModbusTCP 6 byte command, /tport is set to 502, use: /IP 10.0.0.1 /mod 3 100 255",
      " /mde    - Modbus device ID, default is 1, use: /mde 5 /mod 2 100 2",
      " /o      - try to resolve used IP address to hostname",
      " /d      - parse command in /cmd as separate commands and send with 100ms delay, space (; ;) is 500 ms",
      " /t      - repeat command in /CMD until CTRL+Break",
      " /ttime  - change delay between /t repeats in ms, default is 100 ms, use: /ip 10.10.1.5 /ttime 100 /t /cmd read?",
      " /u      - UDP communication mode for /CMD & /CFL, use: /u /ip 192.168.152.1 /cmd initnet;*IDN?;disconnect",
      "           /u /ip 192.168.172.1 /cmd \"initnet;sour:volt 10;sour:curr 1;sour:outp on;sour on;disconnect\"",
      " /cfl    - send text file, empty line is pause, use: /IP 10.0.0.1 /cfl file.txt",
      " /hfl    - send hex file, empty line is pause, use: /IP 10.0.0.1 /hfl file.txt",
      " /waitl  - change delay after each line in /cfl, default is 5 ms, use: /ip 10.10.1.5 /waitl 100 /cfl file.txt",
      " /waitp  - empty line pause in /cfl, default is 1000 ms, use: /ip 10.10.1.5 /waitp 5000 /cfl file.txt",
      " /n      - while /CMD or CFL shows also outgoing commands",
      " /s      - send command specified by /cmd to all found devices, use: /s /cmd syst:fro:hig",
      " /xc     - convert Comma in incomming data to system EOL, useful for getting Digitize data from the Vanquish",
      " /xsk    - convert Comma to Semicolon and Decimal Dot to Comma - for languages like Slovak",
      " /xts    - add timestamp to incoming data, separated by Semicolon, format: ;yyyy-mm-dd;hh:nn:ss;zzz",
      " /xtt    - add timestamp to incoming data, separated by TAB, format: [T]yyyy-mm-dd[T[hh:nn:ss[T]zzz",
      " /xtc    - add timestamp to incoming data, separated by TAB, format: [T]yyyy-mm-dd hh:nn:ss.zzz",
      " /xtk    - add timestamp to incoming data, separated by TAB, format: [T]yyyy.mm.dd[T]hh:nn:ss.zzz",
      " /xtl    - add timestamp to incoming data, separated by TAB, format: [T]yyyy.mm.dd hh:nn:ss.zzz",
      " /xti    - add timestamp to incoming data, separated by TAB, format: [T]hh:nn:ss.zzz",
      " /xis    - translate Escaped special characters in /cmd (\\z \\b \\t \\n \\r \\e \\s)",
      " /mb?    - convert HEX output as MODBUS data: Integer, Long, Float, Binary and String (/mbi, /mbb, ....)",
      " /ports  - change all communication ports use: /ports 53001 /u /ip 192.168.1.21 /cmd *idn?",
      " /tport  - change port for TCP communication (8462), use: /tport 9221 /ip 192.168.1.21 /cmd *idn?",
      " /fluke  - change port for TCP communication to 3490, use: /fluke /ip 192.168.1.21 /cmd *idn?",
      " /aimtti - change port for TCP communication to 9221, (Thurlby Thandar Instruments)",
      " /sraw   - change port for TCP communication to 5025, (SCPI Raw Socket, Agilent/Keysight, Rohde & Schwarz, Siglent)",
      " /stel   - change port for TCP communication to 5024, (SCPI Telnet)",
      " /hislip - change port for TCP communication to 4880, (High-Speed LAN Instrument Protocol)",
      " /tdkla  - change port for TCP communication to 8003, (TDK Lambda)",
      " /sport  - change UDP server listening port (7025), use: /sport 9221",
      " /cport  - change remote client UDP port (7024), use: /cport 9221",
      " /cr     - change line terminator to CR (13, 0x0Dh, \\r\\n) - default is LF (10, 0x0Ah, \\n)",
      " /crlf   - change line terminator to CRLF (1310, 0x0D0Ah, \\r\\n)",
      " /terac  - do discovery of Teracom modules",
      " /v /vv /dbg",
      // Switches added since, one line each after the lines above.
      " /json   - print results as JSON objects, one a line; all other lines go to standard error",
      " /lxi    - find LXI instruments (VXI-11 portmapper and mDNS) on all local networks, with their IDN",
      " /vxi11  - talk to the instrument over VXI-11 (port from its portmapper), use: /vxi11 /ip 192.168.1.30 /cmd *idn?",
      " /dev    - device name for /hislip (hislip0) and /vxi11 (inst0), use: /vxi11 /dev gpib0,5 /ip 192.168.1.30 /cmd *idn?",
      " /eol    - a TCP reply ends at its first line terminator instead of after 50 ms of silence",
  };
  for (const char *line : kBody) lines.emplace_back(line);
  return lines;
}

void ShowHelp() {
  for (const std::string &line : HelpLines()) WriteLine(line);
  ExitProgram(1);
}
