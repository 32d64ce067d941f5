#include "progress_window.h"
#include "continue_flag.h"
#include "destination_folder.h"
#include "messages.h"
#include "../install/installer.h"
#include "../archive/worker.h"

static SfxSession* windowSession;
static bool workerRunning;

bool StartWorker(SfxSession* session) {
  if (!EnsureDestinationFolder(session, session->destination)) return false;
  // Without a worker the window would wait for ever; end the run instead.
  if (_beginthread(ExtractionWorker, 0, session) == (uintptr_t)-1) return false;
  workerRunning = true;
  return true;
}

static void OnStart(SfxSession* session) {
  // An installer asks first, unless its command line already chose.
  if ((session->installer_mode && !session->command_line_mode && ShowOptionsDialog(session)) ||
      !StartWorker(session)) {
    DestroyWindow(session->main_window);
    return;
  }
  SetWindowTextA(session->main_window, session->title);
  ShowWindow(session->main_window, SW_SHOW);
}

static void OnWorkerDone(SfxSession* session) {
  workerRunning = false;
  if (!session->failed) CompleteInstallation(session);
  DestroyWindow(session->main_window);
}

static void OnWorkerAborted(SfxSession* session) {
  workerRunning = false;
  _unlink(session->output_path);
  DestroyWindow(session->main_window);
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SfxSession* session = windowSession;
  switch (message) {
    case WM_CREATE:
      windowSession = (SfxSession*)((CREATESTRUCTA*)lParam)->lpCreateParams;
      return 0;
    case WM_SFX_START:
      OnStart(session);
      return 0;
    case WM_SFX_FILENAME:
      SetWindowTextA(session->label_window, (const char*)lParam);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == ID_ABORT_BUTTON) continueFlag = 0;
      return 0;
    case WM_SFX_DONE:
      OnWorkerDone(session);
      return 0;
    case WM_SFX_ABORTED:
      OnWorkerAborted(session);
      return 0;
    case WM_CLOSE:
      // While the worker reads the program's own file, closing works like
      // Abort: the worker stops and its final message ends the run, so the
      // file is never closed under it.
      if (workerRunning) continueFlag = 0;
      else DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
