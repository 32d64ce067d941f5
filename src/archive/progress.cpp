#include "progress.h"

uint32_t totalSize;
uint32_t completedSize;
uint32_t lastPercentage;
HWND progressWindow;
volatile LONG abortRequested;

uint32_t AddSaturated(uint32_t a, uint32_t b) {
  uint32_t sum = a + b;
  return sum < a ? 0xFFFFFFFFu : sum;
}

// However slowly the bar moves, the extraction looks at the abort flag at
// least this often (bytes of output).
enum { ABORT_CHECK_BYTES = 1 << 16 };

// The percentage of completedSize + done; it next changes where that sum
// reaches the next multiple of the divisor (for small totals: at any byte).
uint32_t UpdateProgress(uint32_t done) {
  uint32_t next = AddSaturated(done, ABORT_CHECK_BYTES);
  if (totalSize) {
    const uint32_t reached = AddSaturated(completedSize, done);
    uint32_t percentage, change = done + 1;
    if (totalSize <= 1000) {
      percentage = reached * 100 / totalSize;
    } else {
      const uint32_t step = totalSize / 100;
      percentage = reached / step;
      change = AddSaturated(done, step - reached % step);
    }
    if (percentage != lastPercentage) {
      lastPercentage = percentage;
      SendMessageA(progressWindow, PBM_SETPOS_MESSAGE, percentage, 0);
    }
    if (change < next) next = change;
  }
  return abortRequested ? 0 : next;
}
