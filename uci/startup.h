// Start-up of the engine.
#pragma once

// The start-up steps that build tables and state, in their order, without the banner and
// without reading input. Tests call it once per test program.
void initializeEngine();

// The whole program: start-up, then the benchmark or the input loop.
int runEngine(int argc, char** argv);
