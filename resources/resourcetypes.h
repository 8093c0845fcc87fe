#pragma once

// Resources as plain data: dialog templates, menus and cursors, found by id through the
// window layer's resource chain. Styles use the classic window-style bit values.

// Window styles
enum : unsigned long {
    WS_POPUP = 0x80000000UL,
    WS_CHILD = 0x40000000UL,
    WS_VISIBLE = 0x10000000UL,
    WS_CAPTION = 0x00C00000UL,
    WS_BORDER = 0x00800000UL,
    WS_SYSMENU = 0x00080000UL,
    WS_THICKFRAME = 0x00040000UL,
    WS_TABSTOP = 0x00010000UL,
    WS_MINIMIZEBOX = 0x00020000UL,
    WS_MAXIMIZEBOX = 0x00010000UL,
    DS_MODALFRAME = 0x00000080UL,
    DS_SETFONT = 0x00000040UL,
};
// Button styles
enum : unsigned long {
    BS_PUSHBUTTON = 0x0UL,
    BS_DEFPUSHBUTTON = 0x1UL,
    BS_AUTOCHECKBOX = 0x3UL,
};
// Edit styles
enum : unsigned long { ES_LEFT = 0x0UL, ES_AUTOHSCROLL = 0x80UL };
// Static styles
enum : unsigned long { SS_LEFT = 0x0UL, SS_NOTIFY = 0x100UL, SS_SUNKEN = 0x1000UL };
// Extended styles
enum : unsigned long { WS_EX_CLIENTEDGE = 0x200UL };

// Resource types, as the resource chain is searched by them.
enum : int { RT_CURSORqv = 1, RT_MENUqv = 4, RT_DIALOGqv = 5, RT_GROUP_CURSORqv = 12 };

// One control of a dialog template; x, y, cx, cy in dialog units.
struct CDlgItemTemplateqv {
    int nId;              // -1 for labels that need no id
    const char* pszClass; // "BUTTON", "EDIT", "STATIC"
    unsigned long dwStyle;
    unsigned long dwExStyle;
    const char* pszText;
    short x, y, cx, cy;
};

// A dialog template; its controls in template order, which is also the tab order.
struct CDlgTemplateqv {
    int nId;
    const char* pszTitle;
    unsigned long dwStyle;
    const char* pszFontName;
    int nPointSize;
    short cx, cy; // dialog units
    int nMenuId;  // 0: no menu bar
    const CDlgItemTemplateqv* pItems;
    int nItems;
};

struct CMenuItemqv {
    int nId;
    const char* pszText;
};

// A menu bar with one pop-up.
struct CMenuTemplateqv {
    int nId;
    const char* pszPopupText;
    const CMenuItemqv* pItems;
    int nItems;
};

// A 32 x 32 monochrome cursor; each row is 32 characters: '.' transparent, 'W' white,
// 'B' black. The hot spot is the pixel the pointer position refers to.
struct CCursorTemplateqv {
    int nId;
    int nHotSpotX;
    int nHotSpotY;
    const char* apszRows[32];
};

// The library's resource tables, registered with the resource chain at load.
struct CResourceTableqv {
    const CDlgTemplateqv* const* ppDialogs;
    int nDialogs;
    const CMenuTemplateqv* const* ppMenus;
    int nMenus;
    const CCursorTemplateqv* const* ppCursors;
    int nCursors;
};

// The tables of this library (defined in resources/).
const CResourceTableqv& cm3dResourceTable();

// Lookups in a resource table by id; null when the table holds no resource with that id.
const CDlgTemplateqv* findDialogTemplate(const CResourceTableqv& table, int nId);
const CMenuTemplateqv* findMenuTemplate(const CResourceTableqv& table, int nId);
const CCursorTemplateqv* findCursorTemplate(const CResourceTableqv& table, int nId);
