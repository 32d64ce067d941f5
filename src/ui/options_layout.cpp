#include "options_layout.h"

// The dialog template holds only the frame (caption, font, size); its
// controls are laid out here, where a row takes six bytes and a text its
// Shift-JIS bytes, rather than the template's 18 bytes, class and UTF-16
// text per control. They are made exactly as the system makes a template's
// controls: in this order (which is the tab order), placed by MapDialogRect,
// the border of the edit box drawn as a sunken edge, and each given the
// dialog's font.
enum ControlKind : unsigned char { LABEL, EDIT_BOX, PUSH_BUTTON, CHECK_BOX, TOGGLE_BUTTON, DEFAULT_BUTTON };

static const DWORD kKindStyles[] = {
    WS_GROUP | SS_LEFT,
    WS_TABSTOP | ES_AUTOHSCROLL,
    WS_TABSTOP | BS_PUSHBUTTON,
    WS_TABSTOP | BS_AUTOCHECKBOX,
    WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE,
    WS_TABSTOP | BS_DEFPUSHBUTTON,
};

// Ids 1 and 2 (OK, Cancel) are kept as they are, 1000 and above as 3 and
// above; a label's id is 0.
static constexpr unsigned char Id(int id) { return (unsigned char)(id < 1000 ? id : id - 997); }

struct ControlRow {
  ControlKind kind;
  unsigned char x, y, width, height, id;
};

// The destination's label is as wide as the edit box below it, and every
// check box as wide as the widest: narrower, some of their texts were cut
// off in a Japanese UI font a little wider than MS UI Gothic.
static const ControlRow kControls[] = {
    {LABEL, 7, 6, 142, 8, 0},
    {EDIT_BOX, 7, 15, 142, 14, Id(1000)},
    {PUSH_BUTTON, 153, 15, 28, 14, Id(1001)},
    {CHECK_BOX, 7, 34, 136, 10, Id(1002)},
    {CHECK_BOX, 7, 46, 136, 10, Id(1003)},
    {CHECK_BOX, 7, 58, 136, 10, Id(1004)},
    {CHECK_BOX, 7, 70, 136, 10, Id(1007)},
    {CHECK_BOX, 7, 82, 136, 10, Id(1015)},
    {LABEL, 7, 96, 29, 8, 0},
    {TOGGLE_BUTTON, 7, 106, 22, 13, Id(1005)},
    {TOGGLE_BUTTON, 31, 106, 22, 13, Id(1006)},
    {TOGGLE_BUTTON, 55, 106, 22, 13, Id(1008)},
    {TOGGLE_BUTTON, 79, 106, 22, 13, Id(1009)},
    {TOGGLE_BUTTON, 103, 106, 22, 13, Id(1010)},
    {TOGGLE_BUTTON, 7, 121, 22, 13, Id(1011)},
    {TOGGLE_BUTTON, 31, 121, 22, 13, Id(1012)},
    {TOGGLE_BUTTON, 55, 121, 22, 13, Id(1013)},
    {TOGGLE_BUTTON, 79, 121, 22, 13, Id(1014)},
    {TOGGLE_BUTTON, 103, 121, 22, 13, Id(1016)},
    {DEFAULT_BUTTON, 132, 106, 49, 13, IDOK},
    {PUSH_BUTTON, 132, 122, 49, 13, IDCANCEL},
};

// The rows' texts, one after the other (the edit box's is empty).
static const char kControlTexts[] =
    "\x89\xF0\x93\x80\x90\xE6\x83t\x83H\x83\x8B\x83_(&F):\0"  // 解凍先フォルダ(&F):
    "\0"
    "\x8EQ\x8F\xC6(&R)\0"  // 参照(&R)
    // スタートメニューに登録する(&M)
    "\x83X\x83^\x81[\x83g\x83\x81\x83j\x83\x85\x81[\x82\xC9\x93o\x98^\x82\xB7\x82\xE9(&M)\0"
    // デスクトップにショートカットを作成する(&D)
    "\x83" "f\x83X\x83N\x83g\x83" "b\x83v\x82\xC9\x83V\x83\x87\x81[\x83g\x83J\x83" "b\x83g\x82\xF0\x8D\xEC\x90\xAC\x82\xB7\x82\xE9(&D)\0"
    // 「送る」に登録する(&T)
    "\x81u\x91\x97\x82\xE9\x81v\x82\xC9\x93o\x98^\x82\xB7\x82\xE9(&T)\0"
    // ｺﾝﾃｷｽﾄﾒﾆｭｰに「Vornで閲覧」を入れる(&C)
    "\xBA\xDD\xC3\xB7\xBD\xC4\xD2\xC6\xAD\xB0\x82\xC9\x81uVorn\x82\xC5\x89{\x97\x97\x81v\x82\xF0\x93\xFC\x82\xEA\x82\xE9(&C)\0"
    // ｺﾝﾃｷｽﾄﾒﾆｭｰに「Vornで圧縮」を入れる(&A)
    "\xBA\xDD\xC3\xB7\xBD\xC4\xD2\xC6\xAD\xB0\x82\xC9\x81uVorn\x82\xC5\x88\xB3\x8Fk\x81v\x82\xF0\x93\xFC\x82\xEA\x82\xE9(&A)\0"
    "\x8A\xD6\x98" "A\x95t\x82\xAF:\0"  // 関連付け:
    ".lzh\0.zip\0.cab\0.tgz\0.tar\0.gz\0.tbz\0.bz2\0.rar\0.7z\0"
    "OK\0"
    "\xB7\xAC\xDD\xBE\xD9";  // ｷｬﾝｾﾙ

const char kStaticClass[] = "STATIC";
const char kButtonClass[] = "BUTTON";

bool CreateOptionsControls(HWND dialog) {
  WPARAM font = (WPARAM)SendMessageA(dialog, WM_GETFONT, 0, 0);
  const char* text = kControlTexts;
  const ControlRow* rows = kControls;
  asm("" : "+r"(rows));  // short offsets from a register, not full addresses
  for (const ControlRow* next = rows; next != rows + sizeof kControls / sizeof *kControls; ++next) {
    const ControlRow& row = *next;
    // Place and size each in pixels, rounded as the system rounds them.
    RECT place = {row.x, row.y, row.width, row.height};
    MapDialogRect(dialog, &place);
    const char* windowClass = row.kind == LABEL ? kStaticClass : row.kind == EDIT_BOX ? "EDIT" : kButtonClass;
    HWND control = CreateWindowExA(WS_EX_NOPARENTNOTIFY | (row.kind == EDIT_BOX ? WS_EX_CLIENTEDGE : 0),
                                   windowClass, text, WS_CHILD | WS_VISIBLE | kKindStyles[row.kind],
                                   place.left, place.top, place.right, place.bottom,
                                   dialog, (HMENU)(INT_PTR)(row.id < 3 ? row.id : row.id + 997), 0, 0);
    if (!control) return false;
    SendMessageA(control, WM_SETFONT, font, 0);
    text += strlen(text) + 1;
  }
  return true;
}
