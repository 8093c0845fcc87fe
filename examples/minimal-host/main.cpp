// The smallest host: seven MEG sensors in a ring around a centre one, a value for each, drawn
// with the dialog-free facade into an offscreen OpenGL context and written as a PNG.

#include "3drenddlgface.h"
#include "glimagetarget.h"
#include "glofflinecontext.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap.h"

#include <cmath>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string strOut = argc > 1 ? argv[1] : "minimal-host.png";

    // The recording: one trial, one sample per channel, sensors 60 mm from the centre.
    CMEGDataqv recording;
    CMDTrialqv* pTrial = recording.addTrial();
    const int nChannels = 7;
    pTrial->setTotalChannel(nChannels);
    pTrial->setSampleCount(1);
    for (int i = 0; i < nChannels; ++i) {
        CMDChannelqv* pChannel = pTrial->createChannel(i);
        pChannel->m_strChnlName = L"MEG" + std::to_wstring(i + 1);
        pChannel->setChnlKind(CMDChannel0SensorInfo::kindMEG);
        const double dAngle = 2.0 * M_PI * i / (nChannels - 1);
        const double dRadius = i == 0 ? 0.0 : 60.0;
        pChannel->addCoil(dRadius * std::cos(dAngle), dRadius * std::sin(dAngle), 0.0);
        pChannel->setDataWave({i == 0 ? 300.0 : -50.0 * i}); // femtotesla
    }
    recording.setSelect(0);

    // An offscreen context stands in for the host's own window.
    CGLOfflineContextqv context;
    std::string strError;
    if (!context.open(400, 400, strError)) {
        std::fprintf(stderr, "minimal-host: no OpenGL context: %s\n", strError.c_str());
        return 1;
    }
    C3DRendDlgFace face;
    if (!face.setMslMEGData(&recording)) {
        std::fprintf(stderr, "minimal-host: no renderer\n");
        return 1;
    }
    // The dialog-free road draws plain spheres; ask the renderer for value colours as well.
    CShow3DCntMapqv* pMap = face.getShow3DCntMapqv(false);
    pMap->m_bSensorAct = 1;
    pMap->m_bContourAct = 1;
    pMap->m_dColorMin = -150.0;
    pMap->m_dColorMax = 150.0;
    pMap->_checkSensorPosVlm();

    context.renderFrame([&]() { face.showMSLSensor(); });
    if (!context.target()->writePng(strOut, strError)) {
        std::fprintf(stderr, "minimal-host: %s\n", strError.c_str());
        return 1;
    }
    std::printf("%s\n", strOut.c_str());
    return 0;
}
