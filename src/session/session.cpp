#include "session.h"

void InitSession(SfxSession* session, HINSTANCE instance) {
  memset(session, 0, sizeof *session);
  session->instance = instance;
}

void ShowMessage(SfxSession* session, const char* text, const char* caption, UINT type) {
  if (!session->silent) MessageBoxA(session->main_window, text, caption, type);
}

bool SetSessionString(char** field, const char* text, size_t length) {
  char* copy = (char*)malloc(length + 1);
  if (!copy) return false;
  memcpy(copy, text, length);
  copy[length] = 0;
  free(*field);
  *field = copy;
  return true;
}

void CloseSession(SfxSession* session) {
  if (session->own_file) {
    fclose(session->own_file);
    session->own_file = 0;
  }
  // The five strings are consecutive fields, destination to shortcut_name.
  for (char** field = &session->destination; field <= &session->shortcut_name; ++field) {
    free(*field);
    *field = 0;
  }
}
