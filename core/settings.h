// The one program-wide record of every option of a run.
//
// Addresses are unsigned 32-bit numbers with the first dotted octet in the
// most significant byte; ports, counts and delays are signed 32-bit; all
// times are milliseconds. Texts and byte strings are std::string and may
// hold any byte, 0 included.
#pragma once

#include <cstdint>
#include <string>

struct SettingsRecord {
  bool EscapeTranslation = false;    // /xis: /cmd text and file lines pass through TranslateEscapes
  bool ResolveHostName = false;      // /o: TCP sessions print the host name of the address
  bool PauseBeforeExit = false;      // /dbg: ExitProgram waits for Enter
  bool BriefOutput = false;          // only reply lines: no address report, no echo
  bool CommaToEol = false;           // /xc: "," in replies becomes CR LF
  bool DecimalComma = false;         // /xsk: "," to ";" and "." to "," in replies
  bool TeracomMode = false;          // /terac: Teracom discovery
  bool UdpMode = false;              // /u: UDP command mode
  bool RepeatCommand = false;        // /t: repeat the TCP command forever
  bool SendToAll = false;            // /s: discovery sends Command to every supply found
  bool SplitCommands = false;        // /d: split Command at ";"
  bool FileMode = false;             // /cfl, /hfl: command-file session
  bool CommandMode = false;          // /cmd, /hex, /mod: TCP command run
  bool HexMode = false;              // /hex, /mod, /hfl: Command and file lines are raw bytes
  bool BindAddressGiven = false;     // /bad given
  bool AskIdentity = false;          // /a: identity query to each supply found
  bool DiscoverAfterConfig = false;  // /e: discovery also after a configuration command
  bool ResetRequested = false;       // /r
  bool StaticRequested = false;      // /static
  bool DhcpRequested = false;        // /dhcp
  std::uint32_t BroadcastAddress = 0xFFFFFFFFu;  // /bca: destination of discovery datagrams
  std::uint32_t BindAddress = 0;                 // /bad: the one local address to send from
  std::uint32_t NetMask = 0;                     // /mask; completed after parsing
  std::uint32_t Gateway = 0;                     // /gw; completed after parsing
  std::uint32_t IpAddress = 0;                   // /ip: instrument address, static address; 0 = none
  std::string MacAddress;                        // /mac: 0 to 8 bytes, valid with exactly 6
  std::string LineTerminator = "\n";             // /cr, /crlf: appended to text commands
  std::string FileName;                          // /cfl, /hfl
  std::string Command;                           // /cmd, /hex, /mod
  std::int32_t VerbosityLevel = 0;               // /vv sets 2
  std::int32_t ModbusView = 0;                   // /mbi 1, /mbl 2, /mbf 3, /mbb 4, /mbs 5
  std::int32_t ResponseTimeoutMs = 2001;         // /f, /l, /ll, /mod; 2001 marks "not changed"
  std::int32_t TimestampFormat = 0;              // /xtt 1, /xtc 2, /xts 3, /xtk 4, /xtl 5, /xti 6
  std::int32_t RepeatDelayMs = 100;              // /ttime: pause after each /t pass
  std::uint8_t ModbusFunction = 0;               // first value of /mod
  std::uint8_t ModbusUnit = 1;                   // /mde
  std::uint16_t ModbusAddress = 0;               // second value of /mod
  std::uint16_t ModbusValue = 0;                 // third value of /mod
  std::uint16_t ModbusTransactionId = 0;         // computed once by the driver at start
  std::int32_t ClientPort = 7024;                // /cport, /ports, /u, /terac: remote UDP port
  std::int32_t ServerPort = 7025;                // /sport, /ports, /u, /terac: local UDP port
  std::int32_t TcpPort = 8462;                   // /tport, /ports, presets, /mod
  std::int32_t LineDelayMs = 5;                  // /waitl: pause after each file line
  std::int32_t PauseDelayMs = 1000;              // /waitp: pause for an empty file line
  bool Verbose = false;                          // /v, /vv
  bool BindAll = true;                           // /b inverts: send from every local address
  bool JsonOutput = false;                       // /json: results as JSON lines, text lines to standard error
  bool LxiMode = false;                          // /lxi: search for LAN instruments
  std::int32_t SessionProtocol = 0;              // how TCP sessions speak: kRawSession, /hislip, /vxi11
  std::string DeviceName;                        // /dev: HiSLIP sub-address, VXI-11 device; "" = the default
  bool EolEndsReply = false;                     // /eol: a raw TCP reply ends at its first line terminator
};

// The protocols of Settings.SessionProtocol.
enum SessionProtocolKind { kRawSession = 0, kHislipSession = 1, kVxi11Session = 2 };

// The program-wide settings; `Settings = SettingsRecord{}` stores the start values.
extern SettingsRecord Settings;
