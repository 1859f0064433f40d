// Helpers shared by the tablebase tests: table files in memory, guarded copies that trap any
// read past their end, scratch directories of table files, and captured engine output.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tablebase/tb_format.h"

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Material of a table name such as "KRPvKR" (first side first).
inline TbMaterial materialOf(const std::string& name) {
    TbMaterial m;
    int side = 0;
    for (char c : name) {
        if (c == 'v') {
            side = 1;
            continue;
        }
        const char* letters = " PNBRQK";
        m.count[side][std::strchr(letters, c) - letters]++;
    }
    return m;
}

// A copy of some bytes that ends exactly where an inaccessible page begins, so that a decoder
// reading past the end crashes the test instead of passing silently.
class GuardedCopy {
  public:
    explicit GuardedCopy(const std::vector<uint8_t>& bytes) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        total_ = ((bytes.size() + page - 1) / page + 1) * page;
        void* p = mmap(nullptr, total_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = static_cast<uint8_t*>(p);
        mprotect(base_ + total_ - page, page, PROT_NONE);
        uint8_t* start = base_ + total_ - page - bytes.size();
        if (!bytes.empty()) std::memcpy(start, bytes.data(), bytes.size());
        data_ = start;
        size_ = bytes.size();
    }
    ~GuardedCopy() { munmap(base_, total_); }
    GuardedCopy(const GuardedCopy&) = delete;
    GuardedCopy& operator=(const GuardedCopy&) = delete;
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    uint8_t* base_ = nullptr;
    size_t total_ = 0;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// A fresh directory under /tmp, removed with its files at the end of the test.
class ScratchDir {
  public:
    ScratchDir() {
        char pattern[] = "/tmp/tarvolo-tb-XXXXXX";
        path_ = mkdtemp(pattern) ? pattern : "";
    }
    ~ScratchDir() {
        for (const std::string& f : files_) unlink(f.c_str());
        rmdir(path_.c_str());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) {
        const std::string full = path_ + "/" + name;
        files_.push_back(full);
        return full;
    }
    void put(const std::string& name, const std::vector<uint8_t>& bytes) { writeBytes(file(name), bytes); }

  private:
    std::string path_;
    std::vector<std::string> files_;
};
