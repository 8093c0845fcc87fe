#pragma once

#include "afxwin.h"

// The modeling dialog (template IDD_CONTMAP3D_MODELING): the time-domain layout with no map and no
// behaviour of its own, a placeholder the host can open. Its controls do only what the platform
// makes them do; their commands go on to the owner and the application.
class CM3D_API CDlgContmap3DModeling : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    CDlgContmap3DModeling();
    ~CDlgContmap3DModeling() override;

    void DoDataExchange(CDataExchange* pDX) override;
};
