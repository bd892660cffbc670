#pragma once

#include "pagetext.h"

#include <QList>
#include <QString>

// Input description of one OFD page: its size and what it shows. This system
// only produces image pages (one block with one image fragment).
struct FragmentInfo {
    bool isImage = false;
    QString path;        // image file shown by the fragment
    int imageNumber = 0; // n of "image_n.ext"
    int pixelHeight = 0;
    int pixelWidth = 0;
    bool readable = false; // the image decodes (a JPEG file: its headers are whole)
};

struct BlockInfo {
    QList<FragmentInfo> fragments;
};

struct TableInfo {};

// The page as shown: its image turned clockwise by `angle` (0, 90, 180 or
// 270), its pixel and page sizes those of the turned image; the fragment
// keeps the image file's own size.
struct PageInfo {
    int angle = 0;
    int pixelHeight = 0;
    int pixelWidth = 0;
    double heightMm = 0;
    double widthMm = 0;
    QList<BlockInfo> blocks;
    QList<TableInfo> tables;
    PageText text; // the page's recognised text, turned with the page
};
