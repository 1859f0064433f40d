#include "board/psqt.h"

PackedScore pieceSquareTable[2][8][64];
