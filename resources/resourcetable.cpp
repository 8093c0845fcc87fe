#include "resourcetemplates.h"

namespace {

const CDlgTemplateqv* const kDialogs[] = {&g_dlgTimeDomain, &g_dlgFrequency, &g_dlgModeling,
                                          &g_dlgSpectral};
const CMenuTemplateqv* const kMenus[] = {&g_menuViewMode};
const CCursorTemplateqv* const kCursors[] = {&g_curZoom, &g_curRotate, &g_curPick};

template <typename T, int N> constexpr int countOf(T (&)[N]) {
    return N;
}

template <typename T> const T* findById(const T* const* ppItems, int nItems, int nId) {
    if (ppItems == nullptr)
        return nullptr;
    for (int i = 0; i < nItems; ++i) {
        if (ppItems[i] != nullptr && ppItems[i]->nId == nId)
            return ppItems[i];
    }
    return nullptr;
}

} // namespace

const CResourceTableqv& cm3dResourceTable() {
    static const CResourceTableqv table = {kDialogs,        countOf(kDialogs), kMenus,
                                           countOf(kMenus), kCursors,          countOf(kCursors)};
    return table;
}

const CDlgTemplateqv* findDialogTemplate(const CResourceTableqv& table, int nId) {
    return findById(table.ppDialogs, table.nDialogs, nId);
}

const CMenuTemplateqv* findMenuTemplate(const CResourceTableqv& table, int nId) {
    return findById(table.ppMenus, table.nMenus, nId);
}

const CCursorTemplateqv* findCursorTemplate(const CResourceTableqv& table, int nId) {
    return findById(table.ppCursors, table.nCursors, nId);
}
