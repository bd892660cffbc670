#pragma once

#include "ofdtext.h"

#include <QList>
#include <QString>

// One page as written into the package: its boxes as OFD text and the
// objects it shows.
struct TextInfo {
    bool isImage = false;
    int imageNumber = 0;
    QString path; // page file copied into the package
};

struct OFDLineInfo {
    QList<TextInfo> texts;
};

struct OFDPageInfo {
    QString PhysicalBox;
    QString Boundary;
    QString CTM;
    QList<OFDLineInfo> lines;
    QVector<OfdTextLine> textLines; // laid over the image, unpainted
};
