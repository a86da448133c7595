#include "discovery/config_commands.h"

// Not built yet: the configuration datagrams come with their own change.
void EnableDhcp(const std::string &) {}
void SetStaticAddress(const std::string &) {}
void ResetController(const std::string &) {}
