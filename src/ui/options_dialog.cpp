#include "options_dialog.h"
#include "destination_folder.h"
#include "../install/install_values.h"
#include "../install/shortcuts.h"

enum { ID_DESTINATION = 1000, ID_BROWSE = 1001 };

// The boxes that show and set a choice of the session: control id less
// 1000, the choice's offset (SessionChoice), and how the box reads it.
enum {
  SHORTCUT,  // option byte: bit 1 checks the box, bit 0 enables it
  LOCKED,    // flag: a set flag shows checked and cannot be taken back
  VIEW,      // usable (and checked) while an association is chosen
};
static const unsigned char kBoxes[][3] = {
    {2, CHOICE_OFFSET(start_menu_option), SHORTCUT},
    {3, CHOICE_OFFSET(desktop_option), SHORTCUT},
    {4, CHOICE_OFFSET(send_to_option), SHORTCUT},
    {5, CHOICE_OFFSET(associate[0]), LOCKED},  // .lzh
    {6, CHOICE_OFFSET(associate[1]), LOCKED},  // .zip
    {8, CHOICE_OFFSET(associate[2]), LOCKED},  // .cab
    {9, CHOICE_OFFSET(associate[3]), LOCKED},  // .tgz
    {10, CHOICE_OFFSET(associate[4]), LOCKED}, // .tar
    {11, CHOICE_OFFSET(associate[5]), LOCKED}, // .gz
    {12, CHOICE_OFFSET(associate[6]), LOCKED}, // .tbz
    {13, CHOICE_OFFSET(associate[7]), LOCKED}, // .bz2
    {14, CHOICE_OFFSET(associate[8]), LOCKED}, // .rar
    {16, CHOICE_OFFSET(associate[9]), LOCKED}, // .7z
    {7, CHOICE_OFFSET(view_menu), VIEW},
    {15, CHOICE_OFFSET(compress_menu), LOCKED},
};
enum { FIRST_TYPE_BOX = 3, VIEW_BOX = 13, BOX_COUNT = 15 };

// "解凍先フォルダの指定" (choose the destination folder)
static const char kBrowseTitle[] = "\x89\xF0\x93\x80\x90\xE6\x83t\x83H\x83\x8B\x83_\x82\xCC\x8Ew\x92\xE8";

static SfxSession* dialogSession;
static char destinationText[MAX_PATH];

static HWND Box(HWND dialog, int box) { return GetDlgItem(dialog, 1000 + kBoxes[box][0]); }

static bool IsChecked(HWND dialog, int box) {
  return SendMessageA(Box(dialog, box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void SetBox(HWND dialog, int box, int checked, int enabled) {
  HWND window = Box(dialog, box);
  SendMessageA(window, BM_SETCHECK, checked != 0, 0);
  EnableWindow(window, enabled != 0);
}

// WM_SETTEXT or WM_GETTEXT between the edit box and destinationText.
static void DestinationText(HWND dialog, UINT message) {
  SendMessageA(GetDlgItem(dialog, ID_DESTINATION), message, MAX_PATH, (LPARAM)destinationText);
}

static void OnInit(HWND dialog, SfxSession* session) {
  dialogSession = session;
  SetWindowTextA(dialog, session->title);
  lstrcpynA(destinationText, session->destination, MAX_PATH);
  DestinationText(dialog, WM_SETTEXT);
  int anyType = 0;
  for (int box = 0; box < BOX_COUNT; ++box) {
    int value = *SessionChoice(session, kBoxes[box][1]);
    switch (kBoxes[box][2]) {
      case SHORTCUT: SetBox(dialog, box, value & OPTION_CHOSEN, value & OPTION_OFFERED); break;
      case LOCKED: SetBox(dialog, box, value, !value); anyType |= value; break;
      case VIEW: SetBox(dialog, box, anyType, anyType); break;
    }
  }
}

// Writes every box back into the session; 1 when the destination folder
// cannot be made (the user has been told).
static int OnOk(HWND dialog, SfxSession* session) {
  DestinationText(dialog, WM_GETTEXT);
  if (!SetSessionString(&session->destination, destinationText, strlen(destinationText)) ||
      !EnsureDestinationFolder(session, session->destination))
    return 1;
  for (int box = 0; box < BOX_COUNT; ++box) {
    unsigned char* choice = SessionChoice(session, kBoxes[box][1]);
    int bit = kBoxes[box][2] == SHORTCUT ? OPTION_CHOSEN : 1;
    *choice = (unsigned char)((*choice & ~bit) | (IsChecked(dialog, box) ? bit : 0));
  }
  return 0;
}

static void OnBrowse(HWND dialog) {
  BROWSEINFOA browse;
  memset(&browse, 0, sizeof browse);
  browse.pszDisplayName = destinationText;
  browse.lpszTitle = kBrowseTitle;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST list = SHBrowseForFolderA(&browse);
  if (list && PathFromIdList(list, destinationText)) DestinationText(dialog, WM_SETTEXT);
}

// After a click on any box: when it was an association button, the view
// box is usable while at least one association is chosen, and cleared when
// none is.
static void OnBox(HWND dialog, WPARAM id) {
  bool isTypeBox = false, anyType = false;
  for (int box = FIRST_TYPE_BOX; box < VIEW_BOX; ++box) {
    isTypeBox |= id == 1000u + kBoxes[box][0];
    anyType |= IsChecked(dialog, box);
  }
  if (isTypeBox) SetBox(dialog, VIEW_BOX, anyType && IsChecked(dialog, VIEW_BOX), anyType);
}

INT_PTR ShowOptionsDialog(SfxSession* session) {
  return DialogBoxParamA(session->instance, MAKEINTRESOURCEA(OPTIONS_DIALOG), session->main_window,
                         OptionsDialogProc, (LPARAM)session);
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    OnInit(dialog, (SfxSession*)lParam);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  // Only clicks: their notification code (the high word) is 0.
  switch (wParam) {
    case IDOK:
      EndDialog(dialog, OnOk(dialog, dialogSession));
      break;
    case IDCANCEL:
      EndDialog(dialog, 1);
      break;
    case ID_BROWSE:
      OnBrowse(dialog);
      break;
    default:
      OnBox(dialog, wParam);
  }
  return TRUE;
}
