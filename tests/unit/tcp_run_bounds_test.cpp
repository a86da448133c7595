// The TCP sessions within their bounds: a reply that never ends is cut at
// the ceiling and its connection closed (a command file ends there); a
// repeated pass that sends nothing pauses instead of spinning.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/parser.h"
#include "app_exit_capture.h"
#include "core/dotted_address.h"
#include "net/block_socket.h"
#include "plain_sockets.h"
#include "session/command_file.h"
#include "session/tcp_session.h"

namespace {

// Letters a to z over and over from position `from`: no line end or comma
// that the reply clean-up would touch.
std::string Letters(std::size_t size, std::size_t from = 0) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (from + i) % 26);
  return text;
}

// A peer that reads the command and then sends letters without a pause
// until a send fails, which tells how the program ended the connection.
// It gives up after 32 MiB, so a program without a ceiling fails the test
// rather than the machine.
class StreamingPeer {
 public:
  StreamingPeer() : thread_([this] { Serve(); }) {}
  ~StreamingPeer() {
    if (thread_.joinable()) thread_.join();
  }
  std::string Port() const { return listener_.socket.PortText(); }
  // Waits for the peer to stop; true when its sends failed because the
  // program closed the connection (not because it stopped reading).
  bool StoppedByClose() {
    thread_.join();
    return closedByProgram_;
  }
  const std::string &Command() const { return command_; }

 private:
  void Serve() {
    const socket_t connection = listener_.Accept();
    char buffer[256];
    const long received = receive_bytes(connection, buffer, sizeof buffer);
    if (received > 0) command_.assign(buffer, static_cast<std::size_t>(received));
    set_send_timeout(connection, 5000);
    const std::string block = Letters(26 * 2520);  // repeats seamlessly
    std::size_t offset = 0, total = 0;
    long sent = 0;
    while (total < (32u << 20) &&
           (sent = send_bytes(connection, block.data() + offset, block.size() - offset)) > 0) {
      offset = (offset + static_cast<std::size_t>(sent)) % block.size();
      total += static_cast<std::size_t>(sent);
    }
    closedByProgram_ = sent < 0 && !last_send_timed_out();
    close_socket(connection);
  }

  TcpListener listener_;
  std::string command_;
  bool closedByProgram_ = false;
  std::thread thread_;
};

TEST(ReplyCeiling, AStreamIsCutAtTheCeilingPrintedAndItsConnectionClosed) {
  SetReplyCeiling(300000);
  StreamingPeer peer;
  const CapturedRun run =
      CaptureRun({"/ip", "127.0.0.1", "/tport", peer.Port(), "/v", "/cmd", "STREAM?"}, [] {
        ParseCommandLine();
        RunTcpCommands();
      });
  SetReplyCeiling(0);
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_TRUE(run.output == Lines({"TCP Create", "TCP for: 127.0.0.1 STREAM?", "Reply cut at 300000 bytes",
                                   "TCP Stopped", Letters(300000) + "\t [STREAM?]"}))
      << run.output.size() << " bytes: " << run.output.substr(0, 120);
  EXPECT_TRUE(peer.StoppedByClose());
  EXPECT_EQ(peer.Command(), "STREAM?\n");
}

// A command file in the system's temporary directory, removed with it.
struct TempCommandFile {
  explicit TempCommandFile(const std::string &bytes)
      : path(std::filesystem::temp_directory_path() /
             ("psulan-cut-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~TempCommandFile() { std::filesystem::remove(path); }
  std::filesystem::path path;
};

TEST(ReplyCeiling, ACommandFileEndsWhereAReplyIsCut) {
  // /vv: the error query would follow each line.
  TempCommandFile file("STREAM?\nNEXT?\nLAST\n");
  SetReplyCeiling(300000);
  StreamingPeer peer;
  const CapturedRun run = CaptureRun(
      {"/ip", "127.0.0.1", "/tport", peer.Port(), "/vv", "/waitl", "0", "/cfl", file.path.string()}, [] {
        ParseCommandLine();
        RunCommandFile(FormatDottedAddress(Settings.IpAddress), Settings.FileName, Settings.VerbosityLevel);
      });
  SetReplyCeiling(0);
  EXPECT_EQ(run.exitCode, -1);
  EXPECT_TRUE(run.output == Lines({"TCP Create", "TCP for: 127.0.0.1 STREAM?", "Reply cut at 300000 bytes",
                                   Letters(300000) + "\t [STREAM?]", "TCP Stopped"}))
      << run.output.size() << " bytes: " << run.output.substr(0, 120);
  EXPECT_TRUE(peer.StoppedByClose());
  EXPECT_EQ(peer.Command(), "STREAM?\n");
}

TEST(ReplyCeiling, CollectingStopsAtTheCeilingWhateverThePieces) {
  const struct {
    std::size_t sent, ceiling, kept;
    bool cut;
  } cases[] = {
      {1000, 4000, 1000, false},
      {4000, 4000, 4000, true},    // reaching the ceiling is enough
      {10000, 4000, 4000, true},   // the first piece alone is larger
      {200000, 150001, 150001, true},
  };
  Settings = SettingsRecord{};
  for (const auto &c : cases) {
    TcpListener listener;
    TTCPBlockSocket client;
    client.ConnectTo("127.0.0.1", listener.socket.PortText());
    ASSERT_EQ(client.ErrorCode(), 0);
    const socket_t server = listener.Accept();
    const std::string data = Letters(c.sent);
    ASSERT_EQ(send_bytes(server, data.data(), data.size()), static_cast<long>(data.size()));
    SetReplyCeiling(c.ceiling);
    const CollectedReply collected = CollectReply(client, 1000, 0);
    SetReplyCeiling(0);
    EXPECT_EQ(collected.FirstError, 0);
    EXPECT_TRUE(collected.Data == Letters(c.kept)) << c.sent << ": " << collected.Data.size();
    EXPECT_EQ(collected.Cut, c.cut) << c.sent;
    client.CloseEndpoint();
    close_socket(server);
  }
}

// ------------------------------------------------------------ idle passes

struct StopRun {};
std::vector<std::int64_t> g_pauses;

// Records the pauses of the run; the third one ends it.
void RecordPause(std::int64_t ms) {
  g_pauses.push_back(ms);
  if (g_pauses.size() == 3) throw StopRun{};
}

TEST(IdlePass, ARepeatedPassThatSentNothingPausesTheRepeatDelay) {
  const struct {
    std::vector<std::string> switches;
    std::vector<std::int64_t> pauses;
  } cases[] = {
      {{"/t", "/d", "/cmd", ";", "/ttime", "250"}, {250, 250, 250}},
      {{"/t", "/d", "/cmd", ";;x", "/ttime", "0"}, {10, 10, 10}},
      {{"/t", "/d", "/ttime", "-5", "/cmd", ";"}, {10, 10, 10}},
      {{"/t", "/d", "/cmd", " ", "/ttime", "40"}, {500, 40, 500}},
      {{"/d", "/cmd", ";"}, {}},   // no repeat: no pass follows
  };
  for (const auto &c : cases) {
    std::vector<std::string> arguments = {"/ip", "127.0.0.1"};
    arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
    g_pauses.clear();
    const CapturedRun run = CaptureRun(arguments, [] {
      ParseCommandLine();
      SetSleepHook(RecordPause);
      try {
        RunTcpCommands();
      } catch (const StopRun &) {
      }
      SetSleepHook(nullptr);
    });
    EXPECT_EQ(g_pauses, c.pauses) << ::testing::PrintToString(c.switches);
    EXPECT_EQ(run.output, "");
  }
}

}  // namespace
