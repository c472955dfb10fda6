#pragma once

#include "main_lists.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace velmo {

struct AppContext;
struct AdvanceSetup;

// The modal editor of one advance entry, in the mode set in editMode: 1 add, 2 modify. Only OK
// writes, and it writes both the model and the main window's AdvanceList row.
class AdvanceScheduleEditForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdvanceScheduleEditForm)
public:
    AdvanceScheduleEditForm(AppContext& context, MainLists lists, QWidget* parent = nullptr);
    ~AdvanceScheduleEditForm() override;

protected:
    // Neither Enter nor Esc answers the dialog: a stray key must not store or throw away an edit.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWindow();
    void alignColumns();
    void Form_Load();
    void InitAdvanceScheduleEditFormOsd();
    void InitAdvanceEditor();
    void SetupDateCombos(const AdvanceSetup& setup);
    void SetupTimeCombos(const AdvanceSetup& setup);

    void StartYearCombo_Click();
    void StartMonthCombo_Click();
    void StopYearCombo_Click();
    void StopMonthCombo_Click();
    void OKCmd_Click();
    void CancelCmd_Click();

    void RefreshStartDays();
    void RefreshStopDays();
    bool CheckDateSetup() const;
    bool CheckTimeSetup() const;
    void StoreAdvanceEntry();
    void AppendAdvanceRow();
    void ReplaceAdvanceRow();

    AdvanceSetup shownSetup() const;
    QString AdvanceRowText() const;
    bool addMode() const;
    // Selects the row through the main window, which refills DetailList for it.
    void selectAdvanceRow(int row);

    AppContext& context_;
    MainLists lists_;
    bool formReady = false;

    QGroupBox* DateFrame = nullptr;
    QGroupBox* StartDateFrame = nullptr;
    QGroupBox* StopDateFrame = nullptr;
    QGroupBox* WeekDayFrame = nullptr;
    QGroupBox* TimeSetupFrame = nullptr;
    QGroupBox* StartTimeFrame = nullptr;
    QGroupBox* StopTimeFrame = nullptr;

    QComboBox* StartYearCombo = nullptr;
    QComboBox* StartMonthCombo = nullptr;
    QComboBox* StartDayCombo = nullptr;
    QComboBox* StopYearCombo = nullptr;
    QComboBox* StopMonthCombo = nullptr;
    QComboBox* StopDayCombo = nullptr;
    QComboBox* WeekdayCombo = nullptr;
    QComboBox* StartHourCombo = nullptr;
    QComboBox* StartMinuteCombo = nullptr;
    QComboBox* StartSecondCombo = nullptr;
    QComboBox* StopHourCombo = nullptr;
    QComboBox* StopMinuteCombo = nullptr;
    QComboBox* StopSecondCombo = nullptr;

    QLabel* StartYearLabel = nullptr;
    QLabel* StartMonthLabel = nullptr;
    QLabel* StartDayLabel = nullptr;
    QLabel* StopYearLabel = nullptr;
    QLabel* StopMonthLabel = nullptr;
    QLabel* StopDayLabel = nullptr;
    QLabel* StartHourLabel = nullptr;
    QLabel* StartMinuteLabel = nullptr;
    QLabel* StartSecondLabel = nullptr;
    QLabel* StopHourLabel = nullptr;
    QLabel* StopMinuteLabel = nullptr;
    QLabel* StopSecondLabel = nullptr;

    QPushButton* OKCmd = nullptr;
    QPushButton* CancelCmd = nullptr;
};

} // namespace velmo
