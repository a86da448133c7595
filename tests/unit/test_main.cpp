#include <gtest/gtest.h>

#include "net/block_socket.h"

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!StartSocketService()) return 2;
  return RUN_ALL_TESTS();
}
