#include "system/streams.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <thread>

namespace {

// A C stream on a handle of the system's, which it then owns.
FILE* StreamOnHandle(HANDLE handle, int flags, const char* mode) {
  const int descriptor = _open_osfhandle((intptr_t)handle, flags | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(descriptor, mode);
  if (!file) _close(descriptor);
  return file;
}

// In the user's folder for temporary files; never seen by anyone else, and
// gone once closed, also when the program is ended.
HANDLE CreateTemporaryFile() {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (!length || length > MAX_PATH || !GetTempFileNameW(folder, L"vrn", 0, name)) return INVALID_HANDLE_VALUE;
  const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) DeleteFileW(name);
  return file;
}

}  // namespace

struct ScratchStream {
  FILE* file;
};

ScratchStream* OpenScratchStream() {
  const HANDLE file = CreateTemporaryFile();
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  FILE* stream = StreamOnHandle(file, _O_RDWR, "w+b");
  return stream ? new ScratchStream{stream} : nullptr;
}

FILE* ScratchFile(ScratchStream* stream) { return stream->file; }

bool CloseScratchStream(ScratchStream* stream, std::string* bytes) {
  FILE* file = stream->file;
  delete stream;
  const long long size = _ftelli64(file);
  bool read = size >= 0 && fflush(file) == 0 && fseek(file, 0, SEEK_SET) == 0;
  if (read) {
    bytes->resize((size_t)size);
    read = fread(&(*bytes)[0], 1, bytes->size(), file) == bytes->size();
  }
  return fclose(file) == 0 && read;
}

// The bytes go through a pipe to a thread that counts them.
struct CountingStream {
  FILE* file;
  HANDLE reader;
  uint64_t count;
  std::thread counter;
};

CountingStream* OpenCountingStream() {
  HANDLE reader, writer;
  if (!CreatePipe(&reader, &writer, nullptr, 1 << 16)) return nullptr;
  FILE* file = StreamOnHandle(writer, _O_WRONLY, "wb");
  if (!file) {
    CloseHandle(reader);
    return nullptr;
  }
  CountingStream* stream = new CountingStream{file, reader, 0, {}};
  stream->counter = std::thread([stream] {
    char buffer[1 << 16];
    DWORD got;
    while (ReadFile(stream->reader, buffer, sizeof buffer, &got, nullptr) && got) stream->count += got;
  });
  return stream;
}

FILE* CountingFile(CountingStream* stream) { return stream->file; }

// The pipe ends once its writing end is closed with the stream.
uint64_t CloseCountingStream(CountingStream* stream) {
  fclose(stream->file);
  stream->counter.join();
  CloseHandle(stream->reader);
  const uint64_t count = stream->count;
  delete stream;
  return count;
}
