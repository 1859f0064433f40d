// Search tables that depend on options; rebuilt by the evaluation table rebuild.
#pragma once

void buildSearchTables();
