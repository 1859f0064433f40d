#include "uci/settings.h"

std::atomic<int> optPonder{1};
std::atomic<int> optHash{128};
std::atomic<int> optOwnBook{1};
std::atomic<int> optMultiPV{1};
std::string optBookFile = "tarvolo.bin";
std::string optLogFile;
std::string optHashFileName;
std::atomic<int> optChess960{0};
std::atomic<int> optAnalyseMode{0};
std::atomic<int> optUseLmr{1};
std::atomic<int> optNullMovePruning{1};
std::atomic<int> optBestBookLine{0};
std::atomic<int> optMinimalReporting{0};
std::atomic<int> optTableMemory{64};
std::atomic<int> optThreads{1};
std::atomic<int> optOverheadMs{30};
std::atomic<int> optDrawscore{-7};
std::atomic<int> optTimeUsage{0};
std::atomic<int> optUseSyzygy{1};
std::string optSyzygyPath;
std::atomic<int> optSyzygyProbeDepth{2};
std::atomic<int> optSyzygyProbeLimit{6};
std::atomic<int> optSyzygy50MoveRule{1};
std::atomic<int> optKingSafety{65};
std::atomic<int> optSelectivity{80};
std::atomic<int> optReduction{0};
