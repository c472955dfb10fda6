#pragma once

#include "model/schedule.h"
#include "rules/period_groups.h"

#include <QDialog>
#include <optional>
#include <string>

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace velmo {

struct AppContext;
struct AdvanceSetup;

// The modal editor of one advance entry or one group. It is handed the period to modify (a group as
// one period: its whole dates, its days and its days off), or none for an Add, and how many periods it
// may store; after OK it gives back the periods to store, one per ticked day and piece of the dates,
// and their rows as the list shows them. It changes nothing itself.
class AdvanceScheduleEditForm : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdvanceScheduleEditForm)
public:
    AdvanceScheduleEditForm(AppContext& context, std::optional<PeriodPlan> plan, int room,
                            QWidget* parent = nullptr);
    // One period, or any that fit, on its own week day.
    AdvanceScheduleEditForm(AppContext& context, std::optional<AdvanceEntry> entry,
                            QWidget* parent = nullptr);
    ~AdvanceScheduleEditForm() override;

    // After OK: the entry to store (a new one has no details).
    const AdvanceEntry& entry() const { return result_; }
    // Every period to store, in week order (the first is entry()).
    const std::vector<AdvanceEntry>& periods() const { return periods_; }

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
    void buildWeekDayBoxes();
    void setTickedDays(const WeekDaySet& days);
    WeekDaySet tickedDays() const;
    void WeekdayCombo_Click();
    // Shows the ticked days in the drop-down: its item for one day or all seven, else an item naming them.
    void showTickedDays();
    std::vector<AdvanceEntry> periodsOf(const AdvanceEntry& model) const;
    void SkipDaysCmd_Click();
    void makeReadable(QCalendarWidget& calendar, const QString& markedDay = {}) const;
    void pickDate(QComboBox* year, QComboBox* month, QComboBox* day, const QString& title);

    AdvanceSetup shownSetup() const;
    bool addMode() const;

    AppContext& context_;
    std::optional<AdvanceEntry> entry_; // the entry modified; none for an Add
    AdvanceEntry result_;
    bool formReady = false;
    WeekDaySet days_{};
    int room_;
    std::vector<AdvanceEntry> periods_;
    bool followingDays_ = false; // the boxes and the drop-down are being set to match each other
    std::array<QCheckBox*, 7> DayChecks{};
    QPushButton* EveryDayCmd = nullptr;
    QPushButton* WeekdaysCmd = nullptr;
    QPushButton* WeekendCmd = nullptr;
    QPushButton* SkipDaysCmd = nullptr;
    std::vector<CivilDate> skipped_; // days the periods leave out
    QPushButton* StartDateCmd = nullptr;
    QPushButton* StopDateCmd = nullptr;

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
