#include "system/streams.h"

#include <stdlib.h>

struct ScratchStream {
  FILE* file;
  char* bytes;
  size_t size;
};

ScratchStream* OpenScratchStream() {
  ScratchStream* stream = new ScratchStream{nullptr, nullptr, 0};
  // The stream's size is its position, where the last write ended (a
  // member that is stored after all is written again from its start).
  stream->file = open_memstream(&stream->bytes, &stream->size);
  if (stream->file) return stream;
  delete stream;
  return nullptr;
}

FILE* ScratchFile(ScratchStream* stream) { return stream->file; }

bool CloseScratchStream(ScratchStream* stream, std::string* bytes) {
  const bool written = fclose(stream->file) == 0;
  if (written) bytes->assign(stream->bytes, stream->size);
  free(stream->bytes);
  delete stream;
  return written;
}

struct CountingStream {
  FILE* file;
  uint64_t count;
};

static ssize_t Count(void* stream, const char*, size_t size) {
  static_cast<CountingStream*>(stream)->count += size;
  return (ssize_t)size;
}

CountingStream* OpenCountingStream() {
  CountingStream* stream = new CountingStream{nullptr, 0};
  stream->file = fopencookie(stream, "wb", cookie_io_functions_t{nullptr, Count, nullptr, nullptr});
  if (stream->file) return stream;
  delete stream;
  return nullptr;
}

FILE* CountingFile(CountingStream* stream) { return stream->file; }

uint64_t CloseCountingStream(CountingStream* stream) {
  fclose(stream->file);
  const uint64_t count = stream->count;
  delete stream;
  return count;
}
