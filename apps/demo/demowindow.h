#pragma once

#include "3drenddlgfaceqv.h"
#include "colorscale.h"
#include "recordingsource.h"
#include "show3dcntmap.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class CButterflyPlot;
class CColorBarPanel;
class CSmoothMapWindow;
class CMEGDataqv;
class QAction;
class QLabel;
class QPushButton;
class QSpinBox;

// The host application around the map dialogs: owns the recording, shows its MEG channels as a
// butterfly plot with a time cursor, lets the user pick the sample, frequency bin and
// time-frequency cell, and opens the four maps through the facade and a smooth field map window
// of its own. Every selection change is written into the recording and followed by the facade's
// matching update and the smooth map's, so open maps follow.
class CDemoWindow : public QMainWindow {
    Q_OBJECT
public:
    enum EMap { mapTime, mapFrequency, mapSpectral, mapModeling, mapSmooth, nMaps };
    // Samples the Play button advances per tick of 40 ms.
    enum { nPlayStep = 4, nPlayIntervalMs = 40 };

    explicit CDemoWindow(QWidget* pParent = nullptr);
    ~CDemoWindow() override;

    // Takes the recording (null is ignored) and names it in the title; open maps are handed
    // the new one.
    void setRecording(std::unique_ptr<CMEGDataqv> pRecording, const QString& strName);
    // Opens a JSON recording at once, or converts a MEG file with the MNE bridge in the
    // background (from the cache when it was converted before): a busy cursor and the bridge's
    // steps in the status bar meanwhile, while the current recording stays until the new one is
    // loaded. A failure is reported with the loader's or the bridge's line. False when the file
    // was refused at once; opening another file stops a conversion still running.
    bool openRecording(const QString& strPath);
    bool isConverting() const { return m_converter.isRunning(); }
    // What MEG files are converted with (--ch-type, --condition, --no-proj, --keep-dc).
    void setConversionOptions(const SConversionOptions& options) { m_conversion = options; }
    CMEGDataqv* getRecording() const { return m_pRecording.get(); }

    // Each sets the selection in the recording, by the rule the command line follows, and
    // updates the open map; false and nothing changed when the selection lies outside the data.
    bool selectSample(std::int64_t nSample);
    bool selectFreqBin(int nBin);
    bool selectCell(int nRow, int nColumn);

    // As the Maps menu does: opens (or raises) the map, placed beside this window the first time.
    void openMap(EMap nMap);
    QAction* getMapAction(EMap nMap) const { return m_apMapAction[nMap]; }
    // The top-level window of an opened map, null before it was opened.
    QWidget* getMapWindow(EMap nMap) const { return m_apMapWindow[nMap]; }

    void setPlaying(bool bPlay);
    bool isPlaying() const { return m_timerPlay.isActive(); }

    C3DRendDlgFaceqv& getFace() { return m_face; }
    CButterflyPlot* getPlot() const { return m_pPlot; }
    // The colour bars of the open time-domain, frequency, spectral and smooth field maps.
    CColorBarPanel* getColorBars() const { return m_pColorBars; }
    QPushButton* getPlayButton() const { return m_pPlayButton; }

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
    void _conversionFinished(const QString& strJsonPath);
    void _conversionFailed(const QString& strLine);
    void _setBusy(bool bBusy);
    // The map kind of each map that has one.
    static CColorScale::EMapKind _kindOf(EMap nMap);
    void _playTick();
    // Ranges, values and labels of the selectors from the recording, without feedback.
    void _updateSelectors();
    void _updateLabels();
    void _adoptMapWindow(EMap nMap, const QList<QWidget*>& before);
    // Beside this window, each further map a step down and to the right.
    void _placeMapWindow(EMap nMap, QWidget* pWindow);
    void _openSmoothMap();
    // The facade's update call of the map (a range check and a repaint while it is shown),
    // followed by its colour bar.
    void _updateMap(EMap nMap);
    // The bars follow the maps through renderers of their own, loaded when a map opens and range
    // checked on every selection change as the facade does with the map's renderer.
    void _loadColorBar(EMap nMap);
    void _checkColorBar(EMap nMap);
    void _showColorBar(EMap nMap);

    // Maps that were hidden keep the recording they were given until they are shown again, so
    // a replaced recording stays alive as long as such a map may exist.
    std::vector<std::unique_ptr<CMEGDataqv>> m_aRetired;
    std::unique_ptr<CMEGDataqv> m_pRecording;
    // Declared after the recordings: its dialogs close before the data they show goes away.
    C3DRendDlgFaceqv m_face;
    // Made when first opened; told of every new recording at once, so it keeps none of its own.
    std::unique_ptr<CSmoothMapWindow> m_pSmoothWindow;

    CShow3DCntMapqv m_aBarMap[mapModeling];

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
    QAction* m_apMapAction[nMaps] = {};
    QPointer<QWidget> m_apMapWindow[nMaps];
    int m_nPlacedMaps = 0;
    QTimer m_timerPlay;
    CRecordingConverter m_converter;
    SConversionOptions m_conversion;
    QString m_strConverting; // the MEG file being converted
    bool m_bBusy = false;
};
