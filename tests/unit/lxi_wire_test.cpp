// The instrument search's wire formats: calls and queries byte for byte,
// and the readers over recorded replies and their damaged copies.
#include <gtest/gtest.h>

#include "core/codecs.h"
#include "wire/dns_reply.h"
#include "discovery/lxi_instrument.h"
#include "discovery/lxi_resolution.h"
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

TEST(LxiWire, FollowUpQueryBytes) {
  const DnsName instance{"Scope", "_lxi", "_tcp", "local"}, host{"scope", "local"};
  const struct { std::vector<DnsQuestion> questions; const char *expected; } cases[] = {
      {{{instance, kDnsTypeSrv}, {instance, kDnsTypeTxt}},
       "8001 0000 0002 0000 0000 0000 0553636F7065 045F6C7869 045F746370 056C6F63616C 00 0021 0001 "
       "0553636F7065 045F6C7869 045F746370 056C6F63616C 00 0010 0001"},
      {{{host, kDnsTypeA}}, "8001 0000 0001 0000 0000 0000 0573636F7065 056C6F63616C 00 0001 0001"},
      // Labels of 64 bytes or none cannot be asked: left out.
      {{{{std::string(64, 'a'), "local"}, kDnsTypeA}, {{"", "local"}, kDnsTypeA}, {{"a.b"}, kDnsTypeA}},
       "8001 0000 0001 0000 0000 0000 03612E62 00 0001 0001"},
  };
  for (const auto &c : cases) EXPECT_EQ(BuildQuestionQuery(0x8001, c.questions), Hex(c.expected)) << c.expected;
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

  MdnsAnswers answers;
  NoteMdnsReply(answers, records, 0x7F000001, 0);
  EXPECT_TRUE(DueFollowUps(answers, 0).empty());
  LxiInstrumentList list;
  AddAnnouncedServices(list, answers);
  AddPortmapperAnswer(list, 0xC0A8011E, 1024);
  AddPortmapperAnswer(list, 0x0A000001, 1025);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(TxtIdentity(list[1]), ",X123,,");
  EXPECT_EQ(list[1].Services, (std::vector<LxiService>{{"_lxi._tcp", 80}}));
}

// An answer of PTR records alone: SRV and TXT asked at once, A once the SRV
// host is known, each once more a second later while unanswered, no more.
TEST(DnsReply, FollowUpsResolveAnInstanceAnnouncedByPointerAlone) {
  const DnsName instance{"Scope", "_lxi", "_tcp", "local"}, host{"scope", "local"};
  MdnsAnswers answers;
  NoteMdnsReply(answers, {DnsRecord{.Name = {"_lxi", "_tcp", "local"}, .Type = kDnsTypePtr, .Target = instance}},
                0x0A000009, 1);
  const auto asked = [&](std::uint64_t now) {
    std::vector<std::pair<std::size_t, std::string>> queries;
    for (const MdnsFollowUp &query : DueFollowUps(answers, now))
      for (const DnsQuestion &question : query.Questions)
        queries.emplace_back(query.Socket, question.Name[0] + "/" + std::to_string(question.Type));
    return queries;
  };
  using Asked = std::vector<std::pair<std::size_t, std::string>>;
  EXPECT_EQ(asked(100), (Asked{{1, "Scope/33"}, {1, "Scope/16"}}));
  EXPECT_EQ(asked(600), Asked{});
  LxiInstrumentList list;
  AddAnnouncedServices(list, answers);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(std::make_tuple(list[0].Ip, list[0].Services, list[0].Name),
            std::make_tuple(0x0A000009u, std::vector<LxiService>{{"_lxi._tcp", 0}}, std::string("Scope")));
  NoteMdnsReply(answers, {DnsRecord{.Name = instance, .Type = kDnsTypeSrv, .Target = host, .Port = 8080}}, 0x0A000009, 0);
  EXPECT_EQ(asked(700), (Asked{{1, "scope/1"}}));
  EXPECT_EQ(asked(1100), (Asked{{1, "Scope/16"}}));
  EXPECT_EQ(asked(1699), Asked{});
  EXPECT_EQ(asked(1700), (Asked{{1, "scope/1"}}));
  EXPECT_EQ(asked(9000), Asked{});
  NoteMdnsReply(answers, {DnsRecord{.Name = host, .Type = kDnsTypeA, .Address = 0xC0A8011E}}, 0x0A000009, 0);
  list.clear();
  AddAnnouncedServices(list, answers);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(std::make_pair(list[0].Ip, list[0].Services),
            std::make_pair(0xC0A8011Eu, std::vector<LxiService>{{"_lxi._tcp", 8080}}));
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
