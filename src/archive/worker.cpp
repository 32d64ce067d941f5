#include "worker.h"
#include "extract.h"
#include "folders.h"
#include "progress.h"
#include "../session/config_block.h"
#include "../decode/bit_input.h"

// Walks the members from the stream's position on, adding each one's
// original size to completedSize. Extracting, it also shows each name and
// extracts the member; a member that fails ends the walk with `failed` set.
// Not extracting, it is the size pre-scan: the same walk meets every header
// the extraction will meet, and no other. Returns why the walk ended: a
// member whose data would end beyond the end of the file counts as the
// archive cut short, whatever its kind (a seek there would succeed, and the
// end of the file would then read as the end of the archive).
static ArchiveEnd WalkMembers(SfxSession* session, bool extract) {
  LzhEntry entry;
  while (ReadMemberHeader(session, &entry)) {
    const long dataStart = ftell(session->own_file);
    if (entry.packed_size > session->archive_end - dataStart) return ARCHIVE_CUT_SHORT;
    if (extract) {
      SendMessageA(session->main_window, WM_SFX_FILENAME, 0, (LPARAM)entry.name);
      if (!ExtractMember(session, &entry)) {
        session->failed = true;
        break;
      }
      NotifyShell(session, false, entry.name);
    }
    fseek(session->own_file, dataStart + entry.packed_size, SEEK_SET);
    completedSize = AddSaturated(completedSize, (uint32_t)entry.original_size);
  }
  return entry.end;
}

bool ScanArchive(SfxSession* session) {
  FILE* const file = session->own_file;
  const long start = ftell(file);
  fseek(file, 0, SEEK_END);
  // -1 for a file of 2 GiB or more, which the walk cannot reach through:
  // every member then lies beyond it.
  session->archive_end = ftell(file);
  fseek(file, start, SEEK_SET);
  const bool whole = WalkMembers(session, false) == ARCHIVE_CLEAN_END;
  totalSize = completedSize;
  completedSize = 0;
  fseek(file, start, SEEK_SET);
  return whole;
}

// "ファイルが不完全です。再ダウンロードしてください。" (the file is
// incomplete: download it again) for every broken archive: a damaged header
// in a downloaded installer is a broken download as much as a cut one.
static const char kIncompleteFile[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x95\x73\x8A\xAE\x91\x53\x82\xC5\x82\xB7\x81\x42\x8D\xC4\x83\x5F\x83\x45\x83\x93\x83\x8D\x81\x5B\x83\x68\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42";

void ReportBrokenArchive(SfxSession* session) {
  session->failed = true;
  ShowMessage(session, kIncompleteFile, kDefaultTitle, MB_ICONERROR);
}

THREAD_ENTRY_WITH_IMPORT_BASE(ExtractionWorker, ExtractArchive)

static void __cdecl ExtractArchive(void* argument) {
  SfxSession* session = (SfxSession*)argument;
  buildCrc16Table();
  // The pre-scan found the archive whole; should the file have changed
  // since, the run still fails here and nothing is installed.
  if (WalkMembers(session, true) != ARCHIVE_CLEAN_END) ReportBrokenArchive(session);
  PostMessageA(session->main_window, abortRequested ? WM_SFX_ABORTED : WM_SFX_DONE, 0, 0);
}
