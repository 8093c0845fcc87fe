#include "dlgcontmap3dmodeling.h"

BEGIN_MESSAGE_MAP(CDlgContmap3DModeling, CDialog)
END_MESSAGE_MAP()

CDlgContmap3DModeling::CDlgContmap3DModeling() : CDialog(2020) {}

CDlgContmap3DModeling::~CDlgContmap3DModeling() = default;

// Nothing is bound: the placeholder holds no data.
void CDlgContmap3DModeling::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}
