#pragma once

#include <QImage>
#include <QString>

#include <memory>

class TargetFile;
struct JpegInfo;
typedef struct tiff TIFF;

// Builds one big-endian TIFF file directory by directory, in strips of 16
// rows, with one compression for all (see combine2multiff for the syntax)
// but the black and white images of AddBilevel.
// The file appears at its target only on Commit().
class TiffAssembler {
public:
    TiffAssembler();
    ~TiffAssembler();
    TiffAssembler(const TiffAssembler&) = delete;
    TiffAssembler& operator=(const TiffAssembler&) = delete;

    // False for an unknown compression or when the output cannot be created.
    bool Open(const QString& output, const QString& compression);
    // Copies every directory of a TIFF file (or those chosen with the
    // selector syntax "path,<dir>[,<dir>...]" when `input` does not exist as
    // written); tiled inputs keep their tiles.
    bool AddFile(const QString& input);
    // Writes an image as the copy of a TIFF file written by Qt's TIFF writer
    // would be (8-bit RGB or grey, orientation and resolution tags alike).
    static bool CanAddImage(const QImage& image);
    bool AddImage(const QImage& image);
    // Writes a black and white image (1-bit, a colour table of black and
    // white) as CCITT Group 4, 0 white, whatever the compression of the
    // other directories: no other scheme codes such pages as small.
    static bool IsBilevel(const QImage& image);
    bool AddBilevel(const QImage& image);
    // Puts a whole JPEG file, whose headers `info` describes, into a
    // directory of its own as it is: one strip of JPEG compression holding
    // the complete stream with its own tables, YCbCr with the frame's
    // subsampling (or grey), the JFIF resolution. Nothing is decoded, so the
    // directory shows exactly what the file shows. Only for
    // info.TiffStrippable() files.
    bool AddJpeg(const QByteArray& data, const JpegInfo& info);
    // Closes the file and puts it at the target. False if anything failed.
    bool Commit();

    // True when `input` names a readable TIFF file, possibly with selectors.
    static bool Resolvable(const QString& input);
    // True when every directory of the TIFF file `path` holds 8-bit RGB
    // samples, which JPEG compression takes as they are (AddFile with "jpeg").
    static bool JpegCopyable(const QString& path);

private:
    struct Options;
    std::unique_ptr<Options> m_opt;
    std::unique_ptr<TargetFile> m_target;
    TIFF* m_out = nullptr;
    bool m_failed = false;
};
