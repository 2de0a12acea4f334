// The fault file layer itself: every power-loss and death test stands on
// it, and would quietly test nothing if cutting the power or dying did not
// do what they claim.
#include "testing/fault_file_system.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "testing/temp_dir.h"

namespace tarnwick::testing {
namespace {

using Operation = FaultFileSystem::Operation;

class FaultFileSystemTest : public ::testing::Test {
 protected:
  std::unique_ptr<File> Create(const std::string& name) {
    std::unique_ptr<File> file;
    EXPECT_EQ(faults_.Open(dir_.File(name), {FileAccess::kReadWrite, ShareMode::kDenyNone, true}, &file), 0);
    return file;
  }
  std::string Bytes(const std::string& name) {
    std::ifstream in(dir_.File(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  TempDir dir_;
  FaultFileSystem faults_;
};

TEST_F(FaultFileSystemTest, PowerLossDropsWhatWasNotFlushedAndKeepsWhatWas) {
  faults_.SetPowerLoss(true, 0);
  {
    std::unique_ptr<File> kept = Create("kept");
    ASSERT_EQ(kept->WriteAt(0, std::string(1000, 'a').data(), 1000), 0);
    ASSERT_EQ(kept->Flush(), 0);
    ASSERT_EQ(kept->WriteAt(500, std::string(1500, 'b').data(), 1500), 0);
    ASSERT_EQ(kept->Truncate(100), 0);
    std::unique_ptr<File> never_flushed = Create("never flushed");
    ASSERT_EQ(never_flushed->WriteAt(0, "lost", 4), 0);
  }
  EXPECT_EQ(faults_.CutPower(), 3);
  EXPECT_EQ(Bytes("kept"), std::string(1000, 'a'));
  EXPECT_EQ(Bytes("never flushed"), "") << "made at once, its bytes lost";
}

// Of a write cut by the power, nothing, all of it, or a prefix ending on a
// 512-byte sector boundary lands: never a part of a sector.
TEST_F(FaultFileSystemTest, APowerLossTearsAWriteOnlyOnWholeSectors) {
  const std::string before(4096, 'a');
  int none = 0, whole = 0, torn = 0;
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    faults_.SetPowerLoss(false);
    {
      std::unique_ptr<File> file = Create("disk");
      ASSERT_EQ(file->WriteAt(0, before.data(), before.size()), 0);
    }
    faults_.SetPowerLoss(true, seed);
    {
      std::unique_ptr<File> file;
      ASSERT_EQ(faults_.Open(dir_.File("disk"), {FileAccess::kReadWrite}, &file), 0);
      ASSERT_EQ(file->WriteAt(100, std::string(3000, 'b').data(), 3000), 0);
    }
    faults_.CutPower();
    const std::string after = Bytes("disk");
    ASSERT_EQ(after.size(), before.size()) << "seed " << seed;
    const size_t landed = after.find_first_not_of('b', 100) - 100;
    EXPECT_EQ(after.substr(0, 100) + after.substr(100 + landed), before.substr(0, 100) + before.substr(100 + landed))
        << "seed " << seed << ": more than a prefix of the write changed";
    if (landed == 0) {
      ++none;
    } else if (landed == 3000) {
      ++whole;
    } else {
      ++torn;
      EXPECT_EQ((100 + landed) % 512, 0u) << "seed " << seed << ": torn inside a sector";
    }
  }
  EXPECT_GT(none, 0);
  EXPECT_GT(whole, 0);
  EXPECT_GT(torn, 0);
}

TEST_F(FaultFileSystemTest, NothingReachesTheFilesAfterADeath) {
  std::unique_ptr<File> file = Create("dying");
  faults_.DieAtNth(Operation::kWrite, 2);
  ASSERT_EQ(file->WriteAt(0, "first", 5), 0);
  EXPECT_NE(file->WriteAt(5, "second", 6), 0);
  EXPECT_TRUE(faults_.dead());
  EXPECT_NE(file->WriteAt(5, "third", 5), 0);
  EXPECT_NE(file->Truncate(0), 0);
  EXPECT_NE(file->Flush(), 0);
  char buffer[8];
  size_t got = 0;
  EXPECT_NE(file->ReadAt(0, buffer, sizeof buffer, &got), 0);
  std::unique_ptr<File> other;
  EXPECT_NE(faults_.Open(dir_.File("dying"), {}, &other), 0);
  EXPECT_NE(faults_.Remove(dir_.File("dying")), 0);
  EXPECT_EQ(Bytes("dying"), "first");
  faults_.Disarm();
  EXPECT_EQ(file->WriteAt(5, "again", 5), 0) << "a new process writes again";
}

}  // namespace
}  // namespace tarnwick::testing
