// Placeholder until the input loop lands.
#include "uci/input.h"

std::atomic<bool> quitRequested{false};

bool inputPending() { return false; }
void processCommand() {}
void runDeferredCommands() {}
