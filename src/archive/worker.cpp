#include "worker.h"
#include "extract.h"
#include "folders.h"
#include "progress.h"
#include "../session/config_block.h"
#include "../decode/bit_input.h"

// Moves the stream to `base` + `distance`; false when that lies beyond what
// the stream can address, which ends the walk.
static bool SeekForward(FILE* stream, long base, uint32_t distance) {
  if (base < 0 || distance > 0x7FFFFFFFu - (uint32_t)base) return false;
  return fseek(stream, base + (long)distance, SEEK_SET) == 0;
}

// Walks the members from the stream's position on, adding each one's
// original size to completedSize. Extracting, it also shows each name and
// extracts the member; a member that fails ends the walk with `failed` set.
// Not extracting, it is the size pre-scan: the same walk meets every header
// the extraction will meet, and no other. Returns why the walk ended: a
// member that cannot be reached by a seek counts as the archive cut short.
static ArchiveEnd WalkMembers(SfxSession* session, bool extract) {
  LzhEntry entry;
  while (ReadMemberHeader(session, &entry)) {
    long dataStart = ftell(session->own_file);
    if (extract) {
      SendMessageA(session->main_window, WM_SFX_FILENAME, 0, (LPARAM)entry.name);
      if (!ExtractMember(session, &entry)) {
        session->failed = true;
        break;
      }
      NotifyShell(session, false, entry.name);
    }
    if (!SeekForward(session->own_file, dataStart, (uint32_t)entry.packed_size)) return ARCHIVE_CUT_SHORT;
    completedSize = AddSaturated(completedSize, (uint32_t)entry.original_size);
  }
  return entry.end;
}

THREAD_ENTRY_WITH_IMPORT_BASE(ExtractionWorker, ExtractArchive)

static void __cdecl ExtractArchive(void* argument) {
  SfxSession* session = (SfxSession*)argument;
  buildCrc16Table();
  long start = ftell(session->own_file);
  WalkMembers(session, false);
  totalSize = completedSize;
  completedSize = 0;
  fseek(session->own_file, start, SEEK_SET);
  // A broken archive is a failed extraction: the user is told, and nothing
  // is installed from the members before the break.
  if (WalkMembers(session, true) != ARCHIVE_CLEAN_END) {
    session->failed = true;
    MessageBoxA(session->main_window, kUnknownHeader, kDefaultTitle, MB_ICONERROR);
  }
  PostMessageA(session->main_window, abortRequested ? WM_SFX_ABORTED : WM_SFX_DONE, 0, 0);
}
