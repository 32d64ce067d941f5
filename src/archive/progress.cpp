#include "progress.h"

uint32_t totalSize;
uint32_t completedSize;
uint32_t lastPercentage;
HWND progressBar;
volatile LONG abortRequested;

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
