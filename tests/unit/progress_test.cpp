// The percentage shown by the progress bar.
#include <gtest/gtest.h>

#include <random>

#include "archive/progress.h"
#include "test_support.h"

namespace {

std::vector<uintptr_t> SentPositions() {
  std::vector<uintptr_t> positions;
  for (const HostWindowMessage& m : HostWindowMessages())
    if (m.message == PBM_SETPOS_MESSAGE) positions.push_back(m.wParam);
  return positions;
}

void StartRun(uint32_t total) {
  HostReset();
  totalSize = total;
  completedSize = 0;
  lastPercentage = 0;
}

TEST(Progress, PercentagesOfSmallAndLargeTotals) {
  StartRun(800);
  UpdateProgress(200);
  EXPECT_EQ(SentPositions(), std::vector<uintptr_t>{25});
  StartRun(1099);  // divisor 10: the end of the last member shows 109
  UpdateProgress(1099);
  EXPECT_EQ(SentPositions(), std::vector<uintptr_t>{109});
  StartRun(0);
  UpdateProgress(0);
  UpdateProgress(5000);
  EXPECT_TRUE(SentPositions().empty());
}

TEST(Progress, SamePercentageIsSentOnce) {
  StartRun(10000);
  for (uint32_t done : {0u, 50u, 99u, 100u, 150u, 199u, 200u}) UpdateProgress(done);
  EXPECT_EQ(SentPositions(), (std::vector<uintptr_t>{1, 2}));
}

TEST(Progress, TotalsBeyondFourGibibytesSaturate) {
  StartRun(0xFFFFFFFFu);
  completedSize = 0xFFFFFFF0u;
  UpdateProgress(0x100);  // would wrap back to the start without saturation
  EXPECT_EQ(SentPositions(), std::vector<uintptr_t>{100});
}

// Looking at the bar only where UpdateProgress asks to be called again must
// send exactly what looking after every byte sends.
TEST(Progress, CheckpointsSendTheSameAsEveryCall) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    uint32_t total = random() % 3 ? 1001 + random() % 200000 : random() % 1001;
    std::vector<uint32_t> members;
    for (uint32_t left = total; left;) {
      uint32_t size = std::min<uint32_t>(left, 1 + random() % (total / 3 + 1));
      members.push_back(size);
      left -= size;
    }
    auto run = [&](bool checkpoints) {
      StartRun(total);
      for (uint32_t size : members) {
        uint32_t next = 0;
        for (uint32_t done = 0; done < size;) {
          done = std::min(size + 2, done + 1 + (uint32_t)(random() % 40));  // symbols, a little overshoot
          if (!checkpoints) UpdateProgress(done);
          else if (done >= next) next = UpdateProgress(done);
        }
        completedSize += size;
      }
      return SentPositions();
    };
    std::mt19937 saved = random;
    std::vector<uintptr_t> every = run(false);
    random = saved;
    EXPECT_EQ(run(true), every) << "total " << total;
  }
}

}  // namespace
