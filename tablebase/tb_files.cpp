#include "tablebase/tb_files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

std::vector<std::string> tbSplitPath(const std::string& path) {
    std::vector<std::string> dirs;
    size_t start = 0;
    while (start <= path.size()) {
        size_t colon = path.find(':', start);
        if (colon == std::string::npos) colon = path.size();
        if (colon > start) dirs.push_back(path.substr(start, colon - start));
        start = colon + 1;
    }
    return dirs;
}

namespace {

// Opens the file read-only in the first directory that has it; -1 when none does.
int openInDirs(const std::vector<std::string>& dirs, const std::string& fileName) {
    for (const std::string& dir : dirs) {
        const std::string full = dir + "/" + fileName;
        int fd = open(full.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) return fd;
    }
    return -1;
}

} // namespace

bool tbFileExists(const std::vector<std::string>& dirs, const std::string& fileName) {
    int fd = openInDirs(dirs, fileName);
    if (fd < 0) return false;
    close(fd);
    return true;
}

TbMapResult tbMapFile(const std::vector<std::string>& dirs, const std::string& fileName, TbMapping* mapping) {
    *mapping = TbMapping{};
    int fd = openInDirs(dirs, fileName);
    if (fd < 0) return TbMapResult::NotFound;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size < 0) {
        close(fd);
        return TbMapResult::MapFailed;
    }
    mapping->size = size_t(st.st_size);
    if (mapping->size == 0) {
        // Nothing to map; the header check rejects it as a damaged table.
        close(fd);
        return TbMapResult::Mapped;
    }
    void* data = mmap(nullptr, mapping->size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (data == MAP_FAILED) {
        *mapping = TbMapping{};
        return TbMapResult::MapFailed;
    }
    mapping->data = static_cast<const uint8_t*>(data);
    mapping->mapped = true;
    return TbMapResult::Mapped;
}

void tbUnmap(TbMapping& mapping) {
    if (mapping.mapped) munmap(const_cast<uint8_t*>(mapping.data), mapping.size);
    mapping = TbMapping{};
}
