#include "eval/caches.h"

uint64_t evalCacheMask = 0;
uint64_t pawnCacheMask = 0;
uint64_t materialCacheMask = 0;
