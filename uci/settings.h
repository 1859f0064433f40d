// The engine variables behind the UCI options. The option table (uci/options) points at these;
// the rest of the engine reads them directly. Integer settings are atomic because search threads
// read them while the command thread may write them.
#pragma once

#include <atomic>
#include <string>

extern std::atomic<int> optPonder;
extern std::atomic<int> optHash;
extern std::atomic<int> optOwnBook;
extern std::atomic<int> optMultiPV;
extern std::string optBookFile;
extern std::string optLogFile;
extern std::string optHashFileName;
extern std::atomic<int> optChess960;
extern std::atomic<int> optAnalyseMode;
extern std::atomic<int> optUseLmr;
extern std::atomic<int> optNullMovePruning;
extern std::atomic<int> optBestBookLine;
extern std::atomic<int> optMinimalReporting;
extern std::atomic<int> optTableMemory;
extern std::atomic<int> optThreads;
extern std::atomic<int> optOverheadMs;
extern std::atomic<int> optDrawscore;
extern std::atomic<int> optTimeUsage;
extern std::atomic<int> optUseSyzygy;
extern std::string optSyzygyPath;
extern std::atomic<int> optSyzygyProbeDepth;
extern std::atomic<int> optSyzygyProbeLimit;
extern std::atomic<int> optSyzygy50MoveRule;
extern std::atomic<int> optKingSafety;
extern std::atomic<int> optSelectivity;
extern std::atomic<int> optReduction;
