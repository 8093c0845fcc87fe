#include "afxmsgbox.h"
#include "resource.h"
#include "resourcetemplates.h"

namespace {

constexpr unsigned long kChild = WS_CHILD | WS_VISIBLE;
constexpr unsigned long kDefButton = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr unsigned long kButton = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr unsigned long kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr unsigned long kEdit = kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr unsigned long kLabel = kChild | SS_LEFT;
// No SS_NOTIFY: the map area must stay transparent to hit-testing so the dialog gets the mouse.
constexpr unsigned long kMap = kChild | SS_LEFT | SS_SUNKEN;

constexpr unsigned long kDialogStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT;

constexpr const char* kFont = "MS Sans Serif";
constexpr int kFontSize = 8;
constexpr short kWidth = 367;
constexpr short kHeight = 308;
constexpr int kViewModeMenu = IDR_VIEWMODE;

// The time-domain layout; the modeling dialog shares it unchanged.
constexpr CDlgItemTemplateqv kTimeDomainItems[] = {
    {IDOK, "BUTTON", kDefButton, 0, "OK", 7, 179, 50, 14},
    {IDC_MAP_TIMEDOMAIN, "STATIC", kMap, WS_EX_CLIENTEDGE, "", 70, 7, 290, 294},
    {IDC_AUTOFIT_COLOR, "BUTTON", kCheck, 0, "Autofit Color", 7, 45, 59, 10},
    {IDC_EDIT_MIN, "EDIT", kEdit, 0, "", 7, 7, 31, 14},
    {IDC_EDIT_MAX, "EDIT", kEdit, 0, "", 7, 26, 31, 14},
    {IDC_STATIC, "STATIC", kLabel, 0, "Min", 42, 11, 20, 8},
    {IDC_STATIC, "STATIC", kLabel, 0, "Max", 42, 28, 19, 8},
    {IDC_UPDATE, "BUTTON", kButton, 0, "Update", 7, 163, 50, 14},
    {IDC_AUTOFIT_PLACE, "BUTTON", kCheck, 0, "Autofit  Place", 7, 60, 55, 10},
    {IDC_SENSORS, "BUTTON", kCheck, 0, "Sensors", 7, 75, 53, 10},
    {IDC_SENSOR_ACT, "BUTTON", kCheck, 0, "Sensor Act", 7, 90, 55, 10},
    {IDC_CONTOURMAP, "BUTTON", kCheck, 0, "Contourmap", 7, 105, 53, 10},
    {IDC_CONTOUR_ACT, "BUTTON", kCheck, 0, "Contour Act", 7, 120, 53, 10},
    {IDC_MARK_SELECTION, "BUTTON", kCheck, 0, "Mark Selection", 7, 137, 61, 10},
};

// Frequency and spectral dialogs have no selection mark, so Update and OK move up.
constexpr CDlgItemTemplateqv kFrequencyItems[] = {
    {IDOK, "BUTTON", kDefButton, 0, "OK", 7, 153, 50, 14},
    {IDC_MAP_SPECTRUM, "STATIC", kMap, WS_EX_CLIENTEDGE, "", 70, 7, 290, 294},
    {IDC_AUTOFIT_COLOR, "BUTTON", kCheck, 0, "Autofit Color", 7, 45, 59, 10},
    {IDC_EDIT_MIN, "EDIT", kEdit, 0, "", 7, 7, 31, 14},
    {IDC_EDIT_MAX, "EDIT", kEdit, 0, "", 7, 26, 31, 14},
    {IDC_STATIC, "STATIC", kLabel, 0, "Min", 42, 11, 20, 8},
    {IDC_STATIC, "STATIC", kLabel, 0, "Max", 42, 28, 19, 8},
    {IDC_UPDATE, "BUTTON", kButton, 0, "Update", 7, 137, 50, 14},
    {IDC_AUTOFIT_PLACE, "BUTTON", kCheck, 0, "Autofit  Place", 7, 60, 55, 10},
    {IDC_SENSORS, "BUTTON", kCheck, 0, "Sensors", 7, 75, 53, 10},
    {IDC_SENSOR_ACT, "BUTTON", kCheck, 0, "Sensor Act", 7, 90, 55, 10},
    {IDC_CONTOURMAP, "BUTTON", kCheck, 0, "Contourmap", 7, 105, 53, 10},
    {IDC_CONTOUR_ACT, "BUTTON", kCheck, 0, "Contour Act", 7, 120, 53, 10},
};

constexpr CDlgItemTemplateqv kSpectralItems[] = {
    {IDOK, "BUTTON", kDefButton, 0, "OK", 7, 153, 50, 14},
    {IDC_MAP_SPECTRUM, "STATIC", kMap, WS_EX_CLIENTEDGE, "", 70, 7, 290, 294},
    {IDC_AUTOFIT_COLOR, "BUTTON", kCheck, 0, "Autofit Color", 7, 45, 59, 10},
    {IDC_EDIT_MIN, "EDIT", kEdit, 0, "", 7, 7, 31, 14},
    {IDC_EDIT_MAX, "EDIT", kEdit, 0, "", 7, 26, 31, 14},
    {IDC_STATIC, "STATIC", kLabel, 0, "Min", 42, 11, 20, 8},
    {IDC_STATIC, "STATIC", kLabel, 0, "Max", 42, 28, 19, 8},
    {IDC_UPDATE, "BUTTON", kButton, 0, "Update", 7, 137, 50, 14},
    {IDC_AUTOFIT_PLACE, "BUTTON", kCheck, 0, "Autofit  Place", 7, 60, 55, 10},
    {IDC_SENSORS, "BUTTON", kCheck, 0, "Sensors", 7, 75, 53, 10},
    {IDC_SENSOR_ACT, "BUTTON", kCheck, 0, "Sensor Act", 7, 90, 58, 10},
    {IDC_CONTOURMAP, "BUTTON", kCheck, 0, "Contourmap", 7, 105, 53, 10},
    {IDC_CONTOUR_ACT, "BUTTON", kCheck, 0, "Contour Act", 7, 120, 53, 10},
};

template <int N>
constexpr CDlgTemplateqv makeDialog(int nId, const char* pszTitle,
                                    const CDlgItemTemplateqv (&items)[N]) {
    return {nId,    pszTitle, kDialogStyle,  kFont, kFontSize,
            kWidth, kHeight,  kViewModeMenu, items, N};
}

} // namespace

const CDlgTemplateqv g_dlgTimeDomain =
    makeDialog(IDD_CONTMAP3D_TIMEDOMAIN, "Time-domain 3D Contour Map", kTimeDomainItems);
const CDlgTemplateqv g_dlgFrequency =
    makeDialog(IDD_CONTMAP3D_FREQUENCY, "Frequency 3D Contourmap", kFrequencyItems);
const CDlgTemplateqv g_dlgModeling =
    makeDialog(IDD_CONTMAP3D_MODELING, "Modeling 3D Contour Map", kTimeDomainItems);
const CDlgTemplateqv g_dlgSpectral =
    makeDialog(IDD_CONTMAP3D_SPECTRAL, "Spectral 3D Contourmap", kSpectralItems);
