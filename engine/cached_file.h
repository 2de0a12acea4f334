// A database file as the operations see it: the enciphering layer plus a
// page cache of plain bytes.
//
// The cache may only be on while no other process can change the file (the
// connection holds the whole-file lock or the exclusive hold, or opened the
// file denying others); the engine switches it. Turning it off forgets every
// page, so reads then go to the file afresh. Writes always go through to the
// file at once and update the cached pages, so cached and uncached reads
// return the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/cipher_file.h"

namespace tarnwick {

// Counts the bytes of the pages the caches of one engine hold.
class CacheMeter {
 public:
  void Add(size_t bytes) {
    current_ += bytes;
    if (current_ > peak_) peak_ = current_;
  }
  void Remove(size_t bytes) { current_ -= bytes; }
  CacheMemory Reading() const { return {current_, peak_}; }
  void ResetPeak() { peak_ = current_; }

 private:
  size_t current_ = 0;
  size_t peak_ = 0;
};

class CachedFile {
 public:
  static constexpr size_t kPageSize = 32768;

  // meter (may be null) must outlive the file.
  CachedFile(std::unique_ptr<CipherFile> file, size_t budget_bytes, CacheMeter* meter = nullptr);
  ~CachedFile();
  CachedFile(const CachedFile&) = delete;
  CachedFile& operator=(const CachedFile&) = delete;

  FileStatus Read(uint64_t offset, void* buffer, size_t count, size_t* read_count);
  FileStatus Write(uint64_t offset, const void* data, size_t count);
  FileStatus Length(uint64_t* length);
  FileStatus Truncate(uint64_t length);
  // Brings what this file wrote to stable storage; a file that wrote nothing
  // since it was opened or last flushed has nothing to bring, and skips it.
  FileStatus Flush();
  FileStatus Lock(uint64_t offset, uint64_t length) { return cipher_->file().Lock(offset, length); }
  FileStatus Unlock(uint64_t offset, uint64_t length) { return cipher_->file().Unlock(offset, length); }

  void SetCaching(bool on);
  bool caching() const { return caching_; }
  // The most bytes of pages held at once; pages over it are let go at once.
  void SetBudget(size_t budget_bytes);
  // While caching: *data points at the bytes from offset on inside their
  // cached page, *available of them (at most count; fewer at the end of the
  // file or of the page). No copy is made; the pointer stays good until the
  // next call on this file. Not caching: *data is nullptr, use Read.
  FileStatus Peek(uint64_t offset, size_t count, const uint8_t** data, size_t* available);
  // Forgets every page (after the bytes changed behind the cache's back).
  void Forget();

  CipherFile& cipher() { return *cipher_; }

 private:
  struct Page {
    std::vector<uint8_t> bytes;  // kPageSize
    size_t valid = 0;            // bytes of the file present in this page
    bool referenced = false;     // found again after it was read in
    std::list<uint64_t>::iterator age;
  };

  FileStatus GetPage(uint64_t index, Page** page);
  // Erases a page, keeping the meter right.
  std::unordered_map<uint64_t, Page>::iterator ErasePage(std::unordered_map<uint64_t, Page>::iterator page);
  void ForgetPage(uint64_t index);  // UINT64_MAX: every page

  std::unique_ptr<CipherFile> cipher_;
  size_t max_pages_;
  CacheMeter* meter_;
  bool caching_ = false;
  bool unflushed_ = false;  // a write or truncation since the last flush
  bool length_known_ = false;
  uint64_t length_ = 0;
  std::unordered_map<uint64_t, Page> pages_;
  std::list<uint64_t> ages_;  // most recently used first
  uint64_t newest_ = UINT64_MAX;  // the page read in last
  uint64_t last_index_ = UINT64_MAX;
  Page* last_page_ = nullptr;
};

}  // namespace tarnwick
