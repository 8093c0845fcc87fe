#pragma once

#include "3drenddlgfaceqv.h"
#include "colorscale.h"
#include "recordingmarks.h"
#include "recordingsource.h"
#include "show3dcntmap.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class CButterflyPlot;
class CColorBarPanel;
class CMarkList;
class COverviewStrip;
class CPagedRecording;
class CSmoothMapWindow;
class CMEGDataqv;
class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;

// The host application around the map dialogs: owns the recording, shows its MEG channels as a
// butterfly plot with a time cursor, lets the user pick the sample, frequency bin and
// time-frequency cell, and opens the four maps through the facade and a smooth field map window
// of its own. Every selection change is written into the recording and followed by the facade's
// matching update and the smooth map's, so open maps follow. A long recording is shown a page at
// a time, with an overview of the whole of it and a list of its events and annotations; its
// sample numbers (selectors, cursor, selectSample) are those of the whole recording.
class CDemoWindow : public QMainWindow {
    Q_OBJECT
public:
    // The map windows, not map kinds: one window per kind, numbered as its kind so that a kind
    // names its window, then the modeling map and the smooth field map, which have no kind.
    enum EMapWindow {
        mapTime = SMapKinds::kindTime,
        mapFrequency = SMapKinds::kindFrequency,
        mapSpectral = SMapKinds::kindSpectral,
        mapModeling,
        mapSmooth,
        nMaps
    };
    // Samples the Play button advances per tick of 40 ms; a long recording plays by the clock
    // instead, at the chosen speed.
    enum { nPlayStep = 4, nPlayIntervalMs = 40 };

    explicit CDemoWindow(QWidget* pParent = nullptr);
    ~CDemoWindow() override;

    // Takes the recording (null is ignored) and names it in the title; open maps are handed
    // the new one, and the one it replaces is freed.
    void setRecording(std::unique_ptr<CMEGDataqv> pRecording, const QString& strName);
    // Opens a JSON recording at once, or converts a MEG file with the MNE bridge in the
    // background (from the cache when it was converted before): a busy cursor and the bridge's
    // steps in the status bar meanwhile, while the current recording stays until the new one is
    // loaded. A failure is reported with the loader's or the bridge's line. False when the file
    // was refused at once; opening another file stops a conversion still running.
    bool openRecording(const QString& strPath);
    bool isConverting() const { return m_converter.isRunning(); }
    // The converter behind openRecording, whose signals the window follows.
    CRecordingConverter& getConverter() { return m_converter; }
    // What MEG files are converted with (--ch-type, --condition, --no-proj, --keep-dc).
    void setConversionOptions(const SConversionOptions& options) { m_conversion = options; }
    CMEGDataqv* getRecording() const { return m_pRecording.get(); }

    // Each sets the selection in the recording, by the rule the command line follows, and
    // updates the open map; false and nothing changed when the selection lies outside the data.
    bool selectSample(std::int64_t nSample);
    bool selectFreqBin(int nBin);
    bool selectCell(int nRow, int nColumn);

    // The recording when it is a long one shown a page at a time, else null.
    CPagedRecording* getPagedRecording() const;
    // The selected sample: of the whole recording for a long one, else of the trial.
    std::int64_t getSelectedSample() const;
    // Long recordings only, false otherwise or when there is nowhere to go. A page forward
    // (nDirection > 0) or back, the cursor keeping its place on the page (or stopping at the
    // first or last sample written).
    bool turnPage(int nDirection);
    // Pages of this many seconds from now on, the selected sample kept.
    bool setPageSeconds(double dSeconds);
    // To the next (nDirection > 0) or previous event or annotation, at its first sample.
    bool jumpToMark(int nDirection);
    // Play's speed for long recordings: 1 is real time.
    void setPlaySpeed(double dFactor);
    double getPlaySpeed() const { return m_dPlaySpeed; }

    // As the Maps menu does: opens (or raises) the map, placed beside this window the first time.
    void openMap(EMapWindow nMap);
    QAction* getMapAction(EMapWindow nMap) const { return m_apMapAction[nMap]; }
    // The top-level window of an opened map, null before it was opened.
    QWidget* getMapWindow(EMapWindow nMap) const { return m_apMapWindow[nMap]; }

    void setPlaying(bool bPlay);
    bool isPlaying() const { return m_timerPlay.isActive(); }

    C3DRendDlgFaceqv& getFace() { return m_face; }
    CButterflyPlot* getPlot() const { return m_pPlot; }
    // The colour bars of the open time-domain, frequency, spectral and smooth field maps.
    CColorBarPanel* getColorBars() const { return m_pColorBars; }
    QPushButton* getPlayButton() const { return m_pPlayButton; }
    COverviewStrip* getOverview() const { return m_pOverview; }
    CMarkList* getMarkList() const { return m_pMarkList; }
    QComboBox* getPageLengthBox() const { return m_pPageBox; }
    QComboBox* getSpeedBox() const { return m_pSpeedBox; }

    // The channel-selection callback handed to the facade. It reaches the most recently created
    // window, since the callback carries no context.
    static int onChannelPicked(int nChannel, int nReserved);
    // Shows the picked channel (status bar, plot, one line on standard output) and tells the
    // time-domain and smooth field maps; 0 when the slot holds no channel.
    int pickChannel(int nSlot);

protected:
    // A message for the user about something that failed; a warning box by default.
    virtual void reportError(const QString& strText);
    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void _createActions();
    void _createControls();
    void _openFile();
    void _createPagedControls(QWidget* pParent);
    void _firstPageReady(const QString& strJsonPath);
    // A conversion's progress: the store of the recording it is writing has grown.
    void _conversionProgressed();
    void _conversionFinished(const QString& strJsonPath);
    // Shows or hides what only long recordings have, and fills it from the recording.
    void _showPagedControls();
    // After a selection or a page change: the plot re-reads a turned page, the overview and the
    // sample selector follow.
    void _followPage(bool bReread);
    void _conversionFailed(const QString& strLine);
    void _setBusy(bool bBusy);
    void _playTick();
    // Ranges, values and labels of the selectors from the recording, without feedback.
    void _updateSelectors();
    void _updateLabels();
    void _adoptMapWindow(EMapWindow nMap, const QList<QWidget*>& before);
    // Beside this window, each further map a step down and to the right.
    void _placeMapWindow(EMapWindow nMap, QWidget* pWindow);
    void _openSmoothMap();
    // The facade's update call of the map (a range check and a repaint while it is shown),
    // followed by its colour bar.
    void _updateMap(SMapKinds::EMapKind nKind);
    // The bars follow the maps through renderers of their own, loaded when a map opens and range
    // checked on every selection change as the facade does with the map's renderer.
    void _loadColorBar(SMapKinds::EMapKind nKind);
    void _checkColorBar(SMapKinds::EMapKind nKind);
    void _showColorBar(SMapKinds::EMapKind nKind);
    void _showSmoothColorBar();

    std::unique_ptr<CMEGDataqv> m_pRecording;
    // Declared after the recordings: its dialogs close before the data they show goes away.
    C3DRendDlgFaceqv m_face;
    // Made when first opened; told of every new recording at once, so it keeps none of its own.
    std::unique_ptr<CSmoothMapWindow> m_pSmoothWindow;

    CShow3DCntMapqv m_aBarMap[SMapKinds::nMapKinds]; // by kind

    CButterflyPlot* m_pPlot = nullptr;
    CColorBarPanel* m_pColorBars = nullptr;
    QPushButton* m_pPlayButton = nullptr;
    QSpinBox* m_pSampleSpin = nullptr;
    QSpinBox* m_pBinSpin = nullptr;
    QSpinBox* m_pRowSpin = nullptr;
    QSpinBox* m_pColumnSpin = nullptr;
    QLabel* m_pSampleLabel = nullptr;
    QLabel* m_pBinLabel = nullptr;
    QLabel* m_pCellLabel = nullptr;
    COverviewStrip* m_pOverview = nullptr;
    CMarkList* m_pMarkList = nullptr;
    QDockWidget* m_pMarkDock = nullptr;
    QWidget* m_pPagedControls = nullptr;
    QComboBox* m_pPageBox = nullptr;
    QComboBox* m_pSpeedBox = nullptr;
    QMenu* m_pNavigateMenu = nullptr;
    std::vector<SRecordingMark> m_aMarks;
    std::int64_t m_nShownPageFirst = -1;
    std::int64_t m_nShownPageLength = -1;
    double m_dPlaySpeed = 1.0;
    QElapsedTimer m_playClock;
    std::int64_t m_nPlayFrom = 0;
    std::int64_t m_nPlayAt = 0;
    // The recording shown is the first part of the one being converted, its store still growing.
    bool m_bGrowing = false;
    QAction* m_apMapAction[nMaps] = {};
    QPointer<QWidget> m_apMapWindow[nMaps];
    int m_nPlacedMaps = 0;
    QTimer m_timerPlay;
    CRecordingConverter m_converter;
    SConversionOptions m_conversion;
    QString m_strConverting; // the MEG file being converted
    bool m_bBusy = false;
};
