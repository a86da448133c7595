// The session protocols' bytes: HiSLIP messages and the VXI-11 link calls
// written out, and the readers over good, cut and damaged streams.
#include <gtest/gtest.h>

#include "core/codecs.h"
#include "wire/hislip_wire.h"
#include "wire/vxi11_wire.h"

namespace {

std::string Hex(std::string_view text) { return SpacedHexToBytes(text); }

TEST(HislipWire, MessagesByteForByte) {
  const struct { std::string built; const char *expected; } cases[] = {
      {BuildHislipInitialize("hislip0"), "4853 00 00 01005053 00000000 00000007 686973 6C697030"},
      {BuildHislipInitialize("gpib0,5"), "4853 00 00 01005053 00000000 00000007 67706962 302C35"},
      {BuildHislipAsyncInitialize(0x1234), "4853 11 00 00001234 00000000 00000000"},
      {BuildHislipDataEnd(0xFFFFFF00u, false, "*IDN?"), "4853 07 00 FFFFFF00 00000000 00000005 2A49444E3F"},
      {BuildHislipDataEnd(0xFFFFFF02u, true, ""), "4853 07 01 FFFFFF02 00000000 00000000"},
      {BuildHislipFatalError(1, "x"), "4853 02 01 00000000 00000000 00000001 78"},
  };
  for (const auto &c : cases) EXPECT_EQ(c.built, Hex(c.expected)) << c.expected;
}

TEST(HislipWire, ReaderTakesWholeMessagesWithinBounds) {
  const struct { const char *stream; HislipState state; int type, control; std::uint32_t parameter;
                 const char *payload; std::size_t consumed; } cases[] = {
      {"4853 07 00 FFFFFF00 00000000 00000003 414243 4853", HislipState::Complete, 7, 0, 0xFFFFFF00u, "ABC", 19},
      {"4853 01 01 01000005 00000000 00000000", HislipState::Complete, 1, 1, 0x01000005u, "", 16},
      {"4853 02 01 00000000 00000000 00000008", HislipState::Incomplete, 0, 0, 0, "", 0},  // payload to come
      {"4853 07 00 FFFFFF00 0000", HislipState::Incomplete, 0, 0, 0, "", 0},               // header cut
      {"", HislipState::Incomplete, 0, 0, 0, "", 0},
      {"48", HislipState::Incomplete, 0, 0, 0, "", 0},
      {"2A49444E3F0A", HislipState::Malformed, 0, 0, 0, "", 0},                             // raw SCPI text
      {"4854", HislipState::Malformed, 0, 0, 0, "", 0},
      {"4853 07 00 FFFFFF00 00000000 00000009", HislipState::Malformed, 0, 0, 0, "", 0},    // over 8 bytes
      {"4853 07 00 FFFFFF00 00000001 00000000", HislipState::Malformed, 0, 0, 0, "", 0},    // 2^32 bytes
  };
  for (const auto &c : cases) {
    HislipMessage message;
    std::size_t consumed = 0;
    const std::string stream = Hex(c.stream);
    ASSERT_EQ(ReadHislipMessage(stream, 8, message, consumed), c.state) << c.stream;
    if (c.state != HislipState::Complete) continue;
    EXPECT_EQ(std::make_tuple(int{message.Type}, int{message.Control}, message.Parameter, std::string(message.Payload), consumed),
              std::make_tuple(c.type, c.control, c.parameter, std::string(c.payload), c.consumed)) << c.stream;
  }
}

TEST(HislipWire, ErrorTexts) {
  EXPECT_EQ(HislipFatalErrorText(1, "whatever"), "Poorly formed message header");
  EXPECT_EQ(HislipFatalErrorText(200, "Vendor says no"), "Vendor says no");
  EXPECT_EQ(HislipFatalErrorText(200, ""), "Unknown fatal error");
  EXPECT_EQ(HislipErrorText(4, ""), "Message too large");
  EXPECT_EQ(HislipErrorText(77, std::string(300, 'x')), std::string(256, 'x'));
}

// In a VXI-11 core call, after the xid and after the procedure.
const std::string kCall = " 00000000 00000002 000607AF 00000001 ", kAuth = " 00000000 00000000 00000000 00000000 ";

TEST(Vxi11Wire, LinkCallsAndReplies) {
  EXPECT_EQ(BuildCreateLink(5, 5, 0, "gpib0,5"),
            Hex("00000005" + kCall + "0000000A" + kAuth + "00000005 00000000 00000000 00000007 67706962 302C3500"));
  EXPECT_EQ(BuildDeviceWrite(6, 7, 2001, 2001, "MEAS", false),
            Hex("00000006" + kCall + "0000000B" + kAuth + "00000007 000007D1 000007D1 00000000 00000004 4D454153"));
  std::uint32_t error = 9, link = 0, maxReceive = 0;
  EXPECT_TRUE(ReadCreateLinkReply(Hex("00000005 00000001 00000000 00000000 00000000 00000000 "
                                      "00000000 00000007 00000000 00000400"), 5, error, link, maxReceive));
  EXPECT_EQ(std::make_tuple(error, link, maxReceive), std::make_tuple(0u, 7u, 1024u));
  EXPECT_TRUE(ReadCreateLinkReply(Hex("00000005 00000001 00000000 00000000 00000000 00000000 0000000B"), 5, error,
                                  link, maxReceive));
  EXPECT_EQ(error, 11u);
  EXPECT_EQ(Vxi11ErrorText(error), "Device locked by another link");
  EXPECT_EQ(Vxi11ErrorText(2), "Unknown error");
}

}  // namespace
