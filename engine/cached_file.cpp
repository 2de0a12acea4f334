#include "engine/cached_file.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {

CachedFile::CachedFile(std::unique_ptr<CipherFile> file, size_t budget_bytes, CacheMeter* meter)
    : cipher_(std::move(file)), max_pages_(std::max<size_t>(1, budget_bytes / kPageSize)), meter_(meter) {}

CachedFile::~CachedFile() { Forget(); }

void CachedFile::SetBudget(size_t budget_bytes) {
  max_pages_ = std::max<size_t>(1, budget_bytes / kPageSize);
  while (pages_.size() > max_pages_) ErasePage(pages_.find(ages_.back()));
}

void CachedFile::SetCaching(bool on) {
  if (on == caching_) return;
  Forget();
  caching_ = on;
}

void CachedFile::Forget() {
  if (meter_ != nullptr) meter_->Remove(pages_.size() * kPageSize);
  pages_.clear();
  ages_.clear();
  last_index_ = UINT64_MAX;
  last_page_ = nullptr;
  length_known_ = false;
}

FileStatus CachedFile::Length(uint64_t* length) {
  if (caching_ && length_known_) {
    *length = length_;
    return 0;
  }
  FileStatus status = cipher_->file().Length(length);
  if (status == 0 && caching_) {
    length_ = *length;
    length_known_ = true;
  }
  return status;
}

FileStatus CachedFile::GetPage(uint64_t index, Page** page) {
  if (index == last_index_) {
    *page = last_page_;
    return 0;
  }
  auto found = pages_.find(index);
  if (found != pages_.end()) {
    ages_.splice(ages_.begin(), ages_, found->second.age);
    found->second.referenced = true;
  } else {
    if (pages_.size() >= max_pages_) {
      // Scan-resistant: a page read in and never needed again makes room
      // first, so a walk through a file larger than the cache keeps the pages
      // it holds for the next walk instead of cycling all of them.
      auto newest = pages_.find(newest_);
      if (newest != pages_.end() && !newest->second.referenced) {
        ErasePage(newest);
      } else {
        ErasePage(pages_.find(ages_.back()));
      }
    }
    Page fresh;
    fresh.bytes.resize(kPageSize);
    FileStatus status = cipher_->Read(index * kPageSize, fresh.bytes.data(), kPageSize, &fresh.valid);
    if (status != 0) return status;
    ages_.push_front(index);
    fresh.age = ages_.begin();
    found = pages_.emplace(index, std::move(fresh)).first;
    if (meter_ != nullptr) meter_->Add(kPageSize);
    newest_ = index;
  }
  last_index_ = index;
  last_page_ = &found->second;
  *page = last_page_;
  return 0;
}

FileStatus CachedFile::Read(uint64_t offset, void* buffer, size_t count, size_t* read_count) {
  if (!caching_) return cipher_->Read(offset, buffer, count, read_count);
  *read_count = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (*read_count < count) {
    uint64_t position = offset + *read_count;
    Page* page = nullptr;
    if (FileStatus status = GetPage(position / kPageSize, &page); status != 0) return status;
    size_t inside = static_cast<size_t>(position % kPageSize);
    if (inside >= page->valid) break;
    size_t length = std::min(page->valid - inside, count - *read_count);
    std::memcpy(out + *read_count, page->bytes.data() + inside, length);
    *read_count += length;
    if (page->valid < kPageSize) break;  // end of file
  }
  return 0;
}

FileStatus CachedFile::Peek(uint64_t offset, size_t count, const uint8_t** data, size_t* available) {
  *data = nullptr;
  *available = 0;
  if (!caching_) return 0;
  Page* page = nullptr;
  if (FileStatus status = GetPage(offset / kPageSize, &page); status != 0) return status;
  const size_t inside = static_cast<size_t>(offset % kPageSize);
  *data = page->bytes.data() + inside;
  if (inside < page->valid) *available = std::min(page->valid - inside, count);
  return 0;
}

FileStatus CachedFile::Write(uint64_t offset, const void* data, size_t count) {
  unflushed_ = true;
  if (caching_ && !length_known_) {
    uint64_t ignored;
    Length(&ignored);
  }
  FileStatus status = cipher_->Write(offset, data, count);
  if (!caching_) return status;
  if (status != 0) {
    Forget();  // a failed write may have changed part of the range
    return status;
  }
  // A write past the end leaves zeros between the old end and the write, so
  // the page that held the old end is no longer complete as cached.
  if (!length_known_ || offset + count > length_) ForgetPage(length_known_ ? length_ / kPageSize : UINT64_MAX);
  const auto* in = static_cast<const uint8_t*>(data);
  for (size_t done = 0; done < count;) {
    uint64_t position = offset + done;
    uint64_t index = position / kPageSize;
    size_t inside = static_cast<size_t>(position % kPageSize);
    size_t length = std::min(kPageSize - inside, count - done);
    auto found = pages_.find(index);
    if (found != pages_.end()) {
      Page& page = found->second;
      if (inside > page.valid) {
        // The gap reads as zeros in the file.
        std::memset(page.bytes.data() + page.valid, 0, inside - page.valid);
      }
      std::memcpy(page.bytes.data() + inside, in + done, length);
      page.valid = std::max(page.valid, inside + length);
    }
    done += length;
  }
  if (length_known_) length_ = std::max(length_, offset + count);
  return 0;
}

void CachedFile::ForgetPage(uint64_t index) {
  if (index == UINT64_MAX) {
    Forget();
    return;
  }
  auto found = pages_.find(index);
  if (found != pages_.end()) ErasePage(found);
}

std::unordered_map<uint64_t, CachedFile::Page>::iterator CachedFile::ErasePage(
    std::unordered_map<uint64_t, Page>::iterator page) {
  ages_.erase(page->second.age);
  if (last_page_ == &page->second) {
    last_page_ = nullptr;
    last_index_ = UINT64_MAX;
  }
  if (meter_ != nullptr) meter_->Remove(kPageSize);
  return pages_.erase(page);
}

FileStatus CachedFile::Flush() {
  if (!unflushed_) return 0;
  const FileStatus status = cipher_->file().Flush();
  if (status == 0) unflushed_ = false;
  return status;
}

FileStatus CachedFile::Truncate(uint64_t length) {
  unflushed_ = true;
  FileStatus status = cipher_->file().Truncate(length);
  if (!caching_) return status;
  if (status != 0) {
    Forget();
    return status;
  }
  for (auto it = pages_.begin(); it != pages_.end();) {
    uint64_t start = it->first * kPageSize;
    if (start >= length) {
      it = ErasePage(it);
    } else {
      it->second.valid = std::min<size_t>(it->second.valid, static_cast<size_t>(length - start));
      ++it;
    }
  }
  length_ = length;
  length_known_ = true;
  return 0;
}

}  // namespace tarnwick
