// The benchmark: "tarvolo bench [threads] [depth] [repetitions]".
#pragma once

// args are the words after "bench".
void runBenchmark(int argc, char** argv);
