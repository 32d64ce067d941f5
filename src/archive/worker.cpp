#include "worker.h"
#include "extract.h"
#include "folders.h"
#include "progress.h"
#include "../decode/bit_input.h"

// Moves the stream to `base` + `distance`; false when that lies beyond what
// the stream can address, which ends the walk.
static bool SeekForward(FILE* stream, long base, uint32_t distance) {
  if (base < 0 || distance > 0x7FFFFFFFu - (uint32_t)base) return false;
  return fseek(stream, base + (long)distance, SEEK_SET) == 0;
}

uint32_t SumOriginalSizes(SfxSession* session) {
  FILE* stream = session->own_file;
  long start = ftell(stream);
  uint32_t sum = 0;
  for (;;) {
    long headerStart = ftell(stream);
    int size = fgetc(stream);
    unsigned char fields[20];  // offsets 1 to 20 of the header
    if (size == EOF || size == 0 || fread(fields, 1, sizeof fields, stream) != sizeof fields) break;
    uint32_t packed = fields[6] | fields[7] << 8 | fields[8] << 16 | (uint32_t)fields[9] << 24;
    uint32_t original = fields[10] | fields[11] << 8 | fields[12] << 16 | (uint32_t)fields[13] << 24;
    // Level 2 gives the whole header size in two bytes; the others count
    // two bytes more than their size byte (and level 1's packed size
    // covers its extended headers).
    uint32_t headerLength = fields[19] == 2 ? (uint32_t)size | fields[0] << 8 : (uint32_t)size + 2;
    sum = AddSaturated(sum, original);
    if (!SeekForward(stream, headerStart, AddSaturated(headerLength, packed))) break;
  }
  fseek(stream, start, SEEK_SET);
  return sum;
}

void __cdecl ExtractionWorker(void* argument) {
  SfxSession* session = (SfxSession*)argument;
  buildCrc16Table();
  totalSize = SumOriginalSizes(session);
  LzhEntry entry;
  bool more = ReadMemberHeader(session, &entry);
  while (more) {
    long dataStart = ftell(session->own_file);
    SendMessageA(session->main_window, WM_SFX_FILENAME, 0, (LPARAM)entry.name);
    if (!ExtractMember(session, &entry)) {
      session->failed = true;
      break;
    }
    NotifyShell(session, false, entry.name);
    if (!SeekForward(session->own_file, dataStart, (uint32_t)entry.packed_size)) break;
    completedSize = AddSaturated(completedSize, (uint32_t)entry.original_size);
    more = ReadMemberHeader(session, &entry);
  }
  PostMessageA(session->main_window, abortRequested ? WM_SFX_ABORTED : WM_SFX_DONE, 0, 0);
}
