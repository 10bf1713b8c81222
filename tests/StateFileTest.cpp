#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "Service/CStateFile.h"
#include "Support/TestSupport.h"

namespace {

using Faultwright::CErrorState;
using Faultwright::CStateFile;
using FaultwrightTest::ReadFile;
using FaultwrightTest::TempDirectory;

const char kBoot[] = "0f6f1f4e-8c1a-4a55-9d1e-5a0c1c7b2e11";

std::vector<CErrorState> SomeRecords() {
  std::vector<CErrorState> records(3);
  for (uint16_t i = 0; i < records.size(); ++i) {
    const uint16_t counter = static_cast<uint16_t>(7 + i);
    records[i] = {0x010300u + i,
                  static_cast<int16_t>(i),
                  1,
                  counter,
                  static_cast<uint16_t>(counter + 2),
                  Core::MonotonicTime(100 + i, 5),
                  Core::MonotonicTime(200 + i, 6)};
  }
  return records;
}

bool SameBytes(const std::vector<CErrorState>& a, const std::vector<CErrorState>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(CErrorState)) == 0;
}

TEST(StateFileTest, RecordsComeBackWholeAndTimesOnlyFromTheSameBoot) {
  TempDirectory directory;
  const std::string path = directory.Path() + "states";
  std::vector<CErrorState> loaded(1);
  EXPECT_EQ(CStateFile(path, kBoot).Load(&loaded), CStateFile::kAbsent);
  EXPECT_EQ(loaded.size(), 1u);

  ASSERT_TRUE(CStateFile(path, kBoot).Save(SomeRecords()));
  EXPECT_TRUE(ReadFile(path + ".tmp").empty());
  ASSERT_EQ(CStateFile(path, kBoot).Load(&loaded), CStateFile::kLoaded);
  EXPECT_TRUE(SameBytes(loaded, SomeRecords()));

  // The monotonic clock starts again with every boot, and the errors active
  // then belonged to another run of the unit; an unknown boot is another one.
  for (const char* otherBoot : {"7d1c3c5e-0000-4a55-9d1e-5a0c1c7b2e11", ""}) {
    ASSERT_EQ(CStateFile(path, otherBoot).Load(&loaded), CStateFile::kLoaded);
    std::vector<CErrorState> expected = SomeRecords();
    for (CErrorState& record : expected) {
      record.Raised = record.Cleared = Core::MonotonicTime();
      record.Flags = 0;
    }
    EXPECT_TRUE(SameBytes(loaded, expected)) << otherBoot;
  }

  ASSERT_TRUE(CStateFile(path, kBoot).Save({}));
  ASSERT_EQ(CStateFile(path, kBoot).Load(&loaded), CStateFile::kLoaded);
  EXPECT_TRUE(loaded.empty());
}

TEST(StateFileTest, TornOrCorruptFilesAreRejectedWhole) {
  TempDirectory directory;
  const std::string path = directory.Path() + "states";
  ASSERT_TRUE(CStateFile(path, kBoot).Save(SomeRecords()));
  const std::string good = ReadFile(path);
  ASSERT_EQ(good.size(), 48 + 3 * 28 + 4u);

  std::vector<std::pair<std::string, std::string>> damaged = {
      {good.substr(0, good.size() - 1), "torn"},
      {good.substr(0, good.size() / 2), "torn"},
      {good + "x", "torn"},
      {"", "shorter"},
      {"XXXX" + good.substr(4), "not a state file"},
  };
  for (size_t at : {size_t{4}, size_t{60}, good.size() - 1}) {
    std::string flipped = good;
    flipped[at] ^= 0x01;
    damaged.push_back({flipped, at == 4 ? "version" : "checksum"});
  }
  std::string manyRecords = good;
  manyRecords.replace(44, 4, "\xFF\xFF\xFF\xFF");
  damaged.push_back({manyRecords, "records"});

  for (const auto& [bytes, reason] : damaged) {
    directory.Write("states", bytes);
    std::vector<CErrorState> loaded(2);
    CStateFile file(path, kBoot);
    EXPECT_EQ(file.Load(&loaded), CStateFile::kRejected) << reason;
    EXPECT_NE(file.ErrorText().find(reason), std::string::npos) << file.ErrorText();
    EXPECT_EQ(loaded.size(), 2u);
  }
}

TEST(StateFileTest, LinksAtTheTemporaryNameAreReplacedNotWrittenThrough) {
  TempDirectory directory;
  const std::string path = directory.Path() + "states";
  const std::string victim = directory.Write("victim", "another user's file");
  ASSERT_EQ(symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
  ASSERT_TRUE(CStateFile(path, kBoot).Save(SomeRecords()));
  ASSERT_EQ(link(victim.c_str(), (path + ".tmp").c_str()), 0);
  ASSERT_TRUE(CStateFile(path, kBoot).Save(SomeRecords()));
  EXPECT_EQ(ReadFile(victim), "another user's file");
  std::vector<CErrorState> loaded;
  ASSERT_EQ(CStateFile(path, kBoot).Load(&loaded), CStateFile::kLoaded);
  EXPECT_TRUE(SameBytes(loaded, SomeRecords()));
}

TEST(StateFileTest, AFailedSaveLeavesTheFileAsItWas) {
  TempDirectory directory;
  CStateFile nowhere(directory.Path() + "missing/states", kBoot);
  EXPECT_FALSE(nowhere.Save(SomeRecords()));
  EXPECT_NE(nowhere.ErrorText().find("open"), std::string::npos);

  const std::string path = directory.Path() + "states";
  CStateFile file(path, kBoot);
  ASSERT_TRUE(file.Save(SomeRecords()));
  EXPECT_FALSE(file.Save(std::vector<CErrorState>(CStateFile::kMaxRecords + 1)));
  std::vector<CErrorState> loaded;
  ASSERT_EQ(file.Load(&loaded), CStateFile::kLoaded);
  EXPECT_TRUE(SameBytes(loaded, SomeRecords()));
}

}  // namespace
