#include "marklist.h"

#include "timeaxis.h"

#include "pagedrecording.h"

#include <QHeaderView>

CMarkList::CMarkList(QWidget* pParent) : QTreeWidget(pParent) {
    setColumnCount(3);
    setHeaderLabels({"Time", "Mark", "Length"});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    setToolTip("Click a mark to go to it; ] and [ (or Ctrl+Right and Ctrl+Left) go to the next "
               "and the previous one.");
    const auto jump = [this](QTreeWidgetItem* pItem) {
        if (pItem)
            emit jumpRequested(pItem->data(0, Qt::UserRole).toLongLong());
    };
    connect(this, &QTreeWidget::itemClicked, this, jump);
    connect(this, &QTreeWidget::itemActivated, this, jump);
}

void CMarkList::setRecording(CPagedRecording* pRecording) {
    clear();
    const double dRate = pRecording ? pRecording->getSamplingRate() : 0.0;
    if (!pRecording)
        return;
    const double dFirst = pRecording->getRecordingFirstTime();
    const bool bMinutes =
        dRate > 0.0 && timeaxis::usesMinutes(pRecording->getTotalSamples() / dRate);
    QList<QTreeWidgetItem*> aItems;
    for (const SRecordingMark& mark : collectMarks(*pRecording)) {
        const QString strTime = dRate > 0.0
                                    ? timeaxis::text(dFirst + mark.nSample / dRate, bMinutes)
                                    : QString("sample %1").arg(mark.nSample);
        QString strLength;
        if (mark.nSamples > 0)
            strLength = dRate > 0.0 ? timeaxis::text(mark.nSamples / dRate, false)
                                    : QString("%1 samples").arg(mark.nSamples);
        auto* pItem = new QTreeWidgetItem({strTime, mark.strText, strLength});
        pItem->setData(0, Qt::UserRole, static_cast<qlonglong>(mark.nSample));
        pItem->setForeground(1, SRecordingMark::lineColor(mark.nKind));
        aItems.push_back(pItem);
    }
    addTopLevelItems(aItems);
}

void CMarkList::showMarkAt(std::int64_t nSample) {
    for (int k = 0; k < topLevelItemCount(); ++k) {
        QTreeWidgetItem* pItem = topLevelItem(k);
        if (pItem->data(0, Qt::UserRole).toLongLong() == nSample) {
            setCurrentItem(pItem);
            scrollToItem(pItem);
            return;
        }
    }
}
