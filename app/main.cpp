#include "app/driver.h"
#include "app/parser.h"
#include "core/exit.h"
#include "core/failure_report.h"
#include "net/block_socket.h"
#include "platform/platform.h"

int main(int argc, char **argv) {
  InitPlatform(argc, argv);
  CatchInterrupt();
  SetInterruptAction(EndRunOnInterrupt);
  if (!StartSocketService()) {
    StartJsonOutputIfAsked();
    ReportFailure("Error loading Socket interface (ws2_32.dll)!");
    ExitProgram(1);
  }
  RunProgram();
}
