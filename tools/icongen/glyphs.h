#pragma once

#include <QImage>
#include <QList>
#include <QPair>
#include <QString>

// The 32 x 32 action icons, keyed by their file name.
QList<QPair<QString, QImage>> DrawActionGlyphs();

// Start-up picture (483 x 160) with the program name in the given language.
QImage DrawSplash(const QString& title, const QString& subtitle);
