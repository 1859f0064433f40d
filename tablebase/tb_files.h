// Table files: the directory list of the tablebase path, finding a file in it, and read-only
// memory mappings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The directories of a ":"-separated path, in order; empty parts are skipped.
std::vector<std::string> tbSplitPath(const std::string& path);

// Whether `fileName` can be opened for reading in one of the directories.
bool tbFileExists(const std::vector<std::string>& dirs, const std::string& fileName);

struct TbMapping {
    const uint8_t* data = nullptr;  // null for an empty file
    size_t size = 0;
    bool mapped = false;
};

enum class TbMapResult { Mapped, NotFound, MapFailed };

// Maps the first file of that name found in the directories: whole file, read-only, shared.
TbMapResult tbMapFile(const std::vector<std::string>& dirs, const std::string& fileName, TbMapping* mapping);
void tbUnmap(TbMapping& mapping);
