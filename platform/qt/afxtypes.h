#pragma once

// Basic types, handles, message numbers and geometry classes of the window layer. Qt-free, so
// views and dialogs can include it.

#include "afxmsgbox.h"
#include "cm3d_export.h"
#include "resourcetypes.h"

#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef unsigned long DWORD;
typedef short SHORT;
typedef std::uintptr_t WPARAM;
typedef std::intptr_t LPARAM;
typedef std::intptr_t LRESULT;
typedef DWORD COLORREF;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Opaque handles: a window, a module of the resource chain, a cursor, a GL context.
struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
struct HCURSOR__;
typedef HCURSOR__* HCURSOR;
struct HGLRC__;
typedef HGLRC__* HGLRC;

constexpr COLORREF RGB(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned GetRValue(COLORREF c) {
    return c & 0xFFu;
}
constexpr unsigned GetGValue(COLORREF c) {
    return (c >> 8) & 0xFFu;
}
constexpr unsigned GetBValue(COLORREF c) {
    return (c >> 16) & 0xFFu;
}

constexpr unsigned LOWORD(std::uintptr_t v) {
    return static_cast<unsigned>(v & 0xFFFFu);
}
constexpr unsigned HIWORD(std::uintptr_t v) {
    return static_cast<unsigned>((v >> 16) & 0xFFFFu);
}
// Two signed 16-bit words in one 32-bit value, low word first (point coordinates of a message).
constexpr std::int32_t AfxMakeLong(int lo, int hi) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(lo) & 0xFFFFu) |
                                     ((static_cast<std::uint32_t>(hi) & 0xFFFFu) << 16));
}
constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>(AfxMakeLong(lo, hi));
}
constexpr WPARAM MAKEWPARAM(unsigned lo, unsigned hi) {
    return static_cast<WPARAM>((lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16));
}
// Resource ids are plain integers here.
#define MAKEINTRESOURCE(i) (static_cast<int>(i))
#define MAKEINTRESOURCEW(i) (static_cast<int>(i))

// a * b / c rounded to the nearest integer, halves away from zero; -1 when c is 0.
CM3D_API int MulDiv(int a, int b, int c);

// Messages.
enum : UINT {
    WM_DESTROY = 0x0002,
    WM_SIZE = 0x0005,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_ERASEBKGND = 0x0014,
    WM_SETCURSOR = 0x0020,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_COMMAND = 0x0111,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_KEYFIRST = WM_KEYDOWN,
    WM_KEYLAST = 0x0109,
    WM_MOUSEFIRST = WM_MOUSEMOVE,
    WM_MOUSELAST = 0x020E,
};

// Notification codes: a menu command and a button click both carry 0.
enum : UINT { CN_COMMAND = 0, BN_CLICKED = 0, EN_CHANGE = 0x0300 };
enum : int { IDCANCEL = 2 };

// Show commands.
enum : int { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOW = 5 };
// Size types of OnSize.
enum : UINT { SIZE_RESTORED = 0 };
// Hit-test code passed to OnSetCursor.
enum : UINT { HTCLIENT = 1 };
// Mouse key flags.
enum : UINT {
    MK_LBUTTON = 0x1,
    MK_RBUTTON = 0x2,
    MK_SHIFT = 0x4,
    MK_CONTROL = 0x8,
    MK_MBUTTON = 0x10
};
// Virtual keys handled by the dialog navigation.
enum : int {
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
};
// Check states.
enum : int { BST_UNCHECKED = 0, BST_CHECKED = 1 };
// Background modes of a device context.
enum : int { TRANSPARENT = 1, OPAQUE = 2 };

struct POINT {
    int x;
    int y;
};
struct SIZE {
    int cx;
    int cy;
};
struct RECT {
    int left;
    int top;
    int right;
    int bottom;
};
typedef POINT* LPPOINT;
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int nX, int nY) : POINT{nX, nY} {}
    CPoint(const POINT& pt) : POINT(pt) {}
    bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
    bool operator!=(const POINT& o) const { return !(*this == o); }
    void Offset(int dx, int dy) {
        x += dx;
        y += dy;
    }
};

class CSize : public SIZE {
public:
    CSize() : SIZE{0, 0} {}
    CSize(int nCx, int nCy) : SIZE{nCx, nCy} {}
    CSize(const SIZE& s) : SIZE(s) {}
    bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
    bool operator!=(const SIZE& o) const { return !(*this == o); }
};

// Right and bottom are exclusive, as on the original platform.
class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    CRect(const RECT& r) : RECT(r) {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    BOOL IsRectEmpty() const { return Width() <= 0 || Height() <= 0; }
    BOOL PtInRect(POINT pt) const {
        return pt.x >= left && pt.x < right && pt.y >= top && pt.y < bottom;
    }
    void OffsetRect(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    bool operator==(const RECT& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const RECT& o) const { return !(*this == o); }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
};

struct WINDOWPLACEMENT {
    UINT length;
    UINT flags;
    UINT showCmd;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition; // child: parent client coordinates; top-level: screen
};

// One input message as PreTranslateMessage sees it.
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt; // screen coordinates
};
typedef MSG* LPMSG;
