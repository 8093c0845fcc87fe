#include "dlgcontmap3dmodeling.h"

#include "resource.h"

BEGIN_MESSAGE_MAP(CDlgContmap3DModeling, CDialog)
END_MESSAGE_MAP()

CDlgContmap3DModeling::CDlgContmap3DModeling() : CDialog(IDD_CONTMAP3D_MODELING) {}

CDlgContmap3DModeling::~CDlgContmap3DModeling() = default;

// Nothing is bound: the placeholder holds no data.
void CDlgContmap3DModeling::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}
