// The library's start-up hook. Loading registers the library with the window layer's resource
// chain (its dialog templates, menu, cursors and run-time classes); unloading deregisters it.
// Nothing else happens at load or unload: no window, GL context or renderer is created.

#include "afxreschain.h"

// Referenced by the dialog facade, so that a static link of the library, which keeps only the
// object files something refers to, keeps this one and with it the hook.
extern const int g_nCm3dStartupHook = 1;

namespace {

AFX_EXTENSION_MODULE s_extContourMap3D = {FALSE, nullptr, nullptr, nullptr};

// Runs after the run-time classes of the library have collected themselves (they use a higher
// static-initialisation priority). A loader cannot be told that this failed, so a failed
// registration leaves the library loaded without its resources.
__attribute__((constructor)) void _cm3dAttach() {
    if (!AfxInitExtensionModule(s_extContourMap3D, AfxResourceModule(cm3dResourceTable())))
        return;
    // The chain owns the entry; AfxTermExtensionModule deletes it.
    new CDynLinkLibrary(s_extContourMap3D);
}

__attribute__((destructor)) void _cm3dDetach() {
    AfxTermExtensionModule(s_extContourMap3D);
}

} // namespace
