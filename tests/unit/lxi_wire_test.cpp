// The instrument search's wire formats: calls and queries byte for byte,
// and the readers over recorded replies and their damaged copies.
#include <gtest/gtest.h>

#include "core/codecs.h"
#include "wire/dns_reply.h"
#include "discovery/lxi_instrument.h"
#include "wire/mdns_query.h"
#include "wire/portmap_wire.h"
#include "wire/rpc_record.h"
#include "wire/vxi11_wire.h"

namespace {

std::string Hex(std::string_view text) { return SpacedHexToBytes(text); }

// In a VXI-11 core call, after the xid and after the procedure.
const std::string kCall = " 00000000 00000002 000607AF 00000001 ", kAuth = " 00000000 00000000 00000000 00000000 ";

TEST(LxiWire, CallsAndQueryBytes) {
  const struct { std::string built, expected; } cases[] = {
      {BuildGetPortCall(0x3E8), "000003E8 00000000 00000002 000186A0 00000002 00000003" + kAuth +
                                    "000607AF 00000001 00000006 00000000"},
      {BuildCreateLink(1, 0x1234, 0, "inst0"),
       "00000001" + kCall + "0000000A" + kAuth + "00001234 00000000 00000000 00000005 696E7374 30000000"},
      {BuildDeviceWrite(2, 7, 500, 0, "*IDN?\n"),
       "00000002" + kCall + "0000000B" + kAuth + "00000007 000001F4 00000000 00000008 00000006 2A49444E 3F0A0000"},
      {BuildDeviceRead(3, 7, 4096, 500, 0),
       "00000003" + kCall + "0000000C" + kAuth + "00000007 00001000 000001F4 00000000 00000000 00000000"},
      {BuildDestroyLink(4, 7), "00000004" + kCall + "00000017" + kAuth + "00000007"},
      {FrameRecord("abc"), "80000003 616263"},
      {BuildServiceQuery(0x1234),
       "1234 0000 0004 0000 0000 0000 045F6C7869 045F746370 056C6F63616C 00 000C 0001 "
       "075F7678692D3131 045F746370 056C6F63616C 00 000C 0001 095F736370692D726177 045F746370 056C6F63616C 00 000C 0001 "
       "075F6869736C6970 045F746370 056C6F63616C 00 000C 0001"},
  };
  for (const auto &c : cases) EXPECT_EQ(c.built, Hex(c.expected)) << c.expected;
  EXPECT_EQ(BuildGetPortCall(1).size(), 56u);
}

TEST(LxiWire, GetPortReplies) {
  const struct { const char *reply; int port; } cases[] = {
      {"000003E8 00000001 00000000 00000000 00000000 00000000 00000400", 1024},
      {"000003E8 00000001 00000000 00000001 00000004 DEADBEEF 00000000 0000FFFF", 65535},  // verifier body
      {"000003E9 00000001 00000000 00000000 00000000 00000000 00000400", 0},    // another xid
      {"000003E8 00000001 00000000 00000000 00000000 00000000 00000000", 0},    // not registered
      {"000003E8 00000001 00000001 00000000 00000000 00000000 00000400", 0},    // denied
      {"000003E8 00000001 00000000 00000000 00000000 00000001 00000400", 0},    // not a success
      {"000003E8 00000001 00000000 00000000 00000000 00000000 000004", 0},      // cut short
      {"000003E8 00000001 00000000 00000000 00000000 00000000 00000400 00", 0}, // too long
      {"000003E8 00000001 00000000 00000000 FFFFFFFF", 0},                      // verifier past the end
  };
  for (const auto &c : cases) {
    int port = 0;
    EXPECT_EQ(ReadGetPortReply(Hex(c.reply), 0x3E8, port) ? port : 0, c.port) << c.reply;
  }
}

TEST(LxiWire, RecordsJoinFragmentsWithinBounds) {
  const struct { const char *stream; RecordState state; const char *message; std::size_t consumed; } cases[] = {
      {"00000002 6162 80000001 63 FF", RecordState::Complete, "abc", 11},
      {"80000000", RecordState::Complete, "", 4},
      {"00000002 6162 8000", RecordState::Incomplete, "", 0},
      {"80000003 6162", RecordState::Incomplete, "", 0},
      {"80000009", RecordState::Malformed, "", 0},               // over 8 bytes
      {"00000004 61626364 80000005", RecordState::Malformed, "", 0},
      {"00000000 00000000 80000000", RecordState::Malformed, "", 0},  // over 2 fragments
  };
  for (const auto &c : cases) {
    std::string message;
    std::size_t consumed = 0;
    EXPECT_EQ(ReadRecord(Hex(c.stream), 8, 2, message, consumed), c.state) << c.stream;
    EXPECT_EQ(c.state == RecordState::Complete ? std::make_pair(message, consumed) : std::make_pair(std::string(), std::size_t{0}),
              std::make_pair(std::string(c.message), c.consumed));
  }
}

// A legacy unicast answer: the question, then PTR, SRV, TXT and A, names
// compressed, the cache-flush bit on the last three.
const char kAnswer[] =
    "1234 8400 0001 0001 0000 0003  045F6C7869 045F746370 056C6F63616C 00 000C 0001 "
    "C00C 000C 0001 00000078 0008  0553636F7065 C00C "                          // 33: PTR, instance at 45
    "C02D 0021 8001 00000078 000E  0000 0000 0050 0573636F7065 C016 "           // 53: SRV, host at 71
    "C02D 0010 8001 00000078 000B  0A 4D6F64656C3D58313233 "                    // 79: TXT
    "C047 0001 8001 00000078 0004  C0A8011E";                                  // 102: A

TEST(DnsReply, RecordedAnswerMergesIntoOneInstrument) {
  std::vector<DnsRecord> records;
  ASSERT_TRUE(ReadDnsReply(Hex(kAnswer), 0x1234, records));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].Target, (DnsName{"Scope", "_lxi", "_tcp", "local"}));
  EXPECT_EQ(std::make_tuple(records[1].Port, records[1].Target, records[1].CacheFlush, records[0].CacheFlush),
            std::make_tuple(80, DnsName{"scope", "local"}, true, false));
  EXPECT_EQ(records[2].Texts, std::vector<std::string>{"Model=X123"});
  EXPECT_EQ(std::make_pair(records[3].Name, records[3].Address), std::make_pair(DnsName{"scope", "local"}, 0xC0A8011Eu));

  LxiInstrumentList list;
  AddAnnouncedServices(list, records, 0x7F000001);
  AddPortmapperAnswer(list, 0xC0A8011E, 1024);
  AddPortmapperAnswer(list, 0x0A000001, 1025);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(TxtIdentity(list[1]), ",X123,,");
  list[1].Idn = "A\tB";
  EXPECT_EQ(FormatLxiInstrument(list[1]), (std::vector<std::string>{"", "LXI Instrument: 192.168.1.30",
            "Found by:      VXI-11 core port 1024, mDNS _lxi._tcp port 80", "Name:          Scope", "IDN:  [A B]"}));
  EXPECT_EQ(FormatLxiInstrument(list[0]), (std::vector<std::string>{"", "LXI Instrument: 10.0.0.1",
            "Found by:      VXI-11 core port 1025", "IDN:  []"}));
}

TEST(DnsReply, DamagedAnswersAreRejected) {
  const std::string good = Hex(kAnswer);
  std::vector<DnsRecord> records;
  for (std::size_t length = 0; length < good.size(); ++length)
    EXPECT_FALSE(ReadDnsReply(good.substr(0, length), 0x1234, records)) << length;
  const struct { std::size_t at; const char *bytes; } patches[] = {
      {0, "1235"}, {2, "0400"}, {2, "8C00"},  // another id, a query, another opcode
      {33, "C021"}, {33, "C0FF"}, {102, "C070"}, // pointers to themselves, past the end, forward
      {12, "44"}, {12, "84"},                    // reserved label kinds
      {112, "0005"}, {63, "00FF"}, {91, "0B"},   // data past its record or the message
  };
  for (const auto &p : patches)
    EXPECT_FALSE(ReadDnsReply(std::string(good).replace(p.at, Hex(p.bytes).size(), Hex(p.bytes)), 0x1234, records))
        << p.at << " " << p.bytes;
}

}  // namespace
