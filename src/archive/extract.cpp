#include "extract.h"
#include "folders.h"
#include "progress.h"
#include "../decode/bit_input.h"
#include "../decode/driver.h"
#include "../session/paths.h"
#include "../session/registry_keys.h"

enum { STORED_CHUNK = 2048 };

// "ファイル %s が壊れています。" (the file %s is corrupted)
static const char kCorruptedMessage[] =
    "\x83t\x83@\x83" "C\x83\x8B %s \x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81" "B";
// "ファイル %s を展開できません。" (the file %s cannot be extracted)
static const char kRefusedMessage[] =
    "\x83t\x83@\x83" "C\x83\x8B %s \x82\xF0\x93W\x8AJ\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B";
// "VornDll.dll が使用中です。\n再起動後にインストールを行ってください。"
static const char kInUseMessage[] =
    "VornDll.dll \x82\xAA\x8Eg\x97p\x92\x86\x82\xC5\x82\xB7\x81" "B\x0A\x8D\xC4\x8BN\x93\xAE\x8C\xE3\x82\xC9\x83"
    "C\x83\x93\x83X\x83g\x81[\x83\x8B\x82\xF0\x8Ds\x82\xC1\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B";

static void ShowMemberMessage(SfxSession* session, const char* format, const char* path) {
  char text[MAX_PATH + 64];
  wsprintfA(text, format, path);
  ShowMessage(session, text, 0, MB_ICONWARNING);
}

// A member that names a folder: the folder is made and counts as extracted.
static bool ExtractFolder(SfxSession* session, const char* path) {
  if (!path[0]) return true;
  char folder[MAX_PATH + 1];
  CopyText(folder, sizeof folder, path);
  if (!EndsWithSlash(folder)) AppendText(folder, sizeof folder, "/");
  return MakeParentDirectories(session, folder);
}

// Opens the member's file for writing, making its folders when the first
// try fails. A file that cannot be made gets the "cannot extract" message;
// the shell extension's DLL held open by another process gets the in-use
// message instead, and its registration is removed.
static FILE* OpenOutputFile(SfxSession* session, const char* path) {
  FILE* output = fopen(path, "wb");
  if (output) return output;
  MakeParentDirectories(session, path);
  output = fopen(path, "wb");
  if (output) return output;
  char baseName[_MAX_FNAME];
  _splitpath(path, 0, 0, baseName, 0);
  if (strcmp(baseName, kVornDllName) == 0) {
    // The shell extension is in use: its registration (the handler for all
    // files, then its class) goes, so that it is not loaded after the
    // restart the message asks for.
    static const unsigned char kKeys[] = {FILE_HANDLER_KEY_AT, INPROC_SERVER_KEY_AT, CLSID_KEY_AT};
    ShowMessage(session, kInUseMessage, session->title, MB_ICONERROR);
    for (unsigned char key : kKeys) RegDeleteKeyA(HKEY_CLASSES_ROOT, kRegistryNames + key);
  } else {
    ShowMemberMessage(session, kRefusedMessage, path);
  }
  return 0;
}

// Copies `length` stored bytes from own_file to `output`, folding them into
// memberCrc; stops early when the user aborts. A failed write, or an
// archive that ends inside the member, sets memberFailed and ends the copy
// there (a damaged size must not go on writing gigabytes).
static void CopyStored(SfxSession* session, FILE* output, int32_t length) {
  unsigned char buffer[STORED_CHUNK];
  memberCrc = 0;
  decodeState.memberFailed = 0;
  for (uint32_t done = 0; length > 0 && !decodeState.memberFailed;) {
    int32_t n = length < STORED_CHUNK ? length : STORED_CHUNK;
    size_t got = fread(buffer, 1, (size_t)n, session->own_file);
    if (got < (size_t)n) decodeState.memberFailed = MEMBER_CUT_SHORT;
    writeAndCrc(buffer, (uint32_t)got, output);
    done += (uint32_t)n;
    length -= n;
    if (!UpdateProgress(done)) return;
  }
}

// Writes the member's bytes to `output`; memberCrc then holds their CRC-16.
// False when they could not all be written: no memory, a failed write, or
// an archive that ends inside the member.
static bool WriteMemberData(SfxSession* session, FILE* output, const LzhEntry* entry, int index) {
  if (index == METHOD_LH0 || index == METHOD_LZ4) {
    CopyStored(session, output, entry->original_size);
    return !decodeState.memberFailed;
  }
  return decodeMember(index, session->own_file, output, (uint32_t)entry->packed_size,
                      (uint32_t)entry->original_size) != DECODE_FAILED;
}

// The worker sets `failed` when a member is not extracted; every refusal
// here tells the user why first.
bool ExtractMember(SfxSession* session, LzhEntry* entry) {
  const char* path = entry->name[0] == '/' ? entry->name + 1 : entry->name;
  const char* message = kRefusedMessage;
  int index = methodIndex(entry->method_id);
  if (index < 0) return true;
  // A name that does not fit, or one that would reach outside the
  // destination folder, is refused like a damaged member.
  if (entry->name_too_long || !IsSafeMemberPath(path)) goto refused;
  if (index == METHOD_LHD || EndsWithSlash(path)) {
    if (ExtractFolder(session, path)) return true;
    goto refused;
  }
  {
    _unlink(path);
    FILE* output = OpenOutputFile(session, path);
    if (!output) return false;
    lstrcpynA(session->output_path, path, sizeof session->output_path);
    bool written = WriteMemberData(session, output, entry, index);
    if (fclose(output)) written = false;  // the last bytes may only reach the disk now
    if (abortRequested || !written) {
      _unlink(path);
      if (written) return false;  // aborted: the window cleans up and tells nothing
      // Cut off inside the member: the archive is damaged, as a wrong CRC
      // would say (a member without a CRC has no other way to tell).
      if (decodeState.memberFailed == MEMBER_CUT_SHORT) message = kCorruptedMessage;
      goto refused;
    }
    if (entry->has_crc && memberCrc != entry->crc) {
      message = kCorruptedMessage;
      goto refused;
    }
    struct _utimbuf times;
    times.actime = times.modtime = (time_t)(uint32_t)entry->mtime;
    _utime(path, &times);
    // The member is complete: an Abort from now on must not delete it.
    session->output_path[0] = 0;
    return true;
  }
refused:
  ShowMemberMessage(session, message, path);
  return false;
}
