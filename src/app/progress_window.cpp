#include "progress_window.h"
#include "../archive/progress.h"
#include "../archive/worker.h"
#include "../install/installation.h"
#include "../ui/destination_folder.h"
#include "../ui/options_dialog.h"

static_assert(RUN_COMPLETED == 0 && RUN_CANCELLED == 1 && RUN_FAILED == 2, "the exit code is computed");

int screenDpi;

int ScaledPixels(int pixels) { return pixels * screenDpi / 96; }

static SfxSession* windowSession;
static bool workerRunning;

// Makes the destination current and starts the worker thread.
static bool StartWorker(SfxSession* session) {
  if (!EnsureDestinationFolder(session, session->destination)) return false;
  // Without a worker the window would wait for ever; end the run instead.
  if (_beginthread(ExtractionWorker, 0, session) == (uintptr_t)-1) {
    session->failed = true;
    return false;
  }
  workerRunning = true;
  return true;
}

PROCEDURE_WITH_IMPORT_BASE(LRESULT, ProgressWindowProc, HandleProgressMessage)

// Every message handled here returns 0; the cases that end the run leave
// the switch to destroy the window.
static LRESULT CALLBACK HandleProgressMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SfxSession* session = windowSession;
  switch (message) {
    case WM_CREATE:
      windowSession = (SfxSession*)((CREATESTRUCTA*)lParam)->lpCreateParams;
      return 0;
    case WM_SFX_START:
      // An installer asks first, unless its command line already chose.
      if ((session->installer_mode && !session->command_line_mode && ShowOptionsDialog(session)) ||
          !StartWorker(session))
        break;
      // A silent run keeps the window hidden: it still takes the worker's
      // messages.
      if (!session->silent) {
        SetWindowTextA(window, session->title);
        ShowWindow(window, SW_SHOW);
      }
      return 0;
    case PBM_SETPOS_MESSAGE:
      // The progress bar is drawn without the common controls (so that no
      // comctl32.dll is loaded, from beside the installer or elsewhere): a
      // bar as wide as the percentage of its frame, full beyond 100.
      SetWindowPos(GetDlgItem(window, ID_PROGRESS_FILL), 0, 0, 0, ScaledPixels((wParam < 100 ? (int)wParam : 100) * 2),
                   ScaledPixels(20), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    case WM_SFX_FILENAME:
      SetWindowTextA(GetDlgItem(window, ID_NAME_LABEL), (const char*)lParam);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == ID_ABORT_BUTTON) abortRequested = 1;
      return 0;
    case WM_SFX_DONE:
      workerRunning = false;
      if (!session->failed) {
        CompleteInstallation(session);
        session->completed = true;
      }
      break;
    case WM_SFX_ABORTED:
      // The member the abort stopped is not a failure of the run: the
      // user ended it.
      workerRunning = false;
      session->failed = false;
      _unlink(session->output_path);
      break;
    case WM_CLOSE:
      // While the worker reads the program's own file, closing works like
      // Abort: the worker stops and its final message ends the run, so the
      // file is never closed under it.
      if (!workerRunning) break;
      abortRequested = 1;
      return 0;
    case WM_DESTROY:
      // RUN_COMPLETED, RUN_FAILED, or else RUN_CANCELLED (never both flags).
      PostQuitMessage(session->failed + !session->completed);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
  DestroyWindow(window);
  return 0;
}
