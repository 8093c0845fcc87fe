#pragma once

// Run-time class information: every class that declares it can be asked for its name and base,
// and the classes of a module are linked into the resource chain when the module registers.

#include "afxtypes.h"

class CObject;

struct CM3D_API CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    CRuntimeClass* (*m_pfnGetBaseClass)(); // null for the root
    CObject* (*m_pfnCreateObject)();       // null: no dynamic creation
    CRuntimeClass* m_pNextClass;           // next class of the same module

    CRuntimeClass* GetBaseClass() const {
        return m_pfnGetBaseClass ? m_pfnGetBaseClass() : nullptr;
    }
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    // The class of that name among the registered modules; null when none.
    static CRuntimeClass* FromName(const char* lpszClassName);
};

// Collects the run-time classes defined in the module being loaded, before its start-up hook
// hands them to the resource chain (static objects of higher priority run first).
struct CM3D_API AFX_CLASSINIT {
    explicit AFX_CLASSINIT(CRuntimeClass* pNewClass);
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)                                                                \
public:                                                                                            \
    static CRuntimeClass class##class_name;                                                        \
    static CRuntimeClass* GetThisClass();                                                          \
    CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_RUNTIMECLASS_(class_name, base_name, pfnNew)                                     \
    CRuntimeClass class_name::class##class_name = {#class_name,                                    \
                                                   static_cast<int>(sizeof(class_name)),           \
                                                   &base_name::GetThisClass, pfnNew, nullptr};     \
    CRuntimeClass* class_name::GetThisClass() {                                                    \
        return &class_name::class##class_name;                                                     \
    }                                                                                              \
    CRuntimeClass* class_name::GetRuntimeClass() const {                                           \
        return &class_name::class##class_name;                                                     \
    }                                                                                              \
    __attribute__((init_priority(1000))) static AFX_CLASSINIT s_classInit##class_name(             \
        &class_name::class##class_name);

#define IMPLEMENT_DYNAMIC(class_name, base_name)                                                   \
    IMPLEMENT_RUNTIMECLASS_(class_name, base_name, nullptr)

#define DECLARE_DYNCREATE(class_name)                                                              \
    DECLARE_DYNAMIC(class_name)                                                                    \
    static CObject* CreateObject();

#define IMPLEMENT_DYNCREATE(class_name, base_name)                                                 \
    CObject* class_name::CreateObject() {                                                          \
        return new class_name;                                                                     \
    }                                                                                              \
    IMPLEMENT_RUNTIMECLASS_(class_name, base_name, &class_name::CreateObject)

class CM3D_API CObject {
public:
    virtual ~CObject();
    virtual CRuntimeClass* GetRuntimeClass() const;
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

    static CRuntimeClass classCObject;
    static CRuntimeClass* GetThisClass();

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

namespace afxqt {
// Takes the classes collected since the last call (the module being registered).
CRuntimeClass* _afxTakePendingClasses();
} // namespace afxqt
