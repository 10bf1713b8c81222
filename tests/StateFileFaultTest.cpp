// A state file cut off at every byte, as a power cut during a copy or a full
// disk may leave one: every cut is rejected whole and changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Service/CStateFile.h"
#include "Support/TestSupport.h"

namespace Faultwright {
namespace {

using FaultwrightTest::ReadFile;
using FaultwrightTest::TempDirectory;

const char kBoot[] = "3b0c5a2e-6f4d-4c1e-9a7b-2d8e1f0a9c33";

TEST(StateFileFault, CutOffAtEveryByte) {
  TempDirectory directory;
  std::vector<CErrorState> records(20);
  for (uint16_t i = 0; i < records.size(); ++i) {
    records[i] = {
        0x010C00u + i, static_cast<int16_t>(i), 0, i, i, Core::MonotonicTime(i, 1), Core::MonotonicTime(i, 2)};
  }
  ASSERT_TRUE(CStateFile(directory.Path() + "whole", kBoot).Save(records));
  const std::string whole = ReadFile(directory.Path() + "whole");
  ASSERT_GT(whole.size(), records.size() * sizeof(CErrorState));

  for (size_t length = 0; length < whole.size(); ++length) {
    // A file of its own for every cut: rewriting one file would flush it each time.
    const std::string name = "cut" + std::to_string(length);
    directory.Write(name, whole.substr(0, length));
    CStateFile file(directory.Path() + name, kBoot);
    std::vector<CErrorState> loaded(1);
    ASSERT_EQ(file.Load(&loaded), CStateFile::kRejected) << "cut at " << length;
    EXPECT_EQ(loaded.size(), 1u);
    EXPECT_FALSE(file.ErrorText().empty());
  }
  std::vector<CErrorState> loaded;
  EXPECT_EQ(CStateFile(directory.Path() + "whole", kBoot).Load(&loaded), CStateFile::kLoaded);
  EXPECT_EQ(loaded.size(), records.size());
}

}  // namespace
}  // namespace Faultwright
