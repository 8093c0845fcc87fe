#pragma once

// Cursors: loaded by id from a module of the resource chain (32 x 32 monochrome images with a
// hot spot) or from the system set, and made current while the pointer is over a window.

#include "afxtypes.h"

enum : int { IDC_ARROW = 32512, IDC_IBEAM = 32513, IDC_WAIT = 32514, IDC_CROSS = 32515 };

// A cursor of hInstance's table (AfxFindResourceHandle(id, RT_GROUP_CURSORqv)), or with a null
// module one of the IDC_ system cursors; null when there is no such cursor. Handles stay valid.
CM3D_API HCURSOR LoadCursorW(HINSTANCE hInstance, int nId);
// Makes hCursor the pointer's shape over the window being handled; returns the previous one.
CM3D_API HCURSOR SetCursor(HCURSOR hCursor);
CM3D_API HCURSOR GetCursor();
// Id and hot spot of a cursor; FALSE for a null handle.
CM3D_API BOOL AfxGetCursorInfo(HCURSOR hCursor, int* pnId, POINT* pHotSpot);
