#pragma once

#include "pagestamp.h"
#include "pagetext.h"

#include <QByteArray>
#include <QString>

// The recognised text of a page, kept in the work folder beside the page
// file as "<page file>.text", so that a restored session does not recognise
// its pages again. The name ends in ".text", which no page file has:
// recovery never takes it for a page, and page numbers are read from page
// names only.
//
// The file starts with a line naming the bytes of the page the text was
// recognised from (its PageStamp) and the turn the page was recognised at,
// then holds the text as PageTextToJson gives it. Since every writer of pages renames a new file over the old
// one, a page that was re-scanned, rewritten or replaced no longer matches the stamp, and its old text is not
// taken for it; nor is a text recognised while the page was turned otherwise (sideways text reads as
// nonsense).
namespace TextStore {

// "<page>.text".
QString TextPath(const QString& pagePath);

// The content of the file for `text`, recognised from the page of `stamp`
// turned clockwise by `angle`.
QByteArray Encode(const PageStamp& stamp, int angle, const PageText& text);
// The text of `data` when it is whole and was recognised from `stamp` at
// `angle`.
bool Decode(const QByteArray& data, const PageStamp& stamp, int angle, PageText* out);

// Writes the text of `pagePath`, recognised from the bytes of `stamp` turned
// by `angle`, atomically (a new file renamed over the old one). False, errno set and the
// old file untouched, when that fails (a full disk).
bool Write(const QString& pagePath, const PageStamp& stamp, int angle, const PageText& text);

// The stored text of `pagePath` as recognised at `angle`. False, and `out`
// empty, when there is none or it cannot be trusted: damaged, cut short,
// recognised from other bytes than the page file now holds or at another
// angle.
bool Read(const QString& pagePath, int angle, PageText* out);

// Removes the stored text of `pagePath`; true when none is left.
bool Remove(const QString& pagePath);

} // namespace TextStore
