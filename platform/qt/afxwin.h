#pragma once

// The window layer as views and dialogs see it: one include for all of it.

#include "afxapp.h"
#include "afxcmdtarget.h"
#include "afxcursor.h"
#include "afxdc.h"
#include "afxdde.h"
#include "afxdialog.h"
#include "afxfont.h"
#include "afxreschain.h"
#include "afxruntime.h"
#include "afxstatic.h"
#include "afxtypes.h"
#include "afxwgl.h"
#include "afxwnd.h"
