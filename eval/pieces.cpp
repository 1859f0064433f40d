// Placeholder until the piece terms land.
#include "eval/pieces.h"

void evaluatePieces(const Position&, const PawnEntry&, PackedScore&, PackedScore&, PieceTerms*) {}
void initTermTables() {}
void buildTermTables() {}
