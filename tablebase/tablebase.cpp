// Placeholder until the tablebases land.
#include "tablebase/tablebase.h"

#include "uci/settings.h"

void tbLoadAll(const std::string&) {}
int tbLargestPieceCount() { return 0; }
void setSyzygyPath(const std::string& path) { optSyzygyPath = path; }
void setSyzygyProbeLimit(int limit) { optSyzygyProbeLimit = limit < 0 ? 0 : limit > 6 ? 6 : limit; }
int tbWdlProbe(const Position&, int* success) { *success = 0; return 0; }
int tbDtzProbe(const Position&, int* success) { *success = 0; return 0; }
bool tbSearchScore(const Position&, int, int*) { return false; }
int tbRootFilterDtz(const Position&, RootMove*, int, int*) { return 0; }
int tbRootFilterWdl(const Position&, RootMove*, int, int*) { return 0; }
