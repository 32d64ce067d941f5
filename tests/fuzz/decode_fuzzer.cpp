// One member through the decode driver, once by the stub's decoders (the
// size variant) and once by the native tools' (the speed variant). The two
// must read the same bits and agree on everything the extraction sees: the
// result, every byte written, the CRC, and where progress was reported.
//
// Input: method (low 7 bits: 1 + value % 9, -lh1- to -lz5-; bit 7: the
// archive ends 1000 bytes before the member does), original size (24 bits,
// little-endian, modulo 128 KiB + 1: two laps of the largest ring), progress
// (low 7 bits: the stride at which the driver is asked to report again; bit
// 7: a 16 KiB input buffer, as when free memory is short, instead of one as
// large as the member), then the packed bytes.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "decode/bit_input.h"
#include "decode/driver.h"
#include "test_support.h"
#include "win32_host.h"

namespace size_variant {
int decodeMember(int method, FILE* archive, FILE* output, uint32_t packedSize, uint32_t originalSize);
void buildCrc16Table();
uint16_t MemberCrc();
uint32_t UpdateProgress(uint32_t done);
}  // namespace size_variant

namespace {

enum { HEADER_BYTES = 5, MAX_ORIGINAL = 1 << 17, CUT_SHORT_BYTES = 1000 };

// What one variant showed of the member.
struct Trace {
  uint64_t outputHash = 0xcbf29ce484222325ull;
  uint64_t outputBytes = 0;
  uint16_t crc = 0;  // of the bytes written, computed apart from the decoders
  uint64_t progressHash = 0;
  uint32_t progressCalls = 0;
  // Bytes written when a read of the archive first found its end.
  uint64_t outputAtArchiveEnd = UINT64_MAX;
};

// The archive: the packed bytes, then its end.
struct Archive {
  const uint8_t* bytes;
  size_t size, position;
};

Trace* current;
uint32_t progressStride;

ssize_t TraceWrite(void*, const char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const unsigned char c = (unsigned char)bytes[i];
    current->outputHash = (current->outputHash ^ c) * 0x100000001b3ull;
    current->crc = Crc16Add(current->crc, c);
  }
  current->outputBytes += count;
  return (ssize_t)count;
}

ssize_t ArchiveRead(void* cookie, char* bytes, size_t count) {
  Archive* archive = (Archive*)cookie;
  const size_t n = count < archive->size - archive->position ? count : archive->size - archive->position;
  memcpy(bytes, archive->bytes + archive->position, n);
  archive->position += n;
  if (!n && current->outputAtArchiveEnd == UINT64_MAX) current->outputAtArchiveEnd = current->outputBytes;
  return (ssize_t)n;
}

template <typename Decode>
int Run(Decode decode, int method, const uint8_t* packed, uint32_t packedSize, uint32_t claimedSize,
        uint32_t originalSize, Trace* trace) {
  current = trace;
  Archive source = {packed, packedSize, 0};
  FILE* archive = fopencookie(&source, "rb", cookie_io_functions_t{ArchiveRead, nullptr, nullptr, nullptr});
  FILE* output = fopencookie(nullptr, "wb", cookie_io_functions_t{nullptr, TraceWrite, nullptr, nullptr});
  if (!archive || !output) abort();
  // Unbuffered, so that the trace sees each read and write when the decoder
  // makes it, not when the C library fills or flushes its buffer: only then
  // does "written after the archive's end" count what the decoder wrote.
  setvbuf(archive, nullptr, _IONBF, 0);
  setvbuf(output, nullptr, _IONBF, 0);
  const int result = decode(method, archive, output, claimedSize, originalSize);
  fclose(output);
  fclose(archive);
  return result;
}

}  // namespace

// Both variants report to the same place; the driver calls again at the
// count returned, never aborts.
uint32_t UpdateProgress(uint32_t done) {
  current->progressHash = (current->progressHash + done) * 0x9E3779B97F4A7C15ull;
  ++current->progressCalls;
  return done + progressStride;
}
uint32_t size_variant::UpdateProgress(uint32_t done) { return ::UpdateProgress(done); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  buildCrc16Table();
  size_variant::buildCrc16Table();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < HEADER_BYTES) return 0;
  const int method = 1 + (data[0] & 0x7F) % 9;
  const bool cutShort = data[0] & 0x80;
  const uint32_t originalSize = (data[1] | data[2] << 8 | (uint32_t)data[3] << 16) % (MAX_ORIGINAL + 1);
  progressStride = 1 + (uint32_t)(data[4] & 0x7F) * (data[4] & 0x7F) * 4;
  HostSetAvailablePhysicalMemory(data[4] & 0x80 ? 16384 : 0);
  const uint8_t* packed = data + HEADER_BYTES;
  const uint32_t packedSize = (uint32_t)(size - HEADER_BYTES);
  const uint32_t claimedSize = packedSize + (cutShort ? CUT_SHORT_BYTES : 0);

  Trace speed, small;
  const int speedResult = Run(decodeMember, method, packed, packedSize, claimedSize, originalSize, &speed);
  const uint16_t speedCrc = decodeState.memberCrc;
  const int smallResult = Run(size_variant::decodeMember, method, packed, packedSize, claimedSize, originalSize, &small);
  const uint16_t smallCrc = size_variant::MemberCrc();

  if (speedResult != smallResult || speedCrc != smallCrc || speed.outputBytes != small.outputBytes ||
      speed.outputHash != small.outputHash || speed.progressCalls != small.progressCalls ||
      speed.progressHash != small.progressHash) {
    fprintf(stderr, "variants differ: result %d/%d, crc %04x/%04x, %llu/%llu bytes, %u/%u progress reports\n",
            speedResult, smallResult, speedCrc, smallCrc, (unsigned long long)speed.outputBytes,
            (unsigned long long)small.outputBytes, speed.progressCalls, small.progressCalls);
    abort();
  }
  // The CRC the extraction checks is that of the bytes in the file.
  if (speedCrc != speed.crc) {
    fprintf(stderr, "memberCrc %04x, written bytes %04x\n", speedCrc, speed.crc);
    abort();
  }
  // Once a read has found the archive's end inside the member, the member
  // fails, and nothing more is written than what the ring held and the
  // symbol being decoded (with the match that ran past the ring before it).
  const uint64_t ring = 1u << methodDictionaryBits[method];
  if (speed.outputAtArchiveEnd != UINT64_MAX &&
      (speedResult != DECODE_FAILED || speed.outputBytes - speed.outputAtArchiveEnd > ring + 2 * LONGEST_MATCH)) {
    fprintf(stderr, "the archive ended inside the member: result %d, %llu bytes written after that\n", speedResult,
            (unsigned long long)(speed.outputBytes - speed.outputAtArchiveEnd));
    abort();
  }
  // A member whose bytes are all there comes out at its size, or a little
  // beyond it when the last match runs past (that match is written whole);
  // or it fails because its decoder took more than PAST_END_BITS beyond its
  // data, and then it has written no more than it decoded.
  const bool ranPast = speedResult == DECODE_FAILED && decodeState.memberFailed == MEMBER_CUT_SHORT;
  if (!cutShort && ((speedResult != DECODE_DONE && !ranPast) || (!ranPast && speed.outputBytes < originalSize) ||
                    speed.outputBytes >= originalSize + LONGEST_MATCH)) {
    fprintf(stderr, "complete member: result %d, %llu of %u bytes\n", speedResult,
            (unsigned long long)speed.outputBytes, originalSize);
    abort();
  }
  return 0;
}
