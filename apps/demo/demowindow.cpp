#include "demowindow.h"

#include "butterflyplot.h"
#include "colorbarpanel.h"
#include "marklist.h"
#include "overviewstrip.h"
#include "selectionlabels.h"
#include "selectionrule.h"
#include "smoothmapwindow.h"
#include "timeaxis.h"

#include "dlg3dcontourmapfrq.h"
#include "dlg3dcontourmapspctm.h"
#include "dlgcontmap3dtimedomain.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "pagedrecording.h"
#include "recordingjson.h"
#include "spctmtrial.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

CDemoWindow* s_pPickTarget = nullptr;

QLabel* _valueLabel(QWidget* pParent, int nMinWidth) {
    auto* pLabel = new QLabel(pParent);
    pLabel->setMinimumWidth(nMinWidth);
    return pLabel;
}

const double adPageSeconds[] = {2.0, 5.0, 10.0, 20.0, 30.0, 60.0};
const double adPlaySpeeds[] = {0.1, 0.25, 0.5, 1.0, 2.0, 5.0};

// The entry of a choice nearest to dValue (the choices are in increasing order).
int _nearestChoice(const QComboBox& box, double dValue) {
    int nBest = 0;
    for (int k = 1; k < box.count(); ++k)
        if (std::fabs(box.itemData(k).toDouble() - dValue) <
            std::fabs(box.itemData(nBest).toDouble() - dValue))
            nBest = k;
    return nBest;
}

} // namespace

CDemoWindow::CDemoWindow(QWidget* pParent) : QMainWindow(pParent) {
    s_pPickTarget = this;
    setWindowTitle("ContourMap3D demo");
    _createControls();
    _createActions();
    m_timerPlay.setInterval(nPlayIntervalMs);
    connect(&m_timerPlay, &QTimer::timeout, this, &CDemoWindow::_playTick);
    connect(&m_converter, &CRecordingConverter::progress, this, [this](const QString& strStep) {
        statusBar()->showMessage(
            QString("Converting %1: %2").arg(QFileInfo(m_strConverting).fileName(), strStep));
        _conversionProgressed();
    });
    connect(&m_converter, &CRecordingConverter::firstPageReady, this,
            &CDemoWindow::_firstPageReady);
    connect(&m_converter, &CRecordingConverter::finished, this, &CDemoWindow::_conversionFinished);
    connect(&m_converter, &CRecordingConverter::failed, this, &CDemoWindow::_conversionFailed);
    resize(900, 600);
}

CDemoWindow::~CDemoWindow() {
    m_timerPlay.stop();
    m_converter.cancel();
    _setBusy(false);
    // The maps close after this window's members are gone; they must not report to it then.
    for (const QPointer<QWidget>& pWindow : m_apMapWindow)
        if (pWindow)
            pWindow->removeEventFilter(this);
    if (m_pSmoothWindow)
        m_pSmoothWindow->disconnect(this);
    m_pSmoothWindow.reset();
    if (s_pPickTarget == this)
        s_pPickTarget = nullptr;
}

void CDemoWindow::_createActions() {
    QMenu* pFile = menuBar()->addMenu("&File");
    QAction* pOpen = pFile->addAction("&Open recording...", this, &CDemoWindow::_openFile);
    pOpen->setShortcut(QKeySequence::Open);
    pFile->addSeparator();
    QAction* pQuit = pFile->addAction("&Quit", this, &QWidget::close);
    pQuit->setShortcut(QKeySequence::Quit);

    QMenu* pMaps = menuBar()->addMenu("&Maps");
    QToolBar* pToolBar = addToolBar("Maps");
    pToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    pToolBar->setMovable(false);
    const char* const apszNames[nMaps] = {"&Time-domain map", "&Frequency map", "&Spectral map",
                                          "&Modeling", "S&mooth field map"};
    for (int k = 0; k < nMaps; ++k) {
        const auto nMap = static_cast<EMapWindow>(k);
        m_apMapAction[k] = pMaps->addAction(apszNames[k], this, [this, nMap] { openMap(nMap); });
        pToolBar->addAction(m_apMapAction[k]);
    }

    // Only long recordings have pages and marks; the menu shows while one is open, and lists
    // the keys. The actions belong to the window too, so the keys work with the menu hidden.
    m_pNavigateMenu = menuBar()->addMenu("&Navigate");
    const auto add = [this](const char* pszName, QList<QKeySequence> keys, auto fn) {
        QAction* pAction = m_pNavigateMenu->addAction(pszName, this, fn);
        pAction->setShortcuts(keys);
        addAction(pAction);
    };
    add("&Previous page", {QKeySequence(Qt::Key_PageUp)}, [this] { turnPage(-1); });
    add("&Next page", {QKeySequence(Qt::Key_PageDown)}, [this] { turnPage(1); });
    m_pNavigateMenu->addSeparator();
    add("Pre&vious event or annotation",
        {QKeySequence(Qt::Key_BracketLeft), QKeySequence(Qt::CTRL | Qt::Key_Left)},
        [this] { jumpToMark(-1); });
    add("Ne&xt event or annotation",
        {QKeySequence(Qt::Key_BracketRight), QKeySequence(Qt::CTRL | Qt::Key_Right)},
        [this] { jumpToMark(1); });
    m_pNavigateMenu->menuAction()->setVisible(false);
    for (QAction* pAction : m_pNavigateMenu->actions())
        pAction->setEnabled(false);
}

void CDemoWindow::_createPagedControls(QWidget* pParent) {
    m_pPagedControls = new QWidget(pParent);
    auto* pRow = new QHBoxLayout(m_pPagedControls);
    pRow->setContentsMargins(0, 0, 0, 0);
    m_pSpeedBox = new QComboBox(m_pPagedControls);
    for (double dSpeed : adPlaySpeeds)
        m_pSpeedBox->addItem(QString::number(dSpeed) + "x", dSpeed);
    m_pSpeedBox->setCurrentIndex(_nearestChoice(*m_pSpeedBox, m_dPlaySpeed));
    m_pSpeedBox->setToolTip("Play's speed: 1x is real time");
    connect(m_pSpeedBox, qOverload<int>(&QComboBox::activated), this,
            [this](int k) { setPlaySpeed(m_pSpeedBox->itemData(k).toDouble()); });
    pRow->addWidget(m_pSpeedBox);
    pRow->addSpacing(12);
    pRow->addWidget(new QLabel("Page", m_pPagedControls));
    m_pPageBox = new QComboBox(m_pPagedControls);
    for (double dSeconds : adPageSeconds)
        m_pPageBox->addItem(QString("%1 s").arg(dSeconds), dSeconds);
    m_pPageBox->setToolTip("How much of the recording the plot shows; PageUp and PageDown turn "
                           "the page, ] and [ (or Ctrl+Right and Ctrl+Left) go to the next and "
                           "the previous event or annotation");
    connect(m_pPageBox, qOverload<int>(&QComboBox::activated), this,
            [this](int k) { setPageSeconds(m_pPageBox->itemData(k).toDouble()); });
    pRow->addWidget(m_pPageBox);
    m_pPagedControls->hide();
}

void CDemoWindow::_createControls() {
    auto* pCentral = new QWidget(this);
    auto* pLayout = new QVBoxLayout(pCentral);
    auto* pTop = new QHBoxLayout;
    m_pPlot = new CButterflyPlot(pCentral);
    pTop->addWidget(m_pPlot, 1);
    m_pColorBars = new CColorBarPanel(pCentral);
    pTop->addWidget(m_pColorBars);
    pLayout->addLayout(pTop, 1);
    connect(m_pPlot, &CButterflyPlot::cursorMoved, this,
            [this](qint64 nSample) { selectSample(nSample); });
    m_pOverview = new COverviewStrip(pCentral);
    m_pOverview->hide();
    pLayout->addWidget(m_pOverview);
    connect(m_pOverview, &COverviewStrip::jumpRequested, this,
            [this](qint64 nSample) { selectSample(nSample); });

    auto* pRow = new QHBoxLayout;
    m_pPlayButton = new QPushButton("Play", pCentral);
    connect(m_pPlayButton, &QPushButton::clicked, this, [this] { setPlaying(!isPlaying()); });
    pRow->addWidget(m_pPlayButton);
    _createPagedControls(pCentral);
    pRow->addWidget(m_pPagedControls);
    pRow->addSpacing(12);

    pRow->addWidget(new QLabel("Sample", pCentral));
    m_pSampleSpin = new QSpinBox(pCentral);
    pRow->addWidget(m_pSampleSpin);
    m_pSampleLabel = _valueLabel(pCentral, 70);
    pRow->addWidget(m_pSampleLabel);
    pRow->addSpacing(12);

    pRow->addWidget(new QLabel("Frequency bin", pCentral));
    m_pBinSpin = new QSpinBox(pCentral);
    pRow->addWidget(m_pBinSpin);
    m_pBinLabel = _valueLabel(pCentral, 60);
    pRow->addWidget(m_pBinLabel);
    pRow->addSpacing(12);

    pRow->addWidget(new QLabel("Time-frequency cell: row", pCentral));
    m_pRowSpin = new QSpinBox(pCentral);
    pRow->addWidget(m_pRowSpin);
    pRow->addWidget(new QLabel("column", pCentral));
    m_pColumnSpin = new QSpinBox(pCentral);
    pRow->addWidget(m_pColumnSpin);
    m_pCellLabel = _valueLabel(pCentral, 130);
    pRow->addWidget(m_pCellLabel);
    pRow->addStretch(1);
    pLayout->addLayout(pRow);

    connect(m_pSampleSpin, qOverload<int>(&QSpinBox::valueChanged), this,
            [this](int nSample) { selectSample(nSample); });
    connect(m_pBinSpin, qOverload<int>(&QSpinBox::valueChanged), this,
            [this](int nBin) { selectFreqBin(nBin); });
    const auto cellChanged = [this](int) {
        selectCell(m_pRowSpin->value(), m_pColumnSpin->value());
    };
    connect(m_pRowSpin, qOverload<int>(&QSpinBox::valueChanged), this, cellChanged);
    connect(m_pColumnSpin, qOverload<int>(&QSpinBox::valueChanged), this, cellChanged);

    setCentralWidget(pCentral);
    m_pPlot->setFocus();
}

void CDemoWindow::setRecording(std::unique_ptr<CMEGDataqv> pRecording, const QString& strName) {
    if (!pRecording)
        return;
    setPlaying(false);
    // Freed when this returns, once nothing points to it any more.
    const std::unique_ptr<CMEGDataqv> pOld = std::move(m_pRecording);
    m_pRecording = std::move(pRecording);
    m_bGrowing = false;
    setWindowTitle("ContourMap3D demo \u2014 " + strName);

    CMDTrialqv* pTrial = m_pRecording->getTrialqv(-1);
    m_pPlot->setRecording(m_pRecording.get());
    m_pPlot->setHighlightedChannel(pTrial ? pTrial->getCurntChnlIndx() : -1);
    _showPagedControls();
    _updateSelectors();
    // Showing a map that is already shown does not repaint it; the update call does. Hidden
    // maps let go of the old recording and are handed the current one when shown again.
    for (SMapKinds::EMapKind nKind :
         {SMapKinds::kindTime, SMapKinds::kindFrequency, SMapKinds::kindSpectral}) {
        if (m_apMapWindow[nKind] && m_apMapWindow[nKind]->isVisible()) {
            openMap(static_cast<EMapWindow>(nKind));
            _updateMap(nKind);
            continue;
        }
        if (nKind == SMapKinds::kindTime && m_face.m_pDlgTimeDomain)
            m_face.m_pDlgTimeDomain->m_staticContMap.setViewMegData(nullptr);
        if (nKind == SMapKinds::kindFrequency && m_face.m_pDlgFrqc)
            m_face.m_pDlgFrqc->m_staticContMap.setViewMegData(nullptr);
        if (nKind == SMapKinds::kindSpectral && m_face.m_pDlgSpctm)
            m_face.m_pDlgSpctm->m_staticContMap.setViewMegData(nullptr);
        loadMapLikeView(m_aBarMap[nKind], nullptr, nKind);
    }
    // Before the old recording goes: the smooth map holds no recording of its own.
    if (m_pSmoothWindow)
        m_pSmoothWindow->setRecording(m_pRecording.get());

    if (CPagedRecording* pPaged = getPagedRecording()) {
        const double dRate = pPaged->getSamplingRate();
        const double dSeconds = static_cast<double>(pPaged->getTotalSamples()) / dRate;
        const QString strLength = dRate > 0.0
                                      ? timeaxis::text(dSeconds, timeaxis::usesMinutes(dSeconds), 1)
                                      : QString("%1 samples").arg(pPaged->getTotalSamples());
        statusBar()->showMessage(QString("%1: %2 MEG channels plotted, %3 long, a page at a time")
                                     .arg(strName)
                                     .arg(m_pPlot->getPlottedChannelCount())
                                     .arg(strLength));
        return;
    }
    statusBar()->showMessage(QString("%1: %2 MEG channels plotted, %3 samples")
                                 .arg(strName)
                                 .arg(m_pPlot->getPlottedChannelCount())
                                 .arg(pTrial ? pTrial->getSampleCount() : 0));
}

CPagedRecording* CDemoWindow::getPagedRecording() const {
    return dynamic_cast<CPagedRecording*>(m_pRecording.get());
}

std::int64_t CDemoWindow::getSelectedSample() const {
    if (CPagedRecording* pPaged = getPagedRecording())
        return pPaged->getSelectedSample();
    std::int64_t nSample = 0, nEnd = 0;
    if (m_pRecording)
        m_pRecording->getSelect(nSample, nEnd);
    return nSample;
}

void CDemoWindow::_showPagedControls() {
    CPagedRecording* pPaged = getPagedRecording();
    m_aMarks = pPaged ? collectMarks(*pPaged) : std::vector<SRecordingMark>();
    m_nShownPageFirst = pPaged ? pPaged->getPageFirst() : -1;
    m_nShownPageLength = pPaged ? pPaged->getPageLength() : -1;
    m_pOverview->setRecording(pPaged);
    m_pOverview->setVisible(pPaged != nullptr);
    m_pPagedControls->setVisible(pPaged != nullptr);
    m_pNavigateMenu->menuAction()->setVisible(pPaged != nullptr);
    for (QAction* pAction : m_pNavigateMenu->actions())
        pAction->setEnabled(pPaged != nullptr);
    if (pPaged && !m_pMarkDock) {
        // Made with the first long recording, so that the window of others stays as it was.
        m_pMarkList = new CMarkList;
        connect(m_pMarkList, &CMarkList::jumpRequested, this,
                [this](qint64 nSample) { selectSample(nSample); });
        m_pMarkDock = new QDockWidget("Events and annotations", this);
        m_pMarkDock->setObjectName("marks");
        m_pMarkDock->setWidget(m_pMarkList);
        m_pMarkList->setMinimumWidth(230);
        addDockWidget(Qt::RightDockWidgetArea, m_pMarkDock);
        // The list comes beside the plot, not out of it.
        resize(width() + 240, height());
    }
    if (m_pMarkDock) {
        m_pMarkList->setRecording(pPaged);
        m_pMarkDock->setVisible(pPaged != nullptr);
    }
    if (pPaged) {
        const double dRate = pPaged->getSamplingRate();
        const double dPage =
            static_cast<double>(pPaged->getPageSize()) / (dRate > 0.0 ? dRate : 1000.0);
        m_pPageBox->setCurrentIndex(_nearestChoice(*m_pPageBox, dPage));
    }
}

bool CDemoWindow::openRecording(const QString& strPath) {
    // What a cancelled conversion showed stays, as it is written so far.
    m_converter.cancel();
    m_bGrowing = false;
    _setBusy(false);
    QString strJson = strPath;
    QString strNote;
    if (!isJsonRecording(strPath)) {
        strJson = CRecordingConverter::cachedCopy(strPath, m_conversion);
        if (strJson.isEmpty()) {
            m_strConverting = strPath;
            _setBusy(true);
            statusBar()->showMessage(
                QString("Converting %1 with MNE-Python...").arg(QFileInfo(strPath).fileName()));
            m_converter.start(strPath, m_conversion);
            return true;
        }
        strNote = " (converted before)";
    }
    std::string error;
    std::unique_ptr<CMEGDataqv> pRecording =
        loadRecordingJson(QFile::encodeName(strJson).toStdString(), error);
    if (!pRecording) {
        reportError(QString::fromStdString(error));
        return false;
    }
    setRecording(std::move(pRecording), QFileInfo(strPath).fileName());
    statusBar()->showMessage(statusBar()->currentMessage() + strNote);
    return true;
}

void CDemoWindow::_firstPageReady(const QString& strJsonPath) {
    std::string error;
    std::unique_ptr<CMEGDataqv> pRecording =
        loadRecordingJson(QFile::encodeName(strJsonPath).toStdString(), error);
    if (!pRecording) {
        // The conversion goes on; its end brings the whole recording or the reason it failed.
        statusBar()->showMessage(QString::fromStdString(error));
        return;
    }
    setRecording(std::move(pRecording), QFileInfo(m_strConverting).fileName());
    m_bGrowing = getPagedRecording() != nullptr;
    statusBar()->showMessage(statusBar()->currentMessage() + " (converting the rest)");
}

void CDemoWindow::_conversionProgressed() {
    CPagedRecording* pPaged = getPagedRecording();
    if (!m_bGrowing || !pPaged)
        return;
    std::string error;
    if (!pPaged->refresh(error)) {
        statusBar()->showMessage(QString::fromStdString(error));
        return;
    }
    // A page cut short by the end of what was written fills up as the store grows.
    const std::int64_t nShownEnd = pPaged->getPageFirst() + pPaged->getPageLength();
    if (pPaged->getPageLength() < pPaged->getPageSize() && pPaged->getStoredEnd() > nShownEnd &&
        pPaged->setPage(pPaged->getPageFirst(), pPaged->getPageSize(), error))
        _followPage(true);
    else
        _followPage(false);
}

void CDemoWindow::_conversionFinished(const QString& strJsonPath) {
    _setBusy(false);
    std::string error;
    std::unique_ptr<CMEGDataqv> pRecording =
        loadRecordingJson(QFile::encodeName(strJsonPath).toStdString(), error);
    if (!pRecording) {
        statusBar()->clearMessage();
        reportError(QString::fromStdString(error));
        return;
    }
    // The whole recording takes the place of its first part where the user is.
    auto* pWhole = dynamic_cast<CPagedRecording*>(pRecording.get());
    CPagedRecording* pPart = m_bGrowing ? getPagedRecording() : nullptr;
    if (pWhole && pPart) {
        const std::int64_t nSelected = pPart->getSelectedSample();
        if (pWhole->setPage(pPart->getPageFirst(), pPart->getPageSize(), error))
            pWhole->selectSample(nSelected, error);
        if (CMDTrialqv* pTrial = pPart->getTrialqv(-1))
            if (CMDTrialqv* pNew = pWhole->getTrialqv(-1))
                pNew->setCurrentChannel(pTrial->getCurntChnlIndx());
    }
    setRecording(std::move(pRecording), QFileInfo(m_strConverting).fileName());
    statusBar()->showMessage(statusBar()->currentMessage() + " (converted with MNE-Python)");
}

void CDemoWindow::_conversionFailed(const QString& strLine) {
    // A first page shown stays, as far as it was written.
    m_bGrowing = false;
    _setBusy(false);
    statusBar()->clearMessage();
    reportError(strLine);
}

void CDemoWindow::_setBusy(bool bBusy) {
    if (bBusy == m_bBusy)
        return;
    m_bBusy = bBusy;
    // The busy cursor, not the wait cursor: the window goes on working meanwhile.
    if (bBusy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CDemoWindow::_openFile() {
    const QString strPath =
        QFileDialog::getOpenFileName(this, "Open recording", QString(), recordingFileFilters());
    if (!strPath.isEmpty())
        openRecording(strPath);
}

void CDemoWindow::reportError(const QString& strText) {
    QMessageBox::warning(this, "ContourMap3D demo", strText);
}

void CDemoWindow::_updateSelectors() {
    CMDTrialqv* pTrial = m_pRecording ? m_pRecording->getTrialqv(-1) : nullptr;
    const QSignalBlocker blockSample(m_pSampleSpin), blockBin(m_pBinSpin), blockRow(m_pRowSpin),
        blockColumn(m_pColumnSpin);

    // A long recording's selector reaches every sample written so far.
    CPagedRecording* pPaged = getPagedRecording();
    const std::int64_t nSample = getSelectedSample();
    const std::int64_t nFirst = pPaged ? pPaged->getStoredFirst() : 0;
    const std::int64_t nSamples = pPaged   ? pPaged->getStoredEnd()
                                  : pTrial ? pTrial->getSampleCount()
                                           : 0;
    m_pSampleSpin->setRange(static_cast<int>(std::min<std::int64_t>(nFirst, INT_MAX)),
                            static_cast<int>(std::clamp<std::int64_t>(nSamples - 1, 0, INT_MAX)));
    m_pSampleSpin->setValue(static_cast<int>(std::min<std::int64_t>(nSample, INT_MAX)));
    m_pSampleSpin->setEnabled(nSamples > nFirst);
    m_pPlayButton->setEnabled(nSamples - nFirst > 1);
    m_pPlot->setCursorSample(nSample);

    std::int64_t nRows = 0, nColumns = 0;
    const bool bSpectra = m_pRecording && getSpectralShape(*m_pRecording, nRows, nColumns);
    CSpctmTrialqv* pSpctm = bSpectra ? pTrial->getSpctmTrial(true, 0) : nullptr;
    m_pBinSpin->setRange(0, static_cast<int>(std::clamp<std::int64_t>(nColumns - 1, 0, INT_MAX)));
    m_pRowSpin->setRange(0, static_cast<int>(std::clamp<std::int64_t>(nRows - 1, 0, INT_MAX)));
    m_pColumnSpin->setRange(0, m_pBinSpin->maximum());
    m_pBinSpin->setValue(pSpctm ? pSpctm->m_nSelectFreqBin : 0);
    m_pRowSpin->setValue(pSpctm ? pSpctm->m_nSelectRow : 0);
    m_pColumnSpin->setValue(pSpctm ? pSpctm->m_nSelectColumn : 0);
    for (QSpinBox* pSpin : {m_pBinSpin, m_pRowSpin, m_pColumnSpin})
        pSpin->setEnabled(bSpectra);
    _updateLabels();
}

void CDemoWindow::_updateLabels() {
    if (!m_pRecording)
        return;
    m_pSampleLabel->setText(sampleLabel(*m_pRecording, m_pPlot->getCursorSample()));
    if (m_pBinSpin->isEnabled()) {
        m_pBinLabel->setText(binLabel(*m_pRecording, m_pBinSpin->value()));
        m_pCellLabel->setText(
            cellLabel(*m_pRecording, m_pRowSpin->value(), m_pColumnSpin->value()));
    } else {
        m_pBinLabel->setText("no spectra");
        m_pCellLabel->setText("no spectra");
    }
}

bool CDemoWindow::selectSample(std::int64_t nSample) {
    if (!m_pRecording || !setSampleSelection(*m_pRecording, nSample))
        return false;
    _followPage(false);
    m_pPlot->setCursorSample(nSample);
    {
        const QSignalBlocker block(m_pSampleSpin);
        m_pSampleSpin->setValue(static_cast<int>(std::min<std::int64_t>(nSample, INT_MAX)));
    }
    m_pSampleLabel->setText(sampleLabel(*m_pRecording, nSample));
    _updateMap(SMapKinds::kindTime);
    return true;
}

void CDemoWindow::_followPage(bool bReread) {
    CPagedRecording* pPaged = getPagedRecording();
    if (!pPaged)
        return;
    if (bReread || pPaged->getPageFirst() != m_nShownPageFirst ||
        pPaged->getPageLength() != m_nShownPageLength) {
        m_nShownPageFirst = pPaged->getPageFirst();
        m_nShownPageLength = pPaged->getPageLength();
        m_pPlot->setRecording(pPaged);
        m_pPlot->setCursorSample(pPaged->getSelectedSample());
    }
    {
        const QSignalBlocker block(m_pSampleSpin);
        m_pSampleSpin->setMaximum(
            static_cast<int>(std::clamp<std::int64_t>(pPaged->getStoredEnd() - 1, 0, INT_MAX)));
    }
    m_pOverview->refresh();
}

bool CDemoWindow::turnPage(int nDirection) {
    CPagedRecording* pPaged = getPagedRecording();
    if (!pPaged || pPaged->getStoredEnd() <= pPaged->getStoredFirst())
        return false;
    const std::int64_t nFrom = pPaged->getSelectedSample();
    const std::int64_t nTo =
        std::clamp<std::int64_t>(nFrom + (nDirection > 0 ? 1 : -1) * pPaged->getPageSize(),
                                 pPaged->getStoredFirst(), pPaged->getStoredEnd() - 1);
    return nTo != nFrom && selectSample(nTo);
}

bool CDemoWindow::setPageSeconds(double dSeconds) {
    CPagedRecording* pPaged = getPagedRecording();
    if (!pPaged || !(dSeconds > 0.0))
        return false;
    // Without a sampling rate a "second" is a thousand samples.
    const double dRate = pPaged->getSamplingRate() > 0.0 ? pPaged->getSamplingRate() : 1000.0;
    const std::int64_t nLength = std::clamp<std::int64_t>(std::llround(dSeconds * dRate), 1,
                                                          CPagedRecording::nMaxPageSamples);
    const std::int64_t nSelected = pPaged->getSelectedSample();
    std::string error;
    if (!pPaged->setPage(nSelected - nSelected % nLength, nLength, error)) {
        statusBar()->showMessage(QString::fromStdString(error));
        return false;
    }
    pPaged->selectSample(nSelected, error);
    _followPage(true);
    _updateMap(SMapKinds::kindTime);
    m_pPageBox->setCurrentIndex(_nearestChoice(*m_pPageBox, dSeconds));
    return true;
}

bool CDemoWindow::jumpToMark(int nDirection) {
    CPagedRecording* pPaged = getPagedRecording();
    if (!pPaged)
        return false;
    const SRecordingMark* pMark = neighbourMark(m_aMarks, pPaged->getSelectedSample(), nDirection);
    if (!pMark) {
        statusBar()->showMessage(nDirection > 0 ? "No event or annotation after this one"
                                                : "No event or annotation before this one");
        return false;
    }
    if (pMark->nSample < pPaged->getStoredFirst() || pMark->nSample >= pPaged->getStoredEnd()) {
        statusBar()->showMessage(QString("%1 at %2 is not converted yet")
                                     .arg(pMark->strText, sampleLabel(*pPaged, pMark->nSample)));
        return false;
    }
    if (!selectSample(pMark->nSample))
        return false;
    if (m_pMarkList)
        m_pMarkList->showMarkAt(pMark->nSample);
    statusBar()->showMessage(
        QString("%1 at %2").arg(pMark->strText, sampleLabel(*pPaged, pMark->nSample)));
    return true;
}

void CDemoWindow::setPlaySpeed(double dFactor) {
    if (!(dFactor > 0.0) || !std::isfinite(dFactor))
        return;
    m_dPlaySpeed = dFactor;
    m_pSpeedBox->setCurrentIndex(_nearestChoice(*m_pSpeedBox, dFactor));
    // Playing goes on from where it is, at the new speed.
    m_nPlayFrom = m_nPlayAt = getSelectedSample();
    m_playClock.restart();
}

bool CDemoWindow::selectFreqBin(int nBin) {
    if (!m_pRecording || !setFreqBinSelection(*m_pRecording, nBin))
        return false;
    {
        const QSignalBlocker block(m_pBinSpin);
        m_pBinSpin->setValue(nBin);
    }
    m_pBinLabel->setText(binLabel(*m_pRecording, nBin));
    _updateMap(SMapKinds::kindFrequency);
    return true;
}

bool CDemoWindow::selectCell(int nRow, int nColumn) {
    if (!m_pRecording || !setCellSelection(*m_pRecording, nRow, nColumn))
        return false;
    {
        const QSignalBlocker blockRow(m_pRowSpin), blockColumn(m_pColumnSpin);
        m_pRowSpin->setValue(nRow);
        m_pColumnSpin->setValue(nColumn);
    }
    m_pCellLabel->setText(cellLabel(*m_pRecording, nRow, nColumn));
    _updateMap(SMapKinds::kindSpectral);
    return true;
}

void CDemoWindow::_updateMap(SMapKinds::EMapKind nKind) {
    switch (nKind) {
    case SMapKinds::kindTime:
        m_face.updateContourMap();
        break;
    case SMapKinds::kindFrequency:
        m_face.updateContourMapFrqc();
        break;
    case SMapKinds::kindSpectral:
        m_face.updateContourMapSpctm(nullptr);
        break;
    }
    _checkColorBar(nKind);
    if (m_pSmoothWindow)
        m_pSmoothWindow->selectionChanged(nKind);
}

void CDemoWindow::openMap(EMapWindow nMap) {
    if (!m_pRecording)
        return;
    if (nMap == mapSmooth) {
        _openSmoothMap();
        return;
    }
    const QList<QWidget*> before = QApplication::topLevelWidgets();
    switch (nMap) {
    case mapTime:
        m_face.show3DContMapTimeDomain(m_pRecording.get(), &CDemoWindow::onChannelPicked, nullptr);
        break;
    case mapFrequency:
        m_face.show3DContMapFrqc(m_pRecording.get(), nullptr);
        break;
    case mapSpectral:
        m_face.show3DContMapSpctm(m_pRecording.get(), nullptr);
        break;
    default:
        m_face.show3DContMapModeling();
        break;
    }
    _adoptMapWindow(nMap, before);
    if (nMap != mapModeling)
        _loadColorBar(static_cast<SMapKinds::EMapKind>(nMap)); // numbered as its kind
}

void CDemoWindow::_loadColorBar(SMapKinds::EMapKind nKind) {
    loadMapLikeView(m_aBarMap[nKind], m_pRecording.get(), nKind);
    checkMapRange(m_aBarMap[nKind], nKind);
    _showColorBar(nKind);
}

void CDemoWindow::_checkColorBar(SMapKinds::EMapKind nKind) {
    if (m_apMapWindow[nKind] && m_apMapWindow[nKind]->isVisible())
        checkMapRange(m_aBarMap[nKind], nKind);
    _showColorBar(nKind);
}

void CDemoWindow::_showColorBar(SMapKinds::EMapKind nKind) {
    if (m_apMapWindow[nKind] && m_apMapWindow[nKind]->isVisible() && m_aBarMap[nKind].m_pTrial)
        m_pColorBars->setBar(nKind, CColorScale::fromMap(m_aBarMap[nKind], nKind),
                             scaleUnit(m_pRecording.get(), nKind));
    else
        m_pColorBars->clearBar(nKind);
}

void CDemoWindow::_showSmoothColorBar() {
    CColorScale scale;
    std::string strUnit;
    if (m_pSmoothWindow && m_pSmoothWindow->getColorBar(scale, strUnit))
        m_pColorBars->setBar(CColorBarPanel::barSmooth, scale, strUnit);
    else
        m_pColorBars->clearBar(CColorBarPanel::barSmooth);
}

bool CDemoWindow::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::Hide) {
        for (SMapKinds::EMapKind nKind :
             {SMapKinds::kindTime, SMapKinds::kindFrequency, SMapKinds::kindSpectral})
            if (pWatched == m_apMapWindow[nKind])
                _showColorBar(nKind);
        if (pWatched == m_apMapWindow[mapSmooth])
            _showSmoothColorBar();
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

// The facade hands out no window handles a host could move, so the map's window is recognised
// as the top-level window that its first opening added.
void CDemoWindow::_adoptMapWindow(EMapWindow nMap, const QList<QWidget*>& before) {
    if (m_apMapWindow[nMap])
        return;
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        const Qt::WindowType nType = pWidget->windowType();
        if (pWidget == this || before.contains(pWidget) || !pWidget->isVisible() ||
            (nType != Qt::Window && nType != Qt::Dialog))
            continue;
        _placeMapWindow(nMap, pWidget);
        return;
    }
}

void CDemoWindow::_placeMapWindow(EMapWindow nMap, QWidget* pWindow) {
    m_apMapWindow[nMap] = pWindow;
    pWindow->installEventFilter(this);
    const int nStep = 36 * m_nPlacedMaps++;
    pWindow->move(frameGeometry().right() + 12 + nStep, frameGeometry().top() + nStep);
}

void CDemoWindow::_openSmoothMap() {
    if (!m_pSmoothWindow) {
        m_pSmoothWindow = std::make_unique<CSmoothMapWindow>();
        m_pSmoothWindow->setRecording(m_pRecording.get());
        connect(m_pSmoothWindow.get(), &CSmoothMapWindow::sensorPicked, this,
                &CDemoWindow::pickChannel);
        connect(m_pSmoothWindow.get(), &CSmoothMapWindow::colorBarChanged, this,
                [this] { _showSmoothColorBar(); });
        _placeMapWindow(mapSmooth, m_pSmoothWindow.get());
    }
    m_pSmoothWindow->show();
    m_pSmoothWindow->raise();
    m_pSmoothWindow->activateWindow();
}

void CDemoWindow::setPlaying(bool bPlay) {
    CMDTrialqv* pTrial = m_pRecording ? m_pRecording->getTrialqv(-1) : nullptr;
    CPagedRecording* pPaged = getPagedRecording();
    const std::int64_t nFirst = pPaged ? pPaged->getStoredFirst() : 0;
    const std::int64_t nEnd = pPaged   ? pPaged->getStoredEnd()
                              : pTrial ? pTrial->getSampleCount()
                                       : 0;
    if (bPlay && pTrial && nEnd - nFirst > 1) {
        // From the end, play starts over.
        if (m_pPlot->getCursorSample() >= nEnd - 1)
            selectSample(nFirst);
        m_nPlayFrom = m_nPlayAt = getSelectedSample();
        m_playClock.start();
        m_timerPlay.start();
        m_pPlayButton->setText("Stop");
    } else {
        m_timerPlay.stop();
        m_pPlayButton->setText("Play");
    }
}

void CDemoWindow::_playTick() {
    CMDTrialqv* pTrial = m_pRecording ? m_pRecording->getTrialqv(-1) : nullptr;
    if (!pTrial) {
        setPlaying(false);
        return;
    }
    CPagedRecording* pPaged = getPagedRecording();
    if (!pPaged) {
        const std::int64_t nLast = pTrial->getSampleCount() - 1;
        const std::int64_t nNext = std::min(m_pPlot->getCursorSample() + nPlayStep, nLast);
        if (!selectSample(nNext) || nNext >= nLast)
            setPlaying(false);
        return;
    }
    // A long recording plays by the clock, so that 1x is real time however long a tick takes;
    // a cursor the user moved meanwhile is where it goes on from.
    if (getSelectedSample() != m_nPlayAt) {
        m_nPlayFrom = m_nPlayAt = getSelectedSample();
        m_playClock.restart();
    }
    const double dRate = pPaged->getSamplingRate() > 0.0 ? pPaged->getSamplingRate() : 1000.0;
    const std::int64_t nLast = pPaged->getStoredEnd() - 1;
    const std::int64_t nNext =
        std::min(nLast, m_nPlayFrom + static_cast<std::int64_t>(std::floor(
                                          m_playClock.elapsed() * 1e-3 * dRate * m_dPlaySpeed)));
    if (nNext > m_nPlayAt) {
        if (!selectSample(nNext)) {
            setPlaying(false);
            return;
        }
        m_nPlayAt = nNext;
    }
    if (nNext >= nLast)
        setPlaying(false);
}

int CDemoWindow::onChannelPicked(int nChannel, int /*nReserved*/) {
    return s_pPickTarget ? s_pPickTarget->pickChannel(nChannel) : 0;
}

int CDemoWindow::pickChannel(int nSlot) {
    CMDTrialqv* pTrial = m_pRecording ? m_pRecording->getTrialqv(-1) : nullptr;
    CMDChannelqv* pChannel = pTrial && nSlot >= 0 && nSlot < pTrial->getTotalChannel()
                                 ? pTrial->getAllChannelPt()[nSlot]
                                 : nullptr;
    if (!pChannel) {
        statusBar()->showMessage(QString("Slot %1 holds no channel").arg(nSlot));
        return 0;
    }
    pTrial->setCurrentChannel(nSlot);
    const QString strName = QString::fromStdWString(pChannel->m_strChnlName);
    std::int64_t nSample = 0, nEnd = 0;
    m_pRecording->getSelect(nSample, nEnd);
    const double* pSamples = pChannel->getDataWave();
    QString strValue = "no value";
    if (pSamples && nSample < pChannel->getSampleCount() && std::isfinite(pSamples[nSample]))
        strValue = QString::number(pSamples[nSample], 'f', 1) + " " +
                   QString::fromStdString(m_pRecording->getUnit());
    statusBar()->showMessage(
        QString("Channel %1 %2: %3 at %4")
            .arg(nSlot)
            .arg(strName, strValue, sampleLabel(*m_pRecording, getSelectedSample())));
    m_pPlot->setHighlightedChannel(nSlot);
    std::printf("picked channel %d %s\n", nSlot, strName.toUtf8().constData());
    std::fflush(stdout);
    m_face.updateContourMapSelectChannel();
    if (m_pSmoothWindow)
        m_pSmoothWindow->currentChannelChanged();
    return 1;
}

void CDemoWindow::keyPressEvent(QKeyEvent* pEvent) {
    // Arrow keys that no control took step the time cursor, as they do in the plot.
    if (pEvent->key() == Qt::Key_Left || pEvent->key() == Qt::Key_Right) {
        const std::int64_t nStep = pEvent->key() == Qt::Key_Left ? -1 : 1;
        selectSample(m_pPlot->getCursorSample() + nStep);
        return;
    }
    QMainWindow::keyPressEvent(pEvent);
}

void CDemoWindow::closeEvent(QCloseEvent* pEvent) {
    // The maps are windows of their own; without the host they have nothing to show.
    setPlaying(false);
    for (const QPointer<QWidget>& pWindow : m_apMapWindow)
        if (pWindow)
            pWindow->close();
    QMainWindow::closeEvent(pEvent);
}
