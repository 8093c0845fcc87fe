#include "spectralshape.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "spctmchnl.h"

bool getSpectralShape(CMEGDataqv& recording, std::int64_t& nRows, std::int64_t& nColumns) {
    nRows = 0;
    nColumns = 0;
    CMDTrialqv* pTrial = recording.getTrialqv(-1);
    if (!pTrial)
        return false;
    CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
    for (int i = 0; i < pTrial->getTotalChannel(); ++i) {
        CSpctmChnlqv* pSpctm = ppChannels[i] ? ppChannels[i]->getSpctmChnl(false, 0) : nullptr;
        if (pSpctm && pSpctm->getSpctmDataPtr(0, &nRows, &nColumns))
            return true;
    }
    nRows = 0;
    nColumns = 0;
    return false;
}
