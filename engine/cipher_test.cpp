// MD5, RC4 and the positional cipher against known answers. The expected
// cipher bytes were computed with a separate, straightforward implementation
// (byte-at-a-time RC4 over the format's block keys), not with this code.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#endif
#include <string>
#include <vector>

#include "engine/cipher_file.h"
#include "engine/md5.h"
#include "engine/rc4.h"

namespace tarnwick {
namespace {

std::string ToHex(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 15]);
  }
  return text;
}

std::string Md5Hex(std::string_view text) {
  auto digest = Md5(text);
  return ToHex(digest.data(), digest.size());
}

TEST(Md5, PublishedTestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
  // 55 and 56 bytes: the padding fits in one block / needs a second one.
  EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
}

TEST(Md5, CheckTextIsTheDigestReversedInLowerCaseHex) {
  // d41d8cd98f00b204e9800998ecf8427e read from its last byte to its first.
  EXPECT_EQ(CheckText(""), "7e42f8ec980980e904b2008fd98c1dd4");
  // 900150983cd24fb0d6963f7d28e17f72 reversed.
  EXPECT_EQ(CheckText("abc"), "727fe1287d3f96d6b04fd23c98500190");
}

std::string Rc4Hex(std::string_view key, size_t skip, size_t count) {
  Rc4 rc4(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  rc4.Discard(skip);
  std::vector<uint8_t> out(count);
  rc4.Keystream(out.data(), count);
  return ToHex(out.data(), count);
}

TEST(Rc4, PublishedVectors) {
  // Ciphertexts of the classic examples: XOR of the plaintext with the keystream.
  auto encrypt = [](std::string_view key, std::string text) {
    Rc4 rc4(reinterpret_cast<const uint8_t*>(key.data()), key.size());
    rc4.Xor(reinterpret_cast<uint8_t*>(text.data()), text.size());
    return ToHex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  };
  EXPECT_EQ(encrypt("Key", "Plaintext"), "bbf316e8d940af0ad3");
  EXPECT_EQ(encrypt("Wiki", "pedia"), "1021bf0420");
  EXPECT_EQ(encrypt("Secret", "Attack at dawn"), "45a01f645fc35b383552544b9bf5");
  // Keystream of key 01 02 03 04 05 at offsets 0 and 768.
  const std::string key("\x01\x02\x03\x04\x05", 5);
  EXPECT_EQ(Rc4Hex(key, 0, 16), "b2396305f03dc027ccc3524a0a1118a8");
  EXPECT_EQ(Rc4Hex(key, 768, 16), "eb62638d4f0ba1fe9fca20e05bf8ff2b");
}

TEST(Rc4, DiscardEqualsGeneratingAndDroppingBytes) {
  const std::string key = "memo";
  std::string whole = Rc4Hex(key, 0, 300);
  EXPECT_EQ(Rc4Hex(key, 100, 200), whole.substr(200));
}

// A file layer over a byte vector, enough for the cipher file.
class MemoryFile final : public File {
 public:
  explicit MemoryFile(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
  FileStatus ReadAt(uint64_t offset, void* buffer, size_t count, size_t* read_count) override {
    *read_count = offset >= bytes_->size() ? 0 : std::min<size_t>(count, bytes_->size() - offset);
    if (*read_count > 0) std::memcpy(buffer, bytes_->data() + offset, *read_count);
    return 0;
  }
  FileStatus WriteAt(uint64_t offset, const void* data, size_t count) override {
    if (writes_++ == fail_write) return -14;
    if (bytes_->size() < offset + count) bytes_->resize(offset + count);
    std::memcpy(bytes_->data() + offset, data, count);
    return 0;
  }
  FileStatus Length(uint64_t* length) override {
    *length = bytes_->size();
    return 0;
  }
  FileStatus Truncate(uint64_t length) override {
    bytes_->resize(length);
    return 0;
  }
  FileStatus Flush() override { return 0; }
  FileStatus Lock(uint64_t, uint64_t) override { return 0; }
  FileStatus Unlock(uint64_t, uint64_t) override { return 0; }

  int fail_write = -1;  // 0-based index of the one write that fails

 private:
  std::vector<uint8_t>* bytes_;
  int writes_ = 0;
};

std::vector<uint8_t> Counting(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

#ifdef __linux__
// A core dump would hold the keys: none is left while one lives, and the
// process is not dumpable (other processes of the user cannot read its memory).
TEST(CipherKeys, NoCoreDumpWhileAKeyIsHeld) {
  rlimit before {};
  ASSERT_EQ(getrlimit(RLIMIT_CORE, &before), 0);
  const int dumpable_before = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
  {
    std::shared_ptr<CipherKey> key = MakeCipherKey("secret");
    std::shared_ptr<CipherKey> another = MakeCipherKey("other");
    rlimit held {};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &held), 0);
    EXPECT_EQ(held.rlim_cur, 0u);
    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    key.reset();
    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0) << "another key still lives";
  }
  rlimit after {};
  ASSERT_EQ(getrlimit(RLIMIT_CORE, &after), 0);
  EXPECT_EQ(after.rlim_cur, before.rlim_cur);
  EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), dumpable_before);
}
#endif

TEST(CipherFile, EnciphersFromOffsetFourWithTheBlockKeystream) {
  std::vector<uint8_t> disk;
  CipherFile file(std::make_unique<MemoryFile>(&disk), "memo");
  std::vector<uint8_t> plain = Counting(16);
  ASSERT_EQ(file.Write(0, plain.data(), plain.size()), 0);
  EXPECT_EQ(ToHex(disk.data(), 16), "00010203fef0e286c18eb3e2653333be");
  // The caller's bytes are left as they were.
  EXPECT_EQ(plain, Counting(16));
}

TEST(CipherFile, RangesInsideAndAcrossCipherBlocks) {
  std::vector<uint8_t> disk;
  CipherFile file(std::make_unique<MemoryFile>(&disk), "memo");
  std::vector<uint8_t> plain = Counting(16);
  ASSERT_EQ(file.Write(4100, plain.data(), 16), 0);
  EXPECT_EQ(ToHex(disk.data() + 4100, 16), "f6774d7b340e54c769e3e86c62b6f2a0");
  ASSERT_EQ(file.Write(4090, plain.data(), 16), 0);  // six bytes in block 0, ten in block 1
  EXPECT_EQ(ToHex(disk.data() + 4090, 16), "5ad1da748fa8fa911b6dfc7d43753e04");
}

TEST(CipherFile, PartialReadsMatchTheWholeBlock) {
  std::vector<uint8_t> disk;
  CipherFile file(std::make_unique<MemoryFile>(&disk), "secret");
  std::vector<uint8_t> plain = Counting(3 * 4096 + 77);
  ASSERT_EQ(file.Write(0, plain.data(), plain.size()), 0);
  for (uint64_t offset : {0u, 3u, 4u, 4095u, 4096u, 4100u, 8190u, 12000u}) {
    uint8_t part[300];
    size_t got = 0;
    ASSERT_EQ(file.Read(offset, part, sizeof part, &got), 0);
    size_t expected = std::min<size_t>(sizeof part, plain.size() - offset);
    ASSERT_EQ(got, expected);
    EXPECT_EQ(0, std::memcmp(part, plain.data() + offset, got)) << "offset " << offset;
  }
}

TEST(CipherFile, WholeBlocksFromACachedKeystreamMatchTheReference) {
  std::vector<uint8_t> disk;
  CipherFile file(std::make_unique<MemoryFile>(&disk), "memo");
  std::vector<uint8_t> plain(3 * 4096);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i);
  // A short write keeps block 1's keystream; the whole-file write then
  // XORs block 1 from it and block 2 from a fresh stream.
  ASSERT_EQ(file.Write(4101, plain.data() + 4101, 13), 0);
  EXPECT_EQ(ToHex(disk.data() + 4101, 13), "73497f380258cb6de7ec687eaa");
  ASSERT_EQ(file.Write(0, plain.data(), plain.size()), 0);
  EXPECT_EQ(ToHex(disk.data(), 16), "00010203fef0e286c18eb3e2653333be");
  EXPECT_EQ(ToHex(disk.data() + 4096, 16), "fc971167f273497f380258cb6de7ec68");
  EXPECT_EQ(ToHex(disk.data() + 8176, 16), "f43de4c3edfbe2ad1fe4d27d5200a512");
  EXPECT_EQ(ToHex(disk.data() + 4101, 13), "73497f380258cb6de7ec687eaa");
}

TEST(CipherFile, EmptyPasswordPassesBytesUnchanged) {
  std::vector<uint8_t> disk;
  CipherFile file(std::make_unique<MemoryFile>(&disk), "");
  std::vector<uint8_t> plain = Counting(100);
  ASSERT_EQ(file.Write(0, plain.data(), plain.size()), 0);
  EXPECT_EQ(disk, plain);
  EXPECT_FALSE(file.HasKey());
}

TEST(CipherFile, RekeyRewritesEveryByteFromOffsetFour) {
  std::vector<uint8_t> disk = Counting(25000);  // plain, spans three re-key pieces
  CipherFile file(std::make_unique<MemoryFile>(&disk), "");
  ASSERT_EQ(file.Rekey("memo"), 0);
  EXPECT_TRUE(file.HasKey());
  EXPECT_EQ(ToHex(disk.data(), 16), "00010203fef0e286c18eb3e2653333be");
  std::vector<uint8_t> back(disk.size());
  size_t got = 0;
  ASSERT_EQ(file.Read(0, back.data(), back.size(), &got), 0);
  EXPECT_EQ(back, Counting(25000));
  // And back to plain.
  ASSERT_EQ(file.Rekey(""), 0);
  EXPECT_EQ(disk, Counting(25000));
}

TEST(CipherFile, FailedRekeyLeavesTheFileUnderTheOldKey) {
  std::vector<uint8_t> disk;
  auto memory = std::make_unique<MemoryFile>(&disk);
  MemoryFile* raw = memory.get();
  CipherFile file(std::move(memory), "old");
  std::vector<uint8_t> plain = Counting(30000);
  ASSERT_EQ(file.Write(0, plain.data(), plain.size()), 0);
  const std::vector<uint8_t> before = disk;
  raw->fail_write = 2;  // write 0 filled the file; piece 1 is rewritten, piece 2 fails
  EXPECT_EQ(file.Rekey("new"), -14);
  EXPECT_EQ(disk, before);
  std::vector<uint8_t> back(plain.size());
  size_t got = 0;
  ASSERT_EQ(file.Read(0, back.data(), back.size(), &got), 0);
  EXPECT_EQ(back, plain);
}

}  // namespace
}  // namespace tarnwick
