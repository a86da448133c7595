#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "session/tcp_session.h"

namespace {

struct SplitCase {
  std::string command;
  std::vector<std::string> fields;
};

TEST(SplitCommandFields, FieldRules) {
  const std::vector<SplitCase> cases = {
      {"a;b;c", {"a", "b", "c"}},
      {"a; ;b", {"a", " ", "b"}},
      {"a;;b", {"a"}},
      {";a", {"a"}},
      {"a;", {"a"}},
      {"a;  ;b", {"a", "  ", "b"}},
      {";;a", {}},
      {";", {}},
      {"", {}},
      {" ", {" "}},
      {" a ; b ", {" a ", " b "}},
      {std::string("x\0y;z", 5), {std::string("x\0y", 3), "z"}},
  };
  for (const SplitCase &c : cases) {
    EXPECT_EQ(SplitCommandFields(c.command), c.fields) << "command: " << c.command;
  }
}

struct WaitCase {
  bool binary;
  int timeout;
  std::string command;
  int expected;
};

TEST(FirstWaitMs, TextAndBinaryRules) {
  const std::vector<WaitCase> cases = {
      {false, 2001, "*IDN?", 2001}, {false, 2001, "OUTP 1", 100}, {false, 100, "MEAS?", 100},
      {false, 12001, "?", 12001},   {false, 7001, "VOLT 1", 100}, {true, 2001, "\x01\x02", 100},
      {true, 2001, "??", 100},      {true, 2000, "\x01", 2000},   {true, 7001, "", 7001},
      {true, 100, "?", 100},
  };
  for (const WaitCase &c : cases) {
    EXPECT_EQ(FirstWaitMs(c.binary, c.timeout, c.command), c.expected)
        << (c.binary ? "binary " : "text ") << c.timeout << " " << c.command;
  }
}

TEST(ReplyLines, TextAndBinaryForms) {
  const SettingsRecord saved = Settings;
  Settings = SettingsRecord{};
  Settings.BriefOutput = true;
  EXPECT_EQ(TextReplyLine("1.5", "MEAS?"), "1.5");
  EXPECT_EQ(BinaryReplyLine(std::string("\x00\x01", 2), "\x01"), "No Data");
  Settings.BriefOutput = false;
  EXPECT_EQ(TextReplyLine("", std::string("\x01\0", 2)), std::string("\t [\x01\0]", 6));
  EXPECT_EQ(BinaryReplyLine("", std::string("\x01\xFF", 2)), "No Data\t [01 FF]");
  Settings = saved;
}

}  // namespace
