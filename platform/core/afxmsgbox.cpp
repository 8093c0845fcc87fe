#include "afxmsgbox.h"

#include <cstdio>

namespace {

int _messageToStderr(const char* pszText, unsigned int /*nType*/) {
    std::fprintf(stderr, "ContourMap3D: %s\n", pszText ? pszText : "");
    return IDOK;
}

PFNMESSAGEBOXHANDLER s_pfnHandler = nullptr;

} // namespace

int AfxMessageBox(const char* pszText, unsigned int nType) {
    PFNMESSAGEBOXHANDLER pfn = s_pfnHandler ? s_pfnHandler : _messageToStderr;
    return pfn(pszText ? pszText : "", nType);
}

PFNMESSAGEBOXHANDLER AfxSetMessageBoxHandler(PFNMESSAGEBOXHANDLER pfnHandler) {
    PFNMESSAGEBOXHANDLER pfnPrevious = s_pfnHandler;
    s_pfnHandler = pfnHandler;
    return pfnPrevious;
}
