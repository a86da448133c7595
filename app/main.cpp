#include "app/driver.h"
#include "core/exit.h"
#include "net/block_socket.h"
#include "platform/platform.h"

int main(int argc, char **argv) {
  InitPlatform(argc, argv);
  if (!StartSocketService()) {
    WriteLine("Error loading Socket interface (ws2_32.dll)!");
    ExitProgram(1);
  }
  RunProgram();
}
