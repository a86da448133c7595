#include "app/driver.h"
#include "platform/platform.h"

int main(int argc, char **argv) {
  InitPlatform(argc, argv);
  RunProgram();
}
