#include "ocrengine.h"

#include "inkboxes.h"
#include "pageimage.h"
#include "pageturn.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>

#include <leptonica/allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <string>
#include <vector>

Q_LOGGING_CATEGORY(lcOcr, "scanvy.ocr", QtWarningMsg)

namespace {

const char kDefaultDataFolder[] = "/usr/share/tesseract-ocr/5/tessdata";

// Resolutions Tesseract takes as given; outside them it guesses its own.
constexpr int kLowestDpi = 70;
constexpr int kHighestDpi = 2400;

// Tesseract's parallel loops ask for several threads each; with no active
// parallel level allowed every loop runs on the calling thread alone. The
// setting belongs to the thread that calls it, so each engine's thread sets
// it before recognising.
void KeepToOneThread()
{
    omp_set_max_active_levels(0);
}

bool CancelRequested(void* flag, int)
{
    return static_cast<const std::atomic<bool>*>(flag)->load();
}

// The page as 8-bit grey, upright as the user sees it.
QImage UprightGrey(const QImage& page, int angle)
{
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    return NormalTurn(angle) == 0 ? grey : TurnImage(grey, angle);
}

int ResolutionOf(const QImage& page)
{
    const int dpi = DotsPerInch(page.dotsPerMeterY());
    return dpi >= kLowestDpi && dpi <= kHighestDpi ? dpi : 0;
}

QRect BoxOf(const tesseract::ResultIterator& it, tesseract::PageIteratorLevel level)
{
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!it.BoundingBox(level, &left, &top, &right, &bottom)) {
        return QRect();
    }
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

// A Chinese, Japanese or Korean character: the recogniser joins such
// characters into words of its own dictionary, but a Chinese text is marked
// character by character.
bool IsWide(const QString& symbol)
{
    for (const QChar c : symbol) {
        const ushort u = c.unicode();
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFF00 && u <= 0xFFEF) ||
            c.isSurrogate()) {
            return true;
        }
    }
    return false;
}

int ConfidenceOf(const tesseract::ResultIterator& it, tesseract::PageIteratorLevel level)
{
    return qBound(0, qRound(it.Confidence(level)), 100);
}

// The page as Tesseract thresholded it, one bit per pixel, 1 for ink.
QImage ThresholdedPage(tesseract::TessBaseAPI* api, const QSize& size)
{
    Pix* pix = api->GetThresholdedImage();
    if (pix == nullptr) {
        return QImage();
    }
    QImage ink;
    if (pixGetDepth(pix) == 1 && pixGetWidth(pix) == size.width() && pixGetHeight(pix) == size.height()) {
        ink = QImage(size, QImage::Format_Mono);
        const int wpl = pixGetWpl(pix);
        const int bytes = (size.width() + 7) / 8;
        for (int y = 0; y < size.height(); ++y) {
            const l_uint32* words = pixGetData(pix) + y * wpl;
            uchar* line = ink.scanLine(y);
            // Leptonica keeps the first pixel in the highest bit of a word.
            for (int i = 0; i < bytes; ++i) {
                line[i] = uchar(words[i / 4] >> (24 - 8 * (i % 4)));
            }
        }
    }
    pixDestroy(&pix);
    return ink;
}

// One symbol or word as the recogniser gave it.
struct Piece {
    QString text;
    QRect box;
    int confidence = 0;
    bool wide = false;
};

struct PieceLine {
    QRect box;
    QVector<Piece> pieces;
};

// The pieces of one line as words: each run of Chinese characters gets the
// boxes fitted to its ink between the words on either side.
TextLine LineOf(const PieceLine& line, const InkBoxes* ink)
{
    QVector<Piece> pieces = line.pieces;
    if (ink != nullptr) {
        for (Piece& piece : pieces) {
            if (!piece.wide) {
                piece.box = ink->FitWord(piece.box, line.box);
            }
        }
    }
    TextLine out;
    for (int i = 0; i < pieces.size();) {
        int end = i + 1;
        while (pieces.at(i).wide && end < pieces.size() && pieces.at(end).wide) {
            ++end;
        }
        QVector<QRect> boxes;
        if (pieces.at(i).wide && ink != nullptr) {
            QRect bounds = line.box;
            for (int k = i; k < end; ++k) {
                bounds |= pieces.at(k).box;
            }
            const int left = i > 0 ? pieces.at(i - 1).box.right() + 1 : bounds.left();
            const int right = end < pieces.size() ? pieces.at(end).box.left() - 1 : bounds.right();
            boxes = ink->Fit(QRect(QPoint(left, bounds.top()), QPoint(right, bounds.bottom())), end - i);
        }
        for (int k = i; k < end; ++k) {
            const Piece& piece = pieces.at(k);
            const QRect box = boxes.size() == end - i ? boxes.at(k - i) : piece.box;
            out.words.append(TextWord{piece.text, box, piece.confidence});
            out.box |= box;
        }
        i = end;
    }
    return out;
}

// The recognised page in reading order, in paragraphs and lines as
// Tesseract found them; empty lines and paragraphs are left out. Chinese
// characters become words of their own; other symbols stay in the
// recogniser's words.
void CollectWords(tesseract::TessBaseAPI* api, const std::atomic<bool>* cancel, PageText* text)
{
    std::unique_ptr<tesseract::ResultIterator> it(api->GetIterator());
    if (!it) {
        return;
    }
    const QRect page(QPoint(0, 0), text->pageSize);
    QVector<QVector<PieceLine>> paragraphs;
    Piece word; // the word being put together
    const auto endWord = [&] {
        word.text = word.text.trimmed();
        word.box &= page;
        if (!word.text.isEmpty() && !word.box.isEmpty()) {
            paragraphs.last().last().pieces.append(word);
        }
        word = Piece();
    };
    do {
        if (cancel != nullptr && cancel->load()) {
            return;
        }
        if (it->IsAtBeginningOf(tesseract::RIL_PARA) || paragraphs.isEmpty()) {
            endWord();
            paragraphs.append(QVector<PieceLine>());
        }
        if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE) || paragraphs.last().isEmpty()) {
            endWord();
            paragraphs.last().append(PieceLine{BoxOf(*it, tesseract::RIL_TEXTLINE) & page, {}});
        }
        if (!it->Empty(tesseract::RIL_SYMBOL)) {
            const std::unique_ptr<char[]> utf8(it->GetUTF8Text(tesseract::RIL_SYMBOL));
            const QString symbol = QString::fromUtf8(utf8.get());
            const QRect box = BoxOf(*it, tesseract::RIL_SYMBOL);
            if (IsWide(symbol)) {
                endWord();
                word = Piece{symbol, box, ConfidenceOf(*it, tesseract::RIL_SYMBOL), true};
                endWord();
            } else {
                word.text += symbol;
                word.box |= box;
                word.confidence = ConfidenceOf(*it, tesseract::RIL_WORD);
            }
        }
        if (it->IsAtFinalElement(tesseract::RIL_WORD, tesseract::RIL_SYMBOL)) {
            endWord();
        }
    } while (it->Next(tesseract::RIL_SYMBOL));
    if (!paragraphs.isEmpty()) {
        endWord();
    }

    const QImage thresholded = ThresholdedPage(api, text->pageSize);
    const InkBoxes ink(thresholded);
    for (const QVector<PieceLine>& lines : qAsConst(paragraphs)) {
        TextParagraph paragraph;
        for (const PieceLine& line : lines) {
            if (!line.pieces.isEmpty()) {
                paragraph.lines.append(LineOf(line, thresholded.isNull() ? nullptr : &ink));
            }
        }
        if (!paragraph.lines.isEmpty()) {
            text->paragraphs.append(paragraph);
        }
    }
}

} // namespace

OcrEngine::OcrEngine() = default;

OcrEngine::~OcrEngine()
{
    if (m_api) {
        m_api->End();
    }
}

QString OcrEngine::DataFolder()
{
    const QString prefix = QString::fromLocal8Bit(qgetenv("TESSDATA_PREFIX"));
    return prefix.isEmpty() ? QString::fromLatin1(kDefaultDataFolder) : prefix;
}

bool OcrEngine::IsReady() const
{
    return m_api != nullptr && m_language != OcrLanguage::None;
}

QString OcrEngine::Load(OcrLanguage language)
{
    if (language == m_language && (m_api != nullptr || language == OcrLanguage::None)) {
        return QString();
    }
    if (m_api) {
        m_api->End();
        m_api.reset();
    }
    m_language = OcrLanguage::None;
    if (language == OcrLanguage::None) {
        return QString();
    }
    // Tesseract only prints to the error stream when a data file is
    // missing; look first, so that the user learns which package to install.
    const QString folder = DataFolder();
    const QStringList sets = OcrDataSets(language);
    QStringList missing;
    for (const QString& set : sets) {
        if (!QFileInfo(folder + QLatin1Char('/') + set + QStringLiteral(".traineddata")).isReadable()) {
            missing.append(OcrDataPackage(set));
        }
    }
    if (!missing.isEmpty()) {
        return tr("未安装文字识别数据：%1").arg(missing.join(QLatin1Char(' ')));
    }
    KeepToOneThread();
    std::unique_ptr<tesseract::TessBaseAPI> api(new tesseract::TessBaseAPI);
    const QByteArray codes = sets.join(QLatin1Char('+')).toLatin1();
    const bool initialised =
        api->Init(QFile::encodeName(folder).constData(), codes.constData(), tesseract::OEM_LSTM_ONLY) == 0;
    // Tesseract goes on with the languages it could load when the data of
    // another is damaged; a Chinese page read with English alone would be
    // nonsense given out as a result.
    std::vector<std::string> loaded;
    if (initialised) {
        api->GetLoadedLanguagesAsVector(&loaded);
    }
    QStringList damaged;
    for (const QString& set : sets) {
        if (std::find(loaded.begin(), loaded.end(), set.toStdString()) == loaded.end()) {
            damaged.append(OcrDataPackage(set));
        }
    }
    if (!damaged.isEmpty()) {
        qCWarning(lcOcr) << "cannot load recognition data" << codes << "from" << folder;
        return tr("文字识别数据无法加载：%1").arg(damaged.join(QLatin1Char(' ')));
    }
    api->SetPageSegMode(tesseract::PSM_AUTO);
    // The engine's own chatter ("Empty page!!" for a page without text) is
    // not ours to print: our diagnostics go through the logging category.
    api->SetVariable("debug_file", "/dev/null");
    if (language != OcrLanguage::English) {
        // Chinese characters are set on a fixed pitch; without that model
        // the layout analysis takes whole lines of dense characters for
        // noise and drops them.
        api->SetVariable("textord_use_cjk_fp_model", "1");
    }
    m_api = std::move(api);
    m_language = language;
    return QString();
}

OcrResult OcrEngine::Recognise(const QString& path, int angle, const std::atomic<bool>* cancel)
{
    OcrResult result;
    if (!IsReady()) {
        result.message = tr("未选择文字识别语言");
        return result;
    }
    // The engine may have been made on another thread; the limit is the
    // calling thread's.
    KeepToOneThread();
    QSize size;
    {
        // The decoded page and its grey copy go as soon as Tesseract has its
        // own copy: a colour A4 page at 300 dpi is some 45 MB of them, held
        // by every worker for the whole of its page otherwise.
        const QImage page = LoadPageImage(path);
        if (page.isNull() || NormalTurn(angle) < 0) {
            result.status = OcrResult::Unreadable;
            result.message = tr("无法读取页面文件：%1").arg(path);
            return result;
        }
        const QImage upright = UprightGrey(page, angle);
        if (upright.isNull()) {
            result.status = OcrResult::Failed;
            result.message = tr("内存不足，无法识别页面：%1").arg(path);
            return result;
        }
        size = upright.size();
        KeepToOneThread();
        m_api->SetImage(upright.constBits(), upright.width(), upright.height(), 1, upright.bytesPerLine());
        const int dpi = ResolutionOf(page);
        if (dpi > 0) {
            m_api->SetSourceResolution(dpi);
        }
    }
    tesseract::ETEXT_DESC monitor;
    if (cancel != nullptr) {
        monitor.cancel = &CancelRequested;
        monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
    }
    const bool recognised = m_api->Recognize(&monitor) == 0;
    result.progress = monitor.progress;
    if (cancel != nullptr && cancel->load()) {
        m_api->Clear();
        result.status = OcrResult::Cancelled;
        return result;
    }
    if (!recognised) {
        m_api->Clear();
        result.status = OcrResult::Failed;
        result.message = tr("文字识别失败：%1").arg(path);
        return result;
    }
    PageText uprightText;
    uprightText.pageSize = size;
    uprightText.language = OcrLanguageKey(m_language);
    CollectWords(m_api.get(), cancel, &uprightText);
    m_api->Clear();
    if (cancel != nullptr && cancel->load()) {
        result.status = OcrResult::Cancelled;
        return result;
    }
    result.status = OcrResult::Done;
    result.text = TurnPageText(uprightText, -angle);
    return result;
}
