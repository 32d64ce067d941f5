// A stand-in for osslsigncode on Windows, where mksfx.exe finds it on the
// PATH: it copies the file after -in to the file after -out and appends
// the arguments it was given, one a line, for the test to read.
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  const char *in = nullptr, *out = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "-in") == 0) in = argv[i + 1];
    if (strcmp(argv[i], "-out") == 0) out = argv[i + 1];
  }
  FILE* source = in ? fopen(in, "rb") : nullptr;
  FILE* signedFile = out ? fopen(out, "wb") : nullptr;
  if (!source || !signedFile) return 1;
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, source)) > 0;) fwrite(buffer, 1, n, signedFile);
  fprintf(signedFile, "\nsigned by the stand-in with:\n");
  for (int i = 1; i < argc; ++i) fprintf(signedFile, "%s\n", argv[i]);
  fclose(source);
  return fclose(signedFile) == 0 ? 0 : 1;
}
