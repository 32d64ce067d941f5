#include "progress.h"

uint32_t totalSize;
uint32_t completedSize;
uint32_t lastPercentage;
HWND progressBar;

uint32_t AddSaturated(uint32_t a, uint32_t b) {
  uint32_t sum = a + b;
  return sum < a ? 0xFFFFFFFFu : sum;
}

static uint32_t Percentage(uint32_t done) {
  uint32_t reached = AddSaturated(completedSize, done);
  if (totalSize <= 1000) return reached * 100 / totalSize;
  return reached / (totalSize / 100);
}

void UpdateProgress(uint32_t done) {
  if (totalSize == 0) return;
  uint32_t percentage = Percentage(done);
  if (percentage == lastPercentage) return;
  lastPercentage = percentage;
  SendMessageA(progressBar, PBM_SETPOS_MESSAGE, percentage, 0);
}

uint32_t NextProgressChange(uint32_t done) {
  if (totalSize == 0) return 0xFFFFFFFFu;
  if (totalSize <= 1000) return done + 1;  // a small archive: look every time
  // The percentage steps where completedSize + done reaches the next
  // multiple of the divisor.
  uint32_t step = totalSize / 100;
  uint32_t reached = AddSaturated(completedSize, done);
  uint32_t toNextStep = step - reached % step;
  return AddSaturated(done, toNextStep);
}
