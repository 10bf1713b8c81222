// The state file: records come back whole, times only from the same boot, and
// a file torn, corrupt or in the way is refused whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "Service/CStateFile.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

using FaultwrightTest::ReadFile;

const char kBoot[] = "0f6f1f4e-8c1a-4a55-9d1e-5a0c1c7b2e11";

bool SameBytes(const std::vector<CErrorState>& a, const std::vector<CErrorState>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(CErrorState)) == 0;
}

class StateFileTest : public ::testing::Test {
 protected:
  StateFileTest() : path_(directory_.Path() + "states") {
    for (uint16_t i = 0; i < 3; ++i) {
      records_.push_back(
          {0x010300u + i, int16_t(i), CErrorState::kActive, i, uint16_t(i + 2), {100u + i, 5}, {200u + i, 6}});
    }
  }
  // Loads path_ as read during boot into loaded_, which starts as two records.
  CStateFile::LoadResult Load(const std::string& boot = kBoot) {
    loaded_.assign(2, CErrorState{});
    CStateFile file(path_, boot);
    CStateFile::LoadResult result = file.Load(loaded_);
    said_ = file.ErrorText();
    return result;
  }

  FaultwrightTest::TempDirectory directory_;
  std::string path_;
  std::vector<CErrorState> records_, loaded_;
  std::string said_;
};

TEST_F(StateFileTest, RecordsComeBackWholeAndTimesOnlyFromTheSameBoot) {
  EXPECT_EQ(Load(), CStateFile::kAbsent);
  ASSERT_TRUE(CStateFile(path_, kBoot).Save(records_));
  EXPECT_NE(access((path_ + ".tmp").c_str(), F_OK), 0);
  ASSERT_EQ(Load(), CStateFile::kLoaded);
  EXPECT_TRUE(SameBytes(loaded_, records_));

  // The monotonic clock starts again with every boot, and the errors active
  // then belonged to another run of the unit; an unknown boot is another one.
  std::vector<CErrorState> anotherBoot = records_;
  for (CErrorState& record : anotherBoot) {
    record.Raised = record.Cleared = Core::MonotonicTime();
    record.Flags = 0;
  }
  for (const auto& [saved, read] : std::vector<std::pair<const char*, const char*>>{
           {kBoot, "7d1c3c5e-0000-4a55-9d1e-5a0c1c7b2e11"}, {kBoot, ""}, {"", ""}}) {
    ASSERT_TRUE(CStateFile(path_, saved).Save(records_));
    ASSERT_EQ(Load(read), CStateFile::kLoaded);
    EXPECT_TRUE(SameBytes(loaded_, anotherBoot)) << saved << " read during " << read;
  }
}

TEST_F(StateFileTest, TornOrCorruptFilesAreRejectedWhole) {
  ASSERT_TRUE(CStateFile(path_, kBoot).Save(records_));
  const std::string good = ReadFile(path_);
  ASSERT_EQ(good.size(), 48 + 3 * 28 + 4u);
  // Cut off at any byte, as a power cut during a copy or a full disk may leave it.
  std::vector<std::pair<std::string, std::string>> damaged;
  for (size_t length = 0; length < good.size(); ++length) {
    damaged.push_back({good.substr(0, length), length < 52 ? "shorter" : "torn"});
  }
  damaged.push_back({good + "x", "torn"});
  damaged.push_back({"XXXX" + good.substr(4), "not a state file"});
  for (size_t at : {size_t{4}, size_t{60}, good.size() - 1}) {
    std::string flipped = good;
    flipped[at] ^= 0x01;
    damaged.push_back({flipped, at == 4 ? "version" : "checksum"});
  }
  damaged.push_back({good.substr(0, 44) + "\xFF\xFF\xFF\xFF" + good.substr(48), "announces"});

  for (size_t row = 0; row < damaged.size(); ++row) {
    // A file of its own for every row: rewriting one file would flush it each time.
    path_ = directory_.Write(std::to_string(row), damaged[row].first);
    EXPECT_EQ(Load(), CStateFile::kRejected) << row;
    EXPECT_NE(said_.find(damaged[row].second), std::string::npos) << row << ": " << said_;
    EXPECT_EQ(loaded_.size(), 2u);
  }
}

TEST_F(StateFileTest, LinksAtTheTemporaryNameAreReplacedNotWrittenThrough) {
  const std::string victim = directory_.Write("victim", "another user's file");
  ASSERT_EQ(symlink(victim.c_str(), (path_ + ".tmp").c_str()), 0);
  ASSERT_TRUE(CStateFile(path_, kBoot).Save(records_));
  ASSERT_EQ(link(victim.c_str(), (path_ + ".tmp").c_str()), 0);
  ASSERT_TRUE(CStateFile(path_, kBoot).Save(records_));
  EXPECT_EQ(ReadFile(victim), "another user's file");
  ASSERT_EQ(Load(), CStateFile::kLoaded);
  EXPECT_TRUE(SameBytes(loaded_, records_));
}

TEST_F(StateFileTest, AFailedSaveIsSaidAndLeavesTheFileAsItWas) {
  ASSERT_TRUE(CStateFile(path_, kBoot).Save(records_));
  ASSERT_EQ(mkdir((directory_.Path() + "directory").c_str(), 0700), 0);
  // A directory that is not there, a directory in the way, too many records.
  for (const auto& [path, records] :
       std::vector<std::pair<std::string, size_t>>{{directory_.Path() + "missing/states", 1},
                                                   {directory_.Path() + "directory", 1},
                                                   {path_, CStateFile::kMaxRecords + 1}}) {
    CStateFile file(path, kBoot);
    EXPECT_FALSE(file.Save(std::vector<CErrorState>(records))) << path;
    EXPECT_FALSE(file.ErrorText().empty() || access((path + ".tmp").c_str(), F_OK) == 0) << file.ErrorText();
  }
  ASSERT_EQ(Load(), CStateFile::kLoaded);
  EXPECT_TRUE(SameBytes(loaded_, records_));
}

}  // namespace
}  // namespace Faultwright
