// Saving and loading the transposition table's bucket memory to and from a file.
#pragma once

// Actions of "Save Hash to File" and "Load Hash from File" (file named by "Hash File Name").
void saveHashFile();
void loadHashFile();
