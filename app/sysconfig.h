#pragma once

#include "ocrlanguage.h"

#include <QString>

class ConfigSetting;

// In-memory copy of the system settings ("SysConfig.ini").
struct SysConfig {
    ConfigSetting* settings = nullptr; // owned by SysConfigPage
    QString filePath;
    QString prefix;
    QString fileFormat;
    int scanCount = 1;
    int minDigits = 4;
    int screenHeight = 0;
    int screenWidth = 0;
    bool saveAfterScan = false;
    // "ShowAllScanners": every SANE device, not only the families'.
    bool showAllScanners = false;
    QString language;
    // "OcrLanguage": the language pages are recognised in (None: off).
    OcrLanguage ocrLanguage = OcrLanguage::None;
};
