#include "options_dialog.h"
#include "destination_folder.h"
#include "options_layout.h"
#include "../install/install_values.h"

enum { ID_DESTINATION = 1000, ID_BROWSE = 1001, FIRST_BOX = 1002, BOX_COUNT = 15 };

// The boxes 1002 to 1016 by the offset of the choice each shows and sets
// (SessionChoice): a shortcut's option byte (bit 1 checks the box, bit 0
// enables it), an association or the compress flag (a set flag shows
// checked and cannot be taken back), or the view flag (usable, and checked,
// while an association is chosen).
#define TYPE(index) CHOICE_OFFSET(associate[index])
static constexpr unsigned char kBoxChoices[BOX_COUNT] = {
    CHOICE_OFFSET(start_menu_option), CHOICE_OFFSET(desktop_option), CHOICE_OFFSET(send_to_option),
    TYPE(0), TYPE(1), CHOICE_OFFSET(view_menu), TYPE(2), TYPE(3), TYPE(4), TYPE(5), TYPE(6), TYPE(7), TYPE(8),
    CHOICE_OFFSET(compress_menu), TYPE(9)};
enum { SHORTCUT_BOXES = 3, VIEW_BOX = 5 };
// The association buttons among them, one bit each.
enum { TYPE_BOXES = 0x5FD8 };
static constexpr int TypeBoxes(int box = 0) {
  return box == BOX_COUNT ? 0
                          : (kBoxChoices[box] - TYPE(0) < ARCHIVE_TYPE_COUNT) << box | TypeBoxes(box + 1);
}
static_assert(TypeBoxes() == TYPE_BOXES && CHOICE_OFFSET(send_to_option) == SHORTCUT_BOXES - 1, "box table");

// "解凍先フォルダの指定" (choose the destination folder)
static const char kBrowseTitle[] = "\x89\xF0\x93\x80\x90\xE6\x83t\x83H\x83\x8B\x83_\x82\xCC\x8Ew\x92\xE8";

static SfxSession* dialogSession;
// One byte more than a path takes: a typed folder too long for a path
// reaches EnsureDestinationFolder long enough to be refused there, rather
// than cut short to fit.
static char destinationText[MAX_PATH + 1];

// Whether the box is checked; with a state (bit 1 checks the box, bit 0
// enables it) the box gets that state first.
static int Box(HWND dialog, int box, int state = -1) {
  HWND window = GetDlgItem(dialog, FIRST_BOX + box);
  if (state >= 0) {
    SendMessageA(window, BM_SETCHECK, state >> 1 & 1, 0);
    EnableWindow(window, state & 1);
  }
  return SendMessageA(window, BM_GETCHECK, 0, 0) & BST_CHECKED;
}

// WM_SETTEXT or WM_GETTEXT between the edit box and destinationText; the
// latter returns the length of the text.
static LRESULT DestinationText(HWND dialog, UINT message) {
  return SendMessageA(GetDlgItem(dialog, ID_DESTINATION), message, sizeof destinationText, (LPARAM)destinationText);
}

// After a click on a box: the view box is usable while at least one
// association button is pressed, and cleared when none is (so it only
// changes after a click on an association button).
static void UpdateViewBox(HWND dialog) {
  int anyType = 0;
  for (int box = 0; box < BOX_COUNT; ++box)
    if (TYPE_BOXES >> box & 1) anyType |= Box(dialog, box);
  Box(dialog, VIEW_BOX, anyType ? 1 | Box(dialog, VIEW_BOX) << 1 : 0);
}

// False when the dialog cannot be shown whole.
static bool OnInit(HWND dialog, SfxSession* session) {
  if (!CreateOptionsControls(dialog)) return false;
  dialogSession = session;
  SetWindowTextA(dialog, session->title);
  lstrcpynA(destinationText, session->destination, sizeof destinationText);
  DestinationText(dialog, WM_SETTEXT);
  // A set flag (value + 1 = 2) shows checked and greyed, a clear one (1)
  // unchecked and usable; the view box gets its state below.
  int anyType = 0;
  for (int box = 0; box < BOX_COUNT; ++box) {
    int value = *SessionChoice(session, kBoxChoices[box]);
    if (TYPE_BOXES >> box & 1) anyType |= value;
    Box(dialog, box, value + (box >= SHORTCUT_BOXES));
  }
  Box(dialog, VIEW_BOX, anyType * 3);
  return true;
}

// Writes every box back into the session; 1 when the destination folder
// cannot be made (the user has been told).
static int OnOk(HWND dialog, SfxSession* session) {
  if (!SetSessionString(&session->destination, destinationText, (size_t)DestinationText(dialog, WM_GETTEXT)) ||
      !EnsureDestinationFolder(session, session->destination))
    return 1;
  // A flag becomes the box's check state; an option byte keeps its other bits.
  for (int box = 0; box < BOX_COUNT; ++box) {
    unsigned char* choice = SessionChoice(session, kBoxChoices[box]);
    int checked = Box(dialog, box);
    if (box < SHORTCUT_BOXES) checked = (*choice & ~OPTION_CHOSEN) | checked << 1;
    *choice = (unsigned char)checked;
  }
  return 0;
}

static void OnBrowse(HWND dialog) {
  BROWSEINFOA browse = {};
  browse.pszDisplayName = destinationText;
  browse.lpszTitle = kBrowseTitle;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST list = SHBrowseForFolderA(&browse);
  if (!list) return;
  if (SHGetPathFromIDListA(list, destinationText)) DestinationText(dialog, WM_SETTEXT);
  CoTaskMemFree(list);
}

// The dialog's frame: size in dialog units, font, no caption (OnInit sets
// the title) and no controls (CreateOptionsControls makes them). A template
// in memory rather than a resource spares the resource tree a branch.
struct OptionsTemplate {
  DLGTEMPLATE frame;
  WORD menu, windowClass, caption, pointSize;
  WCHAR font[13];
};
static const OptionsTemplate kOptionsTemplate __attribute__((aligned(4))) = {
    {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 0, 187, 139}, 0, 0, 0, 9, L"MS UI Gothic"};

INT_PTR ShowOptionsDialog(SfxSession* session) {
  INT_PTR result = DialogBoxIndirectParamA(session->instance, &kOptionsTemplate.frame, session->main_window,
                                           OptionsDialogProc, (LPARAM)session);
  if (result < 0) session->failed = true;
  return result;
}

PROCEDURE_WITH_IMPORT_BASE(INT_PTR, OptionsDialogProc, HandleDialogMessage)

static INT_PTR CALLBACK HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    if (!OnInit(dialog, (SfxSession*)lParam)) EndDialog(dialog, -1);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  // Only clicks: their notification code (the high word) is 0.
  if (wParam == IDOK || wParam == IDCANCEL)
    EndDialog(dialog, wParam == IDCANCEL || OnOk(dialog, dialogSession));
  else if (wParam == ID_BROWSE)
    OnBrowse(dialog);
  else if (wParam - FIRST_BOX < BOX_COUNT)
    UpdateViewBox(dialog);
  return TRUE;
}
