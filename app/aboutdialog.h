#pragma once

#include <QDialog>

// "关于": program name and version with the application icon.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    static QString VersionText();
};
