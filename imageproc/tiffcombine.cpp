#include "tiffcombine.h"

#include "tiffassembler.h"

int combine2multiff(const QList<QString>& inputs, const QString& output, const QString& compression)
{
    // Check every input before the output is created.
    for (const QString& input : inputs) {
        if (!TiffAssembler::Resolvable(input))
            return 1;
    }
    TiffAssembler tiff;
    if (!tiff.Open(output, compression))
        return 1;
    for (const QString& input : inputs) {
        if (!tiff.AddFile(input))
            return 1;
    }
    return tiff.Commit() ? 0 : 1;
}

int compresstiff(const QString& src, const QString& dst, const QString& compression)
{
    return combine2multiff(QList<QString>{src}, dst, compression);
}
