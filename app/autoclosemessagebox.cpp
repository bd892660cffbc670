#include "autoclosemessagebox.h"

#include <QMessageBox>
#include <QTimer>

void AutoCloseMessageBox::information(QWidget* parent, const QString& title, const QString& text, int delayMs)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.setObjectName(QStringLiteral("AutoCloseMessageBox"));
    QTimer::singleShot(delayMs, &box, &QDialog::accept);
    box.exec();
}
