#include "afxreschain.h"

#include <cstring>

namespace {

CDynLinkLibrary* s_pFirstDLL = nullptr;

const CDlgTemplateqv* _dialogIn(HINSTANCE h, int nId) {
    const CResourceTableqv* p = AfxResourceTable(h);
    return p ? findDialogTemplate(*p, nId) : nullptr;
}
const CMenuTemplateqv* _menuIn(HINSTANCE h, int nId) {
    const CResourceTableqv* p = AfxResourceTable(h);
    return p ? findMenuTemplate(*p, nId) : nullptr;
}
const CCursorTemplateqv* _cursorIn(HINSTANCE h, int nId) {
    const CResourceTableqv* p = AfxResourceTable(h);
    return p ? findCursorTemplate(*p, nId) : nullptr;
}

bool _holds(HINSTANCE h, int nId, int nType) {
    switch (nType) {
    case RT_DIALOGqv:
        return _dialogIn(h, nId) != nullptr;
    case RT_MENUqv:
        return _menuIn(h, nId) != nullptr;
    case RT_CURSORqv:
    case RT_GROUP_CURSORqv:
        return _cursorIn(h, nId) != nullptr;
    default:
        return false;
    }
}

} // namespace

IMPLEMENT_DYNAMIC(CDynLinkLibrary, CCmdTarget)

HINSTANCE AfxResourceModule(const CResourceTableqv& table) {
    return reinterpret_cast<HINSTANCE>(const_cast<CResourceTableqv*>(&table));
}

const CResourceTableqv* AfxResourceTable(HINSTANCE hModule) {
    return reinterpret_cast<const CResourceTableqv*>(hModule);
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HINSTANCE hModule) {
    if (hModule == nullptr)
        return FALSE;
    if (state.bInitialized)
        return TRUE;
    state.hModule = hModule;
    state.hResource = hModule;
    state.pFirstSharedClass = afxqt::_afxTakePendingClasses();
    state.bInitialized = TRUE;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL /*bAll*/) {
    if (!state.bInitialized)
        return;
    CDynLinkLibrary* p = s_pFirstDLL;
    while (p != nullptr) {
        CDynLinkLibrary* pNext = p->m_pNextDLL;
        if (p->m_hModule == state.hModule)
            delete p;
        p = pNext;
    }
    state.bInitialized = FALSE;
    state.pFirstSharedClass = nullptr;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_pClassList(state.pFirstSharedClass),
      m_pNextDLL(nullptr) {
    // Appended, so lookups see modules in the order they registered.
    CDynLinkLibrary** pp = &s_pFirstDLL;
    while (*pp != nullptr)
        pp = &(*pp)->m_pNextDLL;
    *pp = this;
}

CDynLinkLibrary::~CDynLinkLibrary() {
    for (CDynLinkLibrary** pp = &s_pFirstDLL; *pp != nullptr; pp = &(*pp)->m_pNextDLL) {
        if (*pp == this) {
            *pp = m_pNextDLL;
            break;
        }
    }
}

CDynLinkLibrary* AfxGetFirstDynLinkLibrary() {
    return s_pFirstDLL;
}

HINSTANCE AfxFindResourceHandle(int nId, int nType) {
    for (CDynLinkLibrary* p = s_pFirstDLL; p != nullptr; p = p->m_pNextDLL) {
        if (_holds(p->m_hResource, nId, nType))
            return p->m_hResource;
    }
    return nullptr;
}

CRuntimeClass* AfxFindRuntimeClass(const char* lpszClassName) {
    if (lpszClassName == nullptr)
        return nullptr;
    for (CDynLinkLibrary* p = s_pFirstDLL; p != nullptr; p = p->m_pNextDLL) {
        for (CRuntimeClass* c = p->m_pClassList; c != nullptr; c = c->m_pNextClass) {
            if (std::strcmp(c->m_lpszClassName, lpszClassName) == 0)
                return c;
        }
    }
    return nullptr;
}

const CDlgTemplateqv* AfxFindDialogTemplate(HINSTANCE hModule, int nId) {
    if (hModule == nullptr)
        hModule = AfxFindResourceHandle(nId, RT_DIALOGqv);
    return _dialogIn(hModule, nId);
}

const CMenuTemplateqv* AfxFindMenuTemplate(HINSTANCE hModule, int nId) {
    if (hModule == nullptr)
        hModule = AfxFindResourceHandle(nId, RT_MENUqv);
    return _menuIn(hModule, nId);
}

const CCursorTemplateqv* AfxFindCursorTemplate(HINSTANCE hModule, int nId) {
    if (hModule == nullptr)
        hModule = AfxFindResourceHandle(nId, RT_GROUP_CURSORqv);
    return _cursorIn(hModule, nId);
}
