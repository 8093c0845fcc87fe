#include "platformtest.h"

#include <gtest/gtest.h>

std::vector<std::string>& recordedMessages() {
    static std::vector<std::string> s_messages;
    return s_messages;
}

namespace {
int _recordMessage(const char* pszText, unsigned int /*nType*/) {
    recordedMessages().push_back(pszText);
    return IDOK;
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Installed before any window: the layer keeps a handler that is already there.
    AfxSetMessageBoxHandler(_recordMessage);
    QApplication app(argc, argv);
    AFX_EXTENSION_MODULE module = {FALSE, nullptr, nullptr, nullptr};
    AfxInitExtensionModule(module, AfxResourceModule(cm3dResourceTable()));
    new CDynLinkLibrary(module);
    testing::InitGoogleTest(&argc, argv);
    const int nResult = RUN_ALL_TESTS();
    AfxTermExtensionModule(module);
    return nResult;
}
