#pragma once

#include "ocrlanguage.h"
#include "pagetext.h"

#include <QCoreApplication>
#include <QString>

#include <atomic>
#include <memory>

namespace tesseract {
class TessBaseAPI;
}

// What recognising one page gave.
struct OcrResult {
    enum Status {
        Done,       // `text` holds the page's text (maybe no word at all)
        Cancelled,  // the cancel flag was raised; `text` is empty
        Unreadable, // the page file does not decode; `message` says so
        NotReady,   // the engine has no language; `message` says why
        Failed,     // the recogniser gave up on the page; `message` says so
    };
    Status status = NotReady;
    PageText text;
    QString message;
    int progress = 0; // percent of the page's words recognised when it ended
};

// One Tesseract recogniser, for one thread at a time: made once per worker
// thread and reused for every page (loading the language data takes far
// longer than a page). Tesseract runs single-threaded in it, so that two
// engines keep two cores busy and no more.
class OcrEngine {
    // The messages for the user are in the language of the interface (the
    // translator installed when a message is made).
    Q_DECLARE_TR_FUNCTIONS(OcrEngine)

public:
    OcrEngine();
    ~OcrEngine();
    OcrEngine(const OcrEngine&) = delete;
    OcrEngine& operator=(const OcrEngine&) = delete;

    // The folder of the recognition data: $TESSDATA_PREFIX when set (the
    // variable Tesseract itself reads), else Debian's
    // "/usr/share/tesseract-ocr/5/tessdata".
    static QString DataFolder();

    // Loads the data of `language`. Empty when the engine is ready, else the
    // message for the user: "未安装文字识别数据：tesseract-ocr-chi-sim" names
    // the packages whose data is missing (several parted by a space). None
    // unloads the engine and gives an empty message. Loading the language
    // the engine already has does nothing. Data that is there but does not
    // load gives "文字识别数据无法加载：tesseract-ocr-chi-sim" (the packages to
    // install again).
    QString Load(OcrLanguage language);
    OcrLanguage Language() const { return m_language; }
    bool IsReady() const;

    // Recognises the page file `path` as the user sees it, turned clockwise
    // by `angle` (0, 90, 180, 270). The boxes of the result are in the pixels
    // of the file as it is stored (not turned), empty and white-space words
    // are dropped. `cancel`, when given, is watched during the page: once it
    // is true the page ends as Cancelled.
    OcrResult Recognise(const QString& path, int angle, const std::atomic<bool>* cancel = nullptr);

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    OcrLanguage m_language = OcrLanguage::None;
};
