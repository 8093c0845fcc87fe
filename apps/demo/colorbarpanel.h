#pragma once

#include "colorscale.h"

#include <QWidget>

#include <string>

// The colour bars of the open maps, stacked from the top (time-domain, frequency, spectral),
// each with its map's title: a bar from the data minimum to the maximum in the colours the map
// gives those values, with the thresholds and extremes labelled. Hidden while no bar is shown.
class CColorBarPanel : public QWidget {
    Q_OBJECT
public:
    enum { nBars = 3 }; // one per CColorScale::EMapKind

    explicit CColorBarPanel(QWidget* pParent = nullptr);

    void setBar(CColorScale::EMapKind nKind, const CColorScale& scale, const std::string& strUnit);
    void clearBar(CColorScale::EMapKind nKind);
    bool hasBar(CColorScale::EMapKind nKind) const { return m_aBars[nKind].bShown; }
    const CColorScale& getScale(CColorScale::EMapKind nKind) const { return m_aBars[nKind].scale; }
    const std::string& getUnit(CColorScale::EMapKind nKind) const { return m_aBars[nKind].strUnit; }
    // Where the bar itself is drawn, in the panel's coordinates; empty while it is not shown.
    QRect barRect(CColorScale::EMapKind nKind) const;

    static QString title(CColorScale::EMapKind nKind);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    struct SBar {
        bool bShown = false;
        CColorScale scale;
        std::string strUnit;
    };

    // The part of the panel bar nKind takes: an equal share of the height per shown bar.
    QRect _sectionRect(CColorScale::EMapKind nKind) const;
    void _relayout();

    SBar m_aBars[nBars];
};
