// The raw command line as Windows passes it: the program's name is
// skipped, and the rest is scanned for switches, a quoted destination and
// archive types. The text ends at the first zero byte.
#include <stdlib.h>

#include "session/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy exactly as long as the text, so that a read past its end is seen.
  char* line = (char*)malloc(size + 1);
  memcpy(line, data, size);
  line[size] = 0;
  const char* tail = CommandLineTail(line);
  if (tail < line || tail > line + strlen(line)) abort();
  SfxSession session;
  InitSession(&session, nullptr);
  ParseCommandLine(&session, tail);
  // A destination comes from the line, whole, and puts the run in
  // unattended mode.
  if (session.destination && (!session.command_line_mode || strlen(session.destination) > strlen(tail))) abort();
  CloseSession(&session);
  free(line);
  return 0;
}
