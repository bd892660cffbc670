#pragma once

#include "parentscanneroptions.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QWidget>

class QComboBox;
class QFormLayout;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// Settings panel of any SANE device outside the scanner families, built at
// run time from the device's own option descriptors: one section per SANE
// group, a widget per type and constraint, the advanced options in a
// collapsible "高级" section, vector options left out. A paper-size choice
// sets the scan area when the device has one in millimetres.
//
// The panel does not talk to the device. A committed edit (or a press of a
// button option) is announced through sglOptionEdited; whoever owns the
// device sets the panel's values there and, when the device asks for it,
// hands the options back through ReloadOptions.
class GenericScannerOptionsWidget : public QWidget, public ParentScannerOptions {
    Q_OBJECT
public:
    explicit GenericScannerOptionsWidget(QWidget* parent = nullptr);

    // Builds the panel from m_options and fills it with the device's values.
    void InitOptionsByDefault() override;
    void InitOther() override;
    int GetTotalScanCount() override;
    QString GetMode() override;
    QString GetSource() override;

    // The device reported other options or values after a change: the panel
    // shows them, keeping the scroll position, the focus and the open state
    // of the advanced section.
    void ReloadOptions(const QHash<QString, Opt_Result>& options);
    // Whether an option shown is active on the device but disabled here, or
    // the other way round (the panel was put back to what it showed before
    // a change the device still holds).
    bool ActivityDiffers(const QHash<QString, Opt_Result>& options) const;

    // A source that feeds sheets ("ADF", "Automatic Document Feeder",
    // "Duplex", ...) scans until the feeder is empty; any other scans one
    // page a job.
    static bool IsFeederSource(const QString& source);

    // The paper sizes offered for the scan area, in millimetres.
    struct PaperSize {
        const char* name;
        double width;
        double height;
    };
    static const QList<PaperSize>& PaperSizes();

protected:
    // A wheel turned over a list or a number that does not have the focus
    // scrolls the panel instead of changing the value.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

signals:
    // The user committed a new value of `name` (or pressed the button `name`).
    void sglOptionEdited(QString name);

private:
    // The options to show, in device order.
    QList<Opt_Result> ShownOptions() const;
    void Rebuild();
    QWidget* WidgetFor(const Opt_Result& option);
    QWidget* CreateWidget(const Opt_Result& option);
    void GuardWheel(QWidget* widget);
    void FillWidget(QWidget* widget, const Opt_Result& option);
    void FillSpinBox(QWidget* widget, const Opt_Result& option);
    void FillFreeString(QComboBox* combo, const Opt_Result& option);
    void TranslateBackendValues(QComboBox* combo);
    void RetranslatePaperSizes();
    void MakeReadOnly(QWidget* widget);
    // The widget bound to option `name` now (stashed widgets of other
    // devices may carry the same object name).
    QWidget* BoundWidget(const QString& name) const;
    QFormLayout* SectionFor(const Opt_Result& option, QHash<QString, QFormLayout*>& sections);
    void AddRow(QFormLayout* form, QWidget* widget, const Opt_Result& option);

    // The paper-size choice over the four scan-area options.
    bool HasScanArea() const;
    void AddPaperSize(QFormLayout* form);
    void SyncPaperSize();
    void OnPaperSizeActivated(int index);

    QScrollArea* m_scroll;
    QWidget* m_content = nullptr;
    QWidget* m_stash;
    QToolButton* m_advancedToggle = nullptr;
    QWidget* m_advancedBox = nullptr;
    bool m_advancedOpen = false;
    QComboBox* m_paperSize = nullptr;
    // One widget per option name and type, kept for the panel's life so
    // that snapshots of it stay valid across rebuilds.
    QHash<QString, QWidget*> m_widgets;
};
