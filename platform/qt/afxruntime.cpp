#include "afxruntime.h"

#include "afxreschain.h"

#include <cstring>

namespace {
// Constant-initialised, so classes of any translation unit can link in before any constructor.
CRuntimeClass* s_pPendingClasses = nullptr;
} // namespace

CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), nullptr,
                                       nullptr, nullptr};
__attribute__((init_priority(1000))) static AFX_CLASSINIT
    s_classInitCObject(&CObject::classCObject);

CRuntimeClass* CObject::GetThisClass() {
    return &classCObject;
}

CObject::~CObject() = default;

CRuntimeClass* CObject::GetRuntimeClass() const {
    return &classCObject;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
    if (pBaseClass == nullptr)
        return FALSE;
    for (const CRuntimeClass* p = this; p != nullptr; p = p->GetBaseClass()) {
        if (p == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(const char* lpszClassName) {
    return AfxFindRuntimeClass(lpszClassName);
}

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass) {
    if (pNewClass == nullptr)
        return;
    pNewClass->m_pNextClass = s_pPendingClasses;
    s_pPendingClasses = pNewClass;
}

CRuntimeClass* afxqt::_afxTakePendingClasses() {
    CRuntimeClass* p = s_pPendingClasses;
    s_pPendingClasses = nullptr;
    return p;
}
