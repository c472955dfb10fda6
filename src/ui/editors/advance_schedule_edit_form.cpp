#include "advance_schedule_edit_form.h"

#include "editor_widgets.h"
#include "rules/entry_rules.h"

#include "model/app_state.h"
#include "ui/platform/accessibility.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTextCharFormat>
#include <QVBoxLayout>

namespace velmo {

namespace {

void fillNumbers(QComboBox* combo, int first, int last) {
    combo->clear();
    for (int value = first; value <= last; ++value)
        combo->addItem(QString::number(value));
}

void fillDays(QComboBox* combo, int year, int month, int day) {
    fillNumbers(combo, 1, DaysOfMonth(year, month));
    combo->setCurrentIndex(NearestDay(year, month, day) - 1);
}

QLabel* makeCaption(const QString& objectName, QComboBox* buddy, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setBuddy(buddy);
    return label;
}

struct CaptionedCombo {
    const char* labelName;
    QLabel*& label;
    const char* comboName;
    QComboBox*& combo;
};

// A frame of captioned combos, one per row, captions on the left.
QGroupBox* makeComboFrame(const char* objectName, QWidget* parent,
                          std::initializer_list<CaptionedCombo> rows) {
    auto* frame = new QGroupBox(parent);
    frame->setObjectName(QString::fromLatin1(objectName));
    auto* grid = new QGridLayout(frame);
    int row = 0;
    for (const CaptionedCombo& item : rows) {
        item.combo = makeChoiceCombo(QString::fromLatin1(item.comboName), frame);
        item.label = makeCaption(QString::fromLatin1(item.labelName), item.combo, frame);
        grid->addWidget(item.label, row, 0);
        grid->addWidget(item.combo, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return frame;
}

} // namespace

AdvanceScheduleEditForm::AdvanceScheduleEditForm(AppContext& context, std::optional<PeriodPlan> plan,
                                                 int room, QWidget* parent)
    : QDialog(parent), context_(context), room_(room) {
    if (plan) {
        entry_ = plan->entry;
        days_ = plan->days;
        skipped_ = std::move(plan->skipped);
    }
    buildWindow();
    Form_Load();
}

AdvanceScheduleEditForm::AdvanceScheduleEditForm(AppContext& context, std::optional<AdvanceEntry> entry,
                                                 QWidget* parent)
    : AdvanceScheduleEditForm(
          context,
          entry ? std::optional<PeriodPlan>(PeriodPlan{*entry, WeekDaySetOf(entry->weekDay), {}})
                : std::nullopt,
          kMaxAdvanceEntries, parent) {}

AdvanceScheduleEditForm::~AdvanceScheduleEditForm() = default;

void AdvanceScheduleEditForm::buildWindow() {
    setObjectName(QStringLiteral("AdvanceScheduleEditForm"));

    DateFrame = new QGroupBox(this);
    DateFrame->setObjectName(QStringLiteral("DateFrame"));
    StartDateFrame = makeComboFrame("StartDateFrame", DateFrame,
                                    {{"StartYearLabel", StartYearLabel, "StartYearCombo", StartYearCombo},
                                     {"StartMonthLabel", StartMonthLabel, "StartMonthCombo", StartMonthCombo},
                                     {"StartDayLabel", StartDayLabel, "StartDayCombo", StartDayCombo}});
    StopDateFrame = makeComboFrame("StopDateFrame", DateFrame,
                                   {{"StopYearLabel", StopYearLabel, "StopYearCombo", StopYearCombo},
                                    {"StopMonthLabel", StopMonthLabel, "StopMonthCombo", StopMonthCombo},
                                    {"StopDayLabel", StopDayLabel, "StopDayCombo", StopDayCombo}});
    WeekDayFrame = new QGroupBox(DateFrame);
    WeekDayFrame->setObjectName(QStringLiteral("WeekDayFrame"));
    WeekdayCombo = makeChoiceCombo(QStringLiteral("WeekdayCombo"), WeekDayFrame);
    buildWeekDayBoxes();
    StartDateCmd = makeCommandButton(QStringLiteral("StartDateCmd"), StartDateFrame);
    StopDateCmd = makeCommandButton(QStringLiteral("StopDateCmd"), StopDateFrame);
    for (QPushButton* button : {StartDateCmd, StopDateCmd}) {
        auto* grid = static_cast<QGridLayout*>(button->parentWidget()->layout());
        grid->addWidget(button, grid->rowCount() - 1, 0, 1, 2);
        grid->setRowStretch(grid->rowCount(), 1);
    }

    auto* dateLayout = new QHBoxLayout(DateFrame);
    dateLayout->addWidget(StartDateFrame);
    dateLayout->addWidget(StopDateFrame);
    dateLayout->addWidget(WeekDayFrame);

    TimeSetupFrame = new QGroupBox(this);
    TimeSetupFrame->setObjectName(QStringLiteral("TimeSetupFrame"));
    StartTimeFrame =
        makeComboFrame("StartTimeFrame", TimeSetupFrame,
                       {{"StartHourLabel", StartHourLabel, "StartHourCombo", StartHourCombo},
                        {"StartMinuteLabel", StartMinuteLabel, "StartMinuteCombo", StartMinuteCombo},
                        {"StartSecondLabel", StartSecondLabel, "StartSecondCombo", StartSecondCombo}});
    StopTimeFrame =
        makeComboFrame("StopTimeFrame", TimeSetupFrame,
                       {{"StopHourLabel", StopHourLabel, "StopHourCombo", StopHourCombo},
                        {"StopMinuteLabel", StopMinuteLabel, "StopMinuteCombo", StopMinuteCombo},
                        {"StopSecondLabel", StopSecondLabel, "StopSecondCombo", StopSecondCombo}});
    auto* timeLayout = new QHBoxLayout(TimeSetupFrame);
    timeLayout->addWidget(StartTimeFrame);
    timeLayout->addWidget(StopTimeFrame);
    timeLayout->addStretch();

    OKCmd = makeCommandButton(QStringLiteral("OKCmd"), this);
    CancelCmd = makeCommandButton(QStringLiteral("CancelCmd"), this);
    SkipDaysCmd = makeCommandButton(QStringLiteral("SkipDaysCmd"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(SkipDaysCmd);
    buttons->addStretch();
    buttons->addWidget(OKCmd);
    buttons->addWidget(CancelCmd);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DateFrame);
    layout->addWidget(TimeSetupFrame);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* const order[] = {StartYearCombo,   StartMonthCombo,  StartDayCombo, StartDateCmd,
                              StopYearCombo,    StopMonthCombo,   StopDayCombo,  StopDateCmd,
                              WeekdayCombo,     DayChecks[0],     DayChecks[1],  DayChecks[2],
                              DayChecks[3],     DayChecks[4],     DayChecks[5],  DayChecks[6],
                              EveryDayCmd,      WeekdaysCmd,      WeekendCmd,    StartHourCombo,
                              StartMinuteCombo, StartSecondCombo, StopHourCombo, StopMinuteCombo,
                              StopSecondCombo,  SkipDaysCmd,      OKCmd,         CancelCmd};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(StartYearCombo, &QComboBox::currentIndexChanged, this,
            &AdvanceScheduleEditForm::StartYearCombo_Click);
    connect(StartMonthCombo, &QComboBox::currentIndexChanged, this,
            &AdvanceScheduleEditForm::StartMonthCombo_Click);
    connect(StopYearCombo, &QComboBox::currentIndexChanged, this,
            &AdvanceScheduleEditForm::StopYearCombo_Click);
    connect(StopMonthCombo, &QComboBox::currentIndexChanged, this,
            &AdvanceScheduleEditForm::StopMonthCombo_Click);
    connect(WeekdayCombo, &QComboBox::currentIndexChanged, this,
            &AdvanceScheduleEditForm::WeekdayCombo_Click);
    connect(StartDateCmd, &QPushButton::clicked, this,
            [this] { pickDate(StartYearCombo, StartMonthCombo, StartDayCombo, StartDateCmd->text()); });
    connect(StopDateCmd, &QPushButton::clicked, this,
            [this] { pickDate(StopYearCombo, StopMonthCombo, StopDayCombo, StopDateCmd->text()); });
    connect(SkipDaysCmd, &QPushButton::clicked, this, &AdvanceScheduleEditForm::SkipDaysCmd_Click);
    connect(OKCmd, &QPushButton::clicked, this, &AdvanceScheduleEditForm::OKCmd_Click);
    connect(CancelCmd, &QPushButton::clicked, this, &AdvanceScheduleEditForm::CancelCmd_Click);
}

void AdvanceScheduleEditForm::Form_Load() {
    formReady = false;
    InitAdvanceScheduleEditFormOsd();
    InitAdvanceEditor();
    formReady = true;
    alignColumns();
    StartYearCombo->setFocus();
}

void AdvanceScheduleEditForm::InitAdvanceScheduleEditFormOsd() {
    const ScreenTexts& texts = context_.texts;
    const auto text = [&](TextId id) { return screenText(texts, id); };
    setWindowTitle(text(TextId::TextAdvanceScheduleEditor));
    DateFrame->setTitle(text(TextId::TextDateSetup));
    TimeSetupFrame->setTitle(text(TextId::TextTimeSetup));
    StartDateFrame->setTitle(text(TextId::TextStartDay));
    StopDateFrame->setTitle(text(TextId::TextStopDay));
    StartTimeFrame->setTitle(text(TextId::TextStartTime));
    StopTimeFrame->setTitle(text(TextId::TextStopTime));
    StartYearLabel->setText(text(TextId::TextYear));
    StopYearLabel->setText(text(TextId::TextYear));
    StartMonthLabel->setText(text(TextId::TextMonth));
    StopMonthLabel->setText(text(TextId::TextMonth));
    StartDayLabel->setText(text(TextId::TextDay));
    StopDayLabel->setText(text(TextId::TextDay));
    StartHourLabel->setText(text(TextId::TextHour));
    StopHourLabel->setText(text(TextId::TextHour));
    StartMinuteLabel->setText(text(TextId::TextMinute));
    StopMinuteLabel->setText(text(TextId::TextMinute));
    StartSecondLabel->setText(text(TextId::TextSecond));
    StopSecondLabel->setText(text(TextId::TextSecond));
    WeekDayFrame->setTitle(text(TextId::TextWeekDay));
    for (std::size_t day = 0; day < DayChecks.size(); ++day)
        SetCaption(*DayChecks[day], text(WeekDayTextId(static_cast<int>(day))));
    SetCaption(*EveryDayCmd, text(TextId::TextEveryDay));
    SetCaption(*WeekdaysCmd, text(TextId::TextMondayToFriday));
    SetCaption(*WeekendCmd, text(TextId::TextSaturdayAndSunday));
    SetCaption(*StartDateCmd, text(TextId::TextPickStartDate));
    SetCaption(*StopDateCmd, text(TextId::TextPickStopDate));
    SetCaption(*SkipDaysCmd, text(TextId::TextSkipDays));
    OKCmd->setText(text(TextId::TextOK));
    CancelCmd->setText(text(TextId::TextCancel));

    // "Year" alone would not say which date; a screen reader hears the frame's caption first.
    const auto name = [](QComboBox* combo, const QGroupBox* frame, const QLabel* caption) {
        combo->setAccessibleName(frame->title() + QStringLiteral(", ") + caption->text());
    };
    name(StartYearCombo, StartDateFrame, StartYearLabel);
    name(StartMonthCombo, StartDateFrame, StartMonthLabel);
    name(StartDayCombo, StartDateFrame, StartDayLabel);
    name(StopYearCombo, StopDateFrame, StopYearLabel);
    name(StopMonthCombo, StopDateFrame, StopMonthLabel);
    name(StopDayCombo, StopDateFrame, StopDayLabel);
    name(StartHourCombo, StartTimeFrame, StartHourLabel);
    name(StartMinuteCombo, StartTimeFrame, StartMinuteLabel);
    name(StartSecondCombo, StartTimeFrame, StartSecondLabel);
    name(StopHourCombo, StopTimeFrame, StopHourLabel);
    name(StopMinuteCombo, StopTimeFrame, StopMinuteLabel);
    name(StopSecondCombo, StopTimeFrame, StopSecondLabel);
    WeekdayCombo->setAccessibleName(text(TextId::TextWeekDay));
}

// Equal caption and list widths in all four frames, so the time frames line up under the dates.
void AdvanceScheduleEditForm::alignColumns() {
    const QList<QLabel*> labels = {StartYearLabel,   StartMonthLabel, StartDayLabel,   StopYearLabel,
                                   StopMonthLabel,   StopDayLabel,    StartHourLabel,  StartMinuteLabel,
                                   StartSecondLabel, StopHourLabel,   StopMinuteLabel, StopSecondLabel};
    const QList<QComboBox*> combos = {StartYearCombo,   StartMonthCombo, StartDayCombo,   StopYearCombo,
                                      StopMonthCombo,   StopDayCombo,    StartHourCombo,  StartMinuteCombo,
                                      StartSecondCombo, StopHourCombo,   StopMinuteCombo, StopSecondCombo};
    int labelWidth = 0;
    for (const QLabel* label : labels)
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    int comboWidth = 0;
    for (const QComboBox* combo : combos)
        comboWidth = std::max(comboWidth, combo->sizeHint().width());
    for (QLabel* label : labels)
        label->setMinimumWidth(labelWidth);
    for (QComboBox* combo : combos)
        combo->setMinimumWidth(comboWidth);
}

bool AdvanceScheduleEditForm::addMode() const {
    return !entry_.has_value();
}

void AdvanceScheduleEditForm::InitAdvanceEditor() {
    const QDate today = context_.clock.today();
    const AdvanceSetup setup =
        entry_ ? AdvanceSetupFromEntry(*entry_) : NewAdvanceSetup(today.year(), today.month(), today.day());
    SetupDateCombos(setup);
    SetupTimeCombos(setup);
}

void AdvanceScheduleEditForm::SetupDateCombos(const AdvanceSetup& setup) {
    for (QComboBox* years : {StartYearCombo, StopYearCombo})
        fillNumbers(years, kFirstYear, kLastYear);
    for (QComboBox* months : {StartMonthCombo, StopMonthCombo})
        fillNumbers(months, 1, 12);

    StartYearCombo->setCurrentIndex(setup.startDate.year - kFirstYear);
    StartMonthCombo->setCurrentIndex(setup.startDate.month - 1);
    fillDays(StartDayCombo, setup.startDate.year, setup.startDate.month, setup.startDate.day);
    StopYearCombo->setCurrentIndex(setup.stopDate.year - kFirstYear);
    StopMonthCombo->setCurrentIndex(setup.stopDate.month - 1);
    fillDays(StopDayCombo, setup.stopDate.year, setup.stopDate.month, setup.stopDate.day);

    WeekdayCombo->clear();
    for (int day = 0; day <= kWeekDayAll; ++day)
        WeekdayCombo->addItem(screenText(context_.texts, WeekDayTextId(day)));
    WeekdayCombo->setCurrentIndex(setup.weekDay);
    setTickedDays(entry_ ? days_ : WeekDaySetOf(setup.weekDay));
}

void AdvanceScheduleEditForm::buildWeekDayBoxes() {
    auto* layout = new QVBoxLayout(WeekDayFrame);
    layout->addWidget(WeekdayCombo);
    auto* boxes = new QGridLayout;
    for (std::size_t day = 0; day < DayChecks.size(); ++day) {
        DayChecks[day] = new QCheckBox(WeekDayFrame);
        DayChecks[day]->setObjectName(QStringLiteral("DayCheck%1").arg(day));
        boxes->addWidget(DayChecks[day], static_cast<int>(day) / 2, static_cast<int>(day) % 2);
        connect(DayChecks[day], &QCheckBox::toggled, this, [this] {
            if (!followingDays_)
                showTickedDays();
        });
    }
    layout->addLayout(boxes);
    EveryDayCmd = makeCommandButton(QStringLiteral("EveryDayCmd"), WeekDayFrame);
    WeekdaysCmd = makeCommandButton(QStringLiteral("WeekdaysCmd"), WeekDayFrame);
    WeekendCmd = makeCommandButton(QStringLiteral("WeekendCmd"), WeekDayFrame);
    const std::array<std::pair<QPushButton*, WeekDaySet>, 3> presets = {{
        {EveryDayCmd, {true, true, true, true, true, true, true}},
        {WeekdaysCmd, {false, true, true, true, true, true, false}},
        {WeekendCmd, {true, false, false, false, false, false, true}},
    }};
    for (const auto& [button, days] : presets) {
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, days = days] { setTickedDays(days); });
    }
    layout->addStretch();
}

void AdvanceScheduleEditForm::setTickedDays(const WeekDaySet& days) {
    followingDays_ = true;
    for (std::size_t day = 0; day < DayChecks.size(); ++day)
        DayChecks[day]->setChecked(days[day]);
    followingDays_ = false;
    showTickedDays();
}

void AdvanceScheduleEditForm::showTickedDays() {
    const WeekDaySet days = tickedDays();
    int index = kWeekDayAll + 1;
    if (CountDays(days) == static_cast<int>(days.size()))
        index = kWeekDayAll;
    else if (CountDays(days) == 1)
        index = static_cast<int>(std::find(days.begin(), days.end(), true) - days.begin());
    const QString named = CountDays(days) == 0 ? screenText(context_.texts, TextId::TextNoDayTicked)
                                               : toQt(WeekDaysText(days, context_.texts));
    followingDays_ = true;
    if (index > kWeekDayAll) {
        // A set the eight items cannot name gets an item of its own, so the list says what is ticked.
        if (WeekdayCombo->count() <= index)
            WeekdayCombo->addItem(named);
        else
            WeekdayCombo->setItemText(index, named);
    }
    WeekdayCombo->setCurrentIndex(index);
    while (WeekdayCombo->count() > kWeekDayAll + 1 && index <= kWeekDayAll)
        WeekdayCombo->removeItem(kWeekDayAll + 1);
    followingDays_ = false;
}

WeekDaySet AdvanceScheduleEditForm::tickedDays() const {
    WeekDaySet days{};
    for (std::size_t day = 0; day < DayChecks.size(); ++day)
        days[day] = DayChecks[day]->isChecked();
    return days;
}

void AdvanceScheduleEditForm::WeekdayCombo_Click() {
    const int index = WeekdayCombo->currentIndex();
    if (formReady && !followingDays_ && index >= 0 && index <= kWeekDayAll)
        setTickedDays(WeekDaySetOf(index));
}

void AdvanceScheduleEditForm::SkipDaysCmd_Click() {
    const AdvanceSetup setup = shownSetup();
    QDialog picker(this);
    picker.setObjectName(QStringLiteral("SkipDaysForm"));
    picker.setWindowTitle(SkipDaysCmd->text().remove(QStringLiteral("...")));
    auto* help = new QLabel(screenText(context_.texts, TextId::TextSkipDaysHelp), &picker);
    auto* calendar = new QCalendarWidget(&picker);
    calendar->setObjectName(QStringLiteral("SkipDaysCalendar"));
    calendar->setAccessibleName(picker.windowTitle());
    makeReadable(*calendar, screenText(context_.texts, TextId::TextDaySkipped));
    calendar->setDateRange(QDate(setup.startDate.year, setup.startDate.month, setup.startDate.day),
                           QDate(setup.stopDate.year, setup.stopDate.month, setup.stopDate.day));
    std::vector<CivilDate> marked = skipped_;
    QTextCharFormat skippedLook;
    skippedLook.setFontStrikeOut(true);
    skippedLook.setBackground(palette().color(QPalette::Mid));
    const auto show = [&] {
        calendar->setDateTextFormat(QDate(), QTextCharFormat());
        for (const CivilDate& day : marked)
            calendar->setDateTextFormat(QDate(day.year, day.month, day.day), skippedLook);
    };
    show();
    // A click, or Enter on the day chosen with the arrow keys, marks a day or keeps it again.
    const auto toggle = [&](QDate date) {
        const CivilDate day{date.year(), date.month(), date.day()};
        const auto found = std::find(marked.begin(), marked.end(), day);
        if (found == marked.end())
            marked.push_back(day);
        else
            marked.erase(found);
        show();
    };
    connect(calendar, &QCalendarWidget::clicked, &picker, toggle);
    connect(calendar, &QCalendarWidget::activated, &picker, toggle);
    auto* ok = makeCommandButton(QStringLiteral("OKCmd"), &picker);
    auto* cancel = makeCommandButton(QStringLiteral("CancelCmd"), &picker);
    ok->setText(OKCmd->text());
    cancel->setText(CancelCmd->text());
    connect(ok, &QPushButton::clicked, &picker, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, &picker, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(&picker);
    layout->addWidget(help);
    layout->addWidget(calendar);
    layout->addLayout(buttons);
    const int answer = picker.exec();
    if (answer == QDialog::Accepted)
        skipped_ = marked;
}

void AdvanceScheduleEditForm::makeReadable(QCalendarWidget& calendar, const QString& markedDay) const {
    // The captions carry arrows for the eye; a screen reader would speak them.
    const auto spoken = [&](TextId id) {
        return screenText(context_.texts, id).remove(QLatin1Char('<')).remove(QLatin1Char('>')).trimmed();
    };
    MakeCalendarReadable(calendar, spoken(TextId::TextPreviousMonth), spoken(TextId::TextNextMonth),
                         markedDay);
}

void AdvanceScheduleEditForm::pickDate(QComboBox* year, QComboBox* month, QComboBox* day,
                                       const QString& title) {
    QDialog picker(this);
    picker.setObjectName(QStringLiteral("DatePicker"));
    picker.setWindowTitle(title);
    auto* calendar = new QCalendarWidget(&picker);
    calendar->setObjectName(QStringLiteral("DateCalendar"));
    calendar->setAccessibleName(title);
    makeReadable(*calendar);
    calendar->setMinimumDate(QDate(kFirstYear, 1, 1));
    calendar->setMaximumDate(QDate(kLastYear, 12, 31));
    calendar->setSelectedDate(
        QDate(kFirstYear + year->currentIndex(), 1 + month->currentIndex(), 1 + day->currentIndex()));
    auto* layout = new QVBoxLayout(&picker);
    layout->addWidget(calendar);
    // A click picks a day, as Enter does on the day chosen with the arrow keys.
    const auto pick = [&](QDate date) {
        year->setCurrentIndex(date.year() - kFirstYear);
        month->setCurrentIndex(date.month() - 1);
        day->setCurrentIndex(date.day() - 1);
        picker.accept();
    };
    connect(calendar, &QCalendarWidget::clicked, &picker, pick);
    connect(calendar, &QCalendarWidget::activated, &picker, pick);
    picker.exec();
}

void AdvanceScheduleEditForm::SetupTimeCombos(const AdvanceSetup& setup) {
    for (QComboBox* hours : {StartHourCombo, StopHourCombo})
        fillNumbers(hours, 0, 23);
    for (QComboBox* minutes : {StartMinuteCombo, StopMinuteCombo, StartSecondCombo, StopSecondCombo})
        fillNumbers(minutes, 0, 59);
    StartHourCombo->setCurrentIndex(setup.startTime.hour);
    StartMinuteCombo->setCurrentIndex(setup.startTime.minute);
    StartSecondCombo->setCurrentIndex(setup.startTime.second);
    StopHourCombo->setCurrentIndex(setup.stopTime.hour);
    StopMinuteCombo->setCurrentIndex(setup.stopTime.minute);
    StopSecondCombo->setCurrentIndex(setup.stopTime.second);
}

void AdvanceScheduleEditForm::StartYearCombo_Click() {
    if (formReady)
        RefreshStartDays();
}

void AdvanceScheduleEditForm::StartMonthCombo_Click() {
    if (formReady)
        RefreshStartDays();
}

void AdvanceScheduleEditForm::StopYearCombo_Click() {
    if (formReady)
        RefreshStopDays();
}

void AdvanceScheduleEditForm::StopMonthCombo_Click() {
    if (formReady)
        RefreshStopDays();
}

void AdvanceScheduleEditForm::RefreshStartDays() {
    fillDays(StartDayCombo, kFirstYear + StartYearCombo->currentIndex(), 1 + StartMonthCombo->currentIndex(),
             1 + StartDayCombo->currentIndex());
    StartDayCombo->update();
}

void AdvanceScheduleEditForm::RefreshStopDays() {
    fillDays(StopDayCombo, kFirstYear + StopYearCombo->currentIndex(), 1 + StopMonthCombo->currentIndex(),
             1 + StopDayCombo->currentIndex());
    StopDayCombo->update();
}

AdvanceSetup AdvanceScheduleEditForm::shownSetup() const {
    AdvanceSetup setup;
    setup.startDate = {kFirstYear + StartYearCombo->currentIndex(), 1 + StartMonthCombo->currentIndex(),
                       1 + StartDayCombo->currentIndex()};
    setup.stopDate = {kFirstYear + StopYearCombo->currentIndex(), 1 + StopMonthCombo->currentIndex(),
                      1 + StopDayCombo->currentIndex()};
    setup.startTime = {StartHourCombo->currentIndex(), StartMinuteCombo->currentIndex(),
                       StartSecondCombo->currentIndex()};
    setup.stopTime = {StopHourCombo->currentIndex(), StopMinuteCombo->currentIndex(),
                      StopSecondCombo->currentIndex()};
    // The first ticked day, as the first period of a group; all seven are every day.
    const WeekDaySet days = tickedDays();
    setup.weekDay = std::min<int>(kWeekDayAll,
                                  static_cast<int>(std::find(days.begin(), days.end(), true) - days.begin()));
    if (CountDays(days) == static_cast<int>(days.size()))
        setup.weekDay = kWeekDayAll;
    return setup;
}

bool AdvanceScheduleEditForm::CheckDateSetup() const {
    const AdvanceSetup setup = shownSetup();
    return velmo::CheckDateSetup(setup.startDate, setup.stopDate);
}

bool AdvanceScheduleEditForm::CheckTimeSetup() const {
    const AdvanceSetup setup = shownSetup();
    return velmo::CheckTimeSetup(setup.startTime, setup.stopTime);
}

void AdvanceScheduleEditForm::StoreAdvanceEntry() {
    if (entry_) {
        result_ = *entry_;
    } else {
        // A new entry has no details yet, and the spare element a loaded one carries.
        result_ = AdvanceEntry{};
        result_.files.resize(1);
    }
    velmo::StoreAdvanceEntry(result_, shownSetup(), addMode());
    periods_ = periodsOf(result_);
    result_ = periods_.front();
}

std::vector<AdvanceEntry> AdvanceScheduleEditForm::periodsOf(const AdvanceEntry& model) const {
    const WeekDaySet days = tickedDays();
    std::vector<AdvanceEntry> periods = PeriodRows(model, days, skipped_);
    // One day chosen as the drop-down offers it is stored as chosen, even on dates without that day;
    // Save's check names it.
    if (periods.empty() && CountDays(days) == 1 && PeriodRows(model, days, {}).empty())
        periods = ExpandWeekDays(model, days);
    return periods;
}

void AdvanceScheduleEditForm::keyPressEvent(QKeyEvent* event) {
    if (isDialogAnswerKey(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void AdvanceScheduleEditForm::OKCmd_Click() {
    if (!CheckDateSetup()) {
        context_.prompts.message(this, screenText(context_.texts, TextId::MsgDateSetupError));
        return;
    }
    if (!CheckTimeSetup()) {
        context_.prompts.message(this, screenText(context_.texts, TextId::MsgTimeSetupError));
        return;
    }

    if (CountDays(tickedDays()) == 0) {
        context_.prompts.message(this, screenText(context_.texts, TextId::MsgNoWeekDay));
        return;
    }
    AdvanceEntry model;
    velmo::StoreAdvanceEntry(model, shownSetup(), true);
    const int periods = static_cast<int>(periodsOf(model).size());
    if (periods == 0) {
        const bool noneInDates = PeriodRows(model, tickedDays(), {}).empty();
        context_.prompts.message(this, screenText(context_.texts, noneInDates ? TextId::MsgNoTickedDayInDates
                                                                              : TextId::MsgEveryDaySkipped));
        return;
    }
    if (periods > room_) {
        context_.prompts.message(this,
                                 screenText(context_.texts, TextId::MsgPeriodsFree)
                                     .replace(QStringLiteral("%1"), QString::number(std::max(0, room_))));
        return;
    }

    StoreAdvanceEntry();
    accept();
}

void AdvanceScheduleEditForm::CancelCmd_Click() {
    reject();
}

} // namespace velmo
