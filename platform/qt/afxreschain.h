#pragma once

// The resource chain: every registered module contributes its dialog templates, menus, cursors
// and run-time classes, and lookups walk the chain in registration order.

#include "afxcmdtarget.h"
#include "afxruntime.h"

// The state a module keeps about its own registration.
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HINSTANCE hModule;
    HINSTANCE hResource;
    CRuntimeClass* pFirstSharedClass;
};

// The module handle of a resource table (a module is known by its table).
CM3D_API HINSTANCE AfxResourceModule(const CResourceTableqv& table);
// The table behind a module handle; null for a null handle.
CM3D_API const CResourceTableqv* AfxResourceTable(HINSTANCE hModule);

// Records the module and takes the run-time classes it defined; FALSE for a null module.
CM3D_API BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HINSTANCE hModule);
// Removes every chain entry of the module (the chain owns them) and forgets its classes.
CM3D_API void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll = FALSE);

// One entry of the chain; it links itself in on construction and out on destruction.
class CM3D_API CDynLinkLibrary : public CCmdTarget {
    DECLARE_DYNAMIC(CDynLinkLibrary)
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state);
    ~CDynLinkLibrary() override;
    CDynLinkLibrary(const CDynLinkLibrary&) = delete;
    CDynLinkLibrary& operator=(const CDynLinkLibrary&) = delete;

    HINSTANCE m_hModule;
    HINSTANCE m_hResource;
    CRuntimeClass* m_pClassList;
    CDynLinkLibrary* m_pNextDLL;
};

// First entry of the chain; null when nothing is registered.
CM3D_API CDynLinkLibrary* AfxGetFirstDynLinkLibrary();

// The module in the chain that holds resource nId of type nType (RT_DIALOGqv, RT_MENUqv,
// RT_GROUP_CURSORqv or RT_CURSORqv); null when none does.
CM3D_API HINSTANCE AfxFindResourceHandle(int nId, int nType);
// Run-time class by name among the registered modules.
CM3D_API CRuntimeClass* AfxFindRuntimeClass(const char* lpszClassName);

// Resources of one module (null module: search the whole chain); null when absent.
CM3D_API const CDlgTemplateqv* AfxFindDialogTemplate(HINSTANCE hModule, int nId);
CM3D_API const CMenuTemplateqv* AfxFindMenuTemplate(HINSTANCE hModule, int nId);
CM3D_API const CCursorTemplateqv* AfxFindCursorTemplate(HINSTANCE hModule, int nId);
