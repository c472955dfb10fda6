#include "main_form.h"

#include "edit_commands.h"
#include "file_drops.h"
#include "language_menu.h"
#include "recovery_file.h"
#include "rules/schedule_rules.h"
#include "rules/schedule_sense.h"
#include "shape_bar.h"

#include "model/app_state.h"
#include "model/file_system.h"
#include "model/schedule_file.h"
#include "model/settings.h"
#include "texts/screen_texts.h"
#include "ui/about/about_company_form.h"
#include "ui/about/about_velmo_schedule_generator_form.h"
#include "ui/document/entry_list_model.h"
#include "ui/document/media_rows.h"
#include "ui/document/schedule_document.h"
#include "ui/document/schedule_list_view.h"
#include "ui/document/schedule_media.h"
#include "ui/editors/advance_schedule_edit_form.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/overview/advance_colours.h"
#include "ui/overview/overview_hooks.h"
#include "ui/platform/accessibility.h"
#include "ui/platform/app_context.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/volumes.h"
#include "ui/platform/window_placement.h"
#include "ui/publish/write_to_medium_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSizeGrip>
#include <QStatusBar>
#include <QStyle>
#ifndef VELMO_NO_SVG
#include <QStyleOptionViewItem>
#include <QSvgRenderer>
#endif
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace velmo {

namespace {

const QString kOpenFilter = QStringLiteral("Velmo Schedule Reference File(*.vlm)|*.vlm");
const QString kSaveAsFilter = QStringLiteral("Schedule File(*.vlm)|*.vlm");

constexpr int kKeepTimerInterval = 100;
constexpr std::array<QRgb, 8> kInitialStripColours = {qRgb(0, 0, 255),     qRgb(0, 255, 255), qRgb(0, 255, 0),
                                                      qRgb(255, 255, 0),   qRgb(255, 128, 0), qRgb(255, 0, 0),
                                                      qRgb(128, 128, 128), qRgb(255, 0, 255)};

// Characters of the row texts each column caption stands above: name | play count | volume, and
// start date | stop date | week day.
constexpr std::array<int, 3> kFileColumns = {23, 10, 10};
constexpr std::array<int, 3> kAdvanceColumns = {12, 12, 12};
constexpr int kRowCharacters = 43;
// Rows a list shows at the least; the window's first size gives them more where the screen has room.
constexpr int kVisibleRows = 4;
constexpr int kCommandButtonWidth = 88;
constexpr QSize kInitialSize(1040, 680);
// What the status bar adds above and below the widgets in it.
constexpr int kStatusBarMargins = 5;
// Pixels from the list's edge to the first character of a row.
constexpr int kRowTextIndent = 3;

void processPendingEvents() {
    QCoreApplication::processEvents();
}

// The name the existence test found the file under, so it is that file that is read or replaced.
std::string nameOnDisk(const std::string& directory, const std::string& name) {
    return ExistingFileName(directory, name).value_or(name);
}

// Every row anew, with the first one selected.
void showAll(ScheduleListView* list, int advance = -1) {
    list->rows()->reload(advance);
    list->setCurrentRow(list->count() == 0 ? -1 : 0);
}

// The commands take the selected row as the entry index, so a row stays selected while any exists
// (a Ctrl+click would otherwise clear it). Queued, so that it looks only once the list has settled.
void keepOneRowSelected(ScheduleListView* list) {
    QObject::connect(
        list->selectionModel(), &QItemSelectionModel::selectionChanged, list,
        [list] {
            QItemSelectionModel* selection = list->selectionModel();
            if (!selection->hasSelection() && list->currentIndex().isValid())
                selection->select(list->currentIndex(), QItemSelectionModel::Select);
        },
        Qt::QueuedConnection);
}

#ifdef VELMO_NO_SVG
// Without the SVG module: the logo as a bitmap drawn from the same SVG at twice its size.
QPixmap logoPixmap(qreal devicePixelRatio) {
    QImage image(QStringLiteral(":/velmo/velmo_logo@2x.png"), "PNG");
    const QSize size = image.size() / 2;
    QPixmap pixmap = QPixmap::fromImage(
        image.scaled(size * devicePixelRatio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}
#else
QPixmap logoPixmap(qreal devicePixelRatio) {
    QSvgRenderer renderer(QStringLiteral(":/velmo/velmo_logo.svg"));
    const QSize size = renderer.defaultSize();
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}
#endif

} // namespace

MainForm::MainForm(AppContext& context, const std::string& programDir, QWidget* parent)
    : QMainWindow(parent), context_(context), document_(new ScheduleDocument(context.state, this)) {
    buildWindow();
    connectHandlers();
    const MainListViews lists{NormalList, AdvanceList, DetailList};
    edits_ = new EditCommands(context_, *document_, {this, lists}, menuBar(), subFile);
    new FileDrops(context_, *document_, {this, lists, [this] { return media_->probeCache(); }});
    recovery_ = new RecoveryFile(context_, *document_, this);
    Form_Load(programDir);
    showMedia();
    overview_ = new ScheduleOverviewHooks(context_, *document_, *media_, *this,
                                          {NormalList, AdvanceList, DetailList}, subHelp->menuAction());
    if (auto* view = menuBar()->findChild<QMenu*>(QStringLiteral("subView")))
        AddLanguageMenu(*view, context_, this);
    AdvanceList->setItemDelegate(new AdvanceColourDelegate(AdvanceList));
    reserveStatusBarRoom();
    // The screen texts were chosen during start-up, after the Edit menu was built.
    edits_->applyTexts();
    recovery_->offerEarlierSession();
    FitIntoScreen(*this, minimumSizeHint().expandedTo(kInitialSize));
}

MainForm::~MainForm() = default;

// The file lists show what their media hold, looked up off the window's thread.
void MainForm::showMedia() {
    media_ = new ScheduleMedia(context_.state, *document_, this);
    new MediaListHooks(*NormalList, *NormalFrame, TextId::TextBasicSchedule, *media_, context_.texts);
    new MediaListHooks(*DetailList, *DetailFrame, TextId::TextDetailOfAdvanceSchedule, *media_,
                       context_.texts);
    media_->refresh();
}

// A notice in the status bar carries buttons; room for them is kept from the start, so the lists do
// not move when one comes and goes.
void MainForm::reserveStatusBarRoom() {
    const QPushButton probe(QStringLiteral("X"));
    statusBar()->setMinimumHeight(probe.sizeHint().height() + kStatusBarMargins);
}

// ---------------------------------------------------------------------------------------------
// Window composition

void MainForm::buildWindow() {
    setObjectName(QStringLiteral("MainForm"));
    buildMenus();

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    VelmoLogoImage = new QLabel(central);
    VelmoLogoImage->setObjectName(QStringLiteral("VelmoLogoImage"));
    VelmoLogoImage->setPixmap(logoPixmap(devicePixelRatioF()));
    VelmoLogoImage->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    top->addWidget(VelmoLogoImage);
    top->addSpacing(16);

    const std::array<std::pair<QPushButton**, const char*>, 5> fileButtons = {{{&NewCmd, "NewCmd"},
                                                                               {&OpenCmd, "OpenCmd"},
                                                                               {&SaveCmd, "SaveCmd"},
                                                                               {&SaveAsCmd, "SaveAsCmd"},
                                                                               {&ExitCmd, "ExitCmd"}}};
    for (const auto& [button, name] : fileButtons) {
        *button = new QPushButton(central);
        (*button)->setObjectName(QString::fromLatin1(name));
        (*button)->setMinimumWidth(kCommandButtonWidth);
        top->addWidget(*button);
    }
    top->addStretch(1);

    auto* strip = new QHBoxLayout;
    strip->setSpacing(3);
    // Index 7 leftmost, index 0 rightmost.
    for (int i = 0; i < 8; ++i)
        Shape1[static_cast<std::size_t>(i)] =
            new ShapeBar(QColor(kInitialStripColours[static_cast<std::size_t>(i)]), central);
    for (int i = 7; i >= 0; --i) {
        Shape1[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("Shape1_%1").arg(i));
        HideFromScreenReaders(*Shape1[static_cast<std::size_t>(i)]);
        strip->addWidget(Shape1[static_cast<std::size_t>(i)]);
    }
    top->addLayout(strip);
    outer->addLayout(top);

    NormalFrame = buildListFrame(
        "NormalFrame", NormalList, "NormalList", EntryRef::List::Basic,
        {&BasicFileNameCmd, &BasicPlayTimesCmd, &BasicVolumeCmd},
        {"BasicFileNameCmd", "BasicPlayTimesCmd", "BasicVolumeCmd"}, kFileColumns,
        {&NormalAddCmd, &NormalModifyCmd, &NormalMoveUpCmd, &NormalMoveDownCmd, &NormalRemoveCmd},
        {"NormalAddCmd", "NormalModifyCmd", "NormalMoveUpCmd", "NormalMoveDownCmd", "NormalRemoveCmd"});
    AdvanceFrame = buildListFrame(
        "AdvanceFrame", AdvanceList, "AdvanceList", EntryRef::List::Advance,
        {&StartDateCmd, &StopDateCmd, &WeekDayCmd}, {"StartDateCmd", "StopDateCmd", "WeekDayCmd"},
        kAdvanceColumns,
        {&AdvanceAddCmd, &AdvanceModifyCmd, &AdvanceMoveUpCmd, &AdvanceMoveDownCmd, &AdvanceRemoveCmd},
        {"AdvanceAddCmd", "AdvanceModifyCmd", "AdvanceMoveUpCmd", "AdvanceMoveDownCmd", "AdvanceRemoveCmd"});
    DetailFrame = buildListFrame(
        "DetailFrame", DetailList, "DetailList", EntryRef::List::Detail,
        {&DetailFileNameCmd, &DetailPlayTimesCmd, &DetailVolumeCmd},
        {"DetailFileNameCmd", "DetailPlayTimesCmd", "DetailVolumeCmd"}, kFileColumns,
        {&DetailAddCmd, &DetailModifyCmd, &DetailMoveUpCmd, &DetailMoveDownCmd, &DetailRemoveCmd},
        {"DetailAddCmd", "DetailModifyCmd", "DetailMoveUpCmd", "DetailMoveDownCmd", "DetailRemoveCmd"});

    auto* lists = new QHBoxLayout;
    lists->addWidget(NormalFrame, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(AdvanceFrame, 1);
    EditDaysTogetherCheck = new QCheckBox(central);
    EditDaysTogetherCheck->setObjectName(QStringLiteral("EditDaysTogetherCheck"));
    EditDaysTogetherCheck->setChecked(true);
    right->addWidget(EditDaysTogetherCheck);
    right->addWidget(DetailFrame, 1);
    lists->addLayout(right, 1);
    outer->addLayout(lists, 1);
    setCentralWidget(central);

    // Tab walks the file commands, then each list followed by its commands.
    QWidget* const tabOrder[] = {NewCmd,
                                 OpenCmd,
                                 SaveCmd,
                                 SaveAsCmd,
                                 ExitCmd,
                                 NormalList,
                                 NormalAddCmd,
                                 NormalModifyCmd,
                                 NormalMoveUpCmd,
                                 NormalMoveDownCmd,
                                 NormalRemoveCmd,
                                 AdvanceList,
                                 AdvanceAddCmd,
                                 AdvanceModifyCmd,
                                 AdvanceMoveUpCmd,
                                 AdvanceMoveDownCmd,
                                 AdvanceRemoveCmd,
                                 EditDaysTogetherCheck,
                                 DetailList,
                                 DetailAddCmd,
                                 DetailModifyCmd,
                                 DetailMoveUpCmd,
                                 DetailMoveDownCmd,
                                 DetailRemoveCmd};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    KeepTimer = new QTimer(this);
    KeepTimer->setObjectName(QStringLiteral("KeepTimer"));
    KeepTimer->setInterval(kKeepTimerInterval);
    KeepTimer->start();
}

void MainForm::buildMenus() {
    subFile = menuBar()->addMenu(QString());
    subFile->setObjectName(QStringLiteral("subFile"));
    subNew = subFile->addAction(QString());
    subOpen = subFile->addAction(QString());
    subFile->addSeparator();
    subSave = subFile->addAction(QString());
    subSaveAs = subFile->addAction(QString());
    subWriteToMedium = subFile->addAction(QString());
    subWriteToMedium->setObjectName(QStringLiteral("subWriteToMedium"));
    subWriteToMedium->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    connect(subWriteToMedium, &QAction::triggered, this, &MainForm::subWriteToMedium_Click);
    subFile->addSeparator();
    subExit = subFile->addAction(QString());

    subHelp = menuBar()->addMenu(QString());
    subHelp->setObjectName(QStringLiteral("subHelp"));
    subAboutVelmoScheduleGenerator = subHelp->addAction(QString());
    subAboutCompany = subHelp->addAction(QString());

    subNew->setObjectName(QStringLiteral("subNew"));
    subOpen->setObjectName(QStringLiteral("subOpen"));
    subSave->setObjectName(QStringLiteral("subSave"));
    subSaveAs->setObjectName(QStringLiteral("subSaveAs"));
    subExit->setObjectName(QStringLiteral("subExit"));
    subAboutVelmoScheduleGenerator->setObjectName(QStringLiteral("subAboutVelmoScheduleGenerator"));
    subAboutCompany->setObjectName(QStringLiteral("subAboutCompany"));

    subNew->setShortcut(QKeySequence::New);
    subOpen->setShortcut(QKeySequence::Open);
    subSave->setShortcut(QKeySequence::Save);
    subSaveAs->setShortcut(QKeySequence::SaveAs);
    subExit->setShortcut(QKeySequence::Quit);
}

namespace {

// How far a file row's text starts right of the thumbnail before it, as the list's style lays
// the row out; the first column caption widens by as much so the captions stay above their fields.
int thumbnailIndent(const QListView& list, EntryRef::List kind) {
    if (kind == EntryRef::List::Advance)
        return 0;
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.rect = QRect(0, 0, 1000, 100);
    option.text = QStringLiteral("0");
    option.features = QStyleOptionViewItem::HasDisplay;
    const int plain = list.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &list).left();
    option.features |= QStyleOptionViewItem::HasDecoration;
    option.decorationSize = RowThumbnailSize();
    const int decorated = list.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &list).left();
    return std::max(0, decorated - plain);
}

} // namespace

QGroupBox* MainForm::buildListFrame(const char* frameName, ScheduleListView*& list, const char* listName,
                                    EntryRef::List kind, const std::array<QPushButton**, 3>& headers,
                                    const std::array<const char*, 3>& headerNames,
                                    const std::array<int, 3>& headerColumns,
                                    const std::array<QPushButton**, 5>& commands,
                                    const std::array<const char*, 5>& commandNames) {
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QString::fromLatin1(frameName));
    auto* layout = new QVBoxLayout(frame);
    layout->setSpacing(4);

    list = new ScheduleListView(new EntryListModel(*document_, kind, context_.texts), frame);
    list->setObjectName(QString::fromLatin1(listName));
    keepOneRowSelected(list);
    ShowFocusWhenEmpty(*list);

    // Column captions that stand above the fields of the row texts; they have no action. Their
    // widths follow the fixed-pitch columns, and grow only if a caption would not fit.
    const int characterWidth = QFontMetrics(list->font()).horizontalAdvance(QLatin1Char('0'));
    auto* headerRow = new QHBoxLayout;
    headerRow->setSpacing(0);
    for (std::size_t i = 0; i < headers.size(); ++i) {
        auto* header = new QPushButton(frame);
        header->setObjectName(QString::fromLatin1(headerNames[i]));
        header->setFocusPolicy(Qt::NoFocus);
        MarkColumnHeader(*header);
        header->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        header->setProperty("columnWidth", characterWidth * headerColumns[i] +
                                               (i == 0 ? kRowTextIndent + thumbnailIndent(*list, kind) : 0));
        *headers[i] = header;
        headerRow->addWidget(header);
    }
    headerRow->addStretch(1);
    layout->addLayout(headerRow);

    const int frameWidth = list->frameWidth() * 2;
    list->setMinimumWidth(characterWidth * kRowCharacters + frameWidth +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    list->setMinimumHeight(QFontMetrics(list->font()).lineSpacing() * kVisibleRows + frameWidth);
    layout->addWidget(list, 1);

    auto* commandRow = new QHBoxLayout;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        auto* button = new QPushButton(frame);
        button->setObjectName(QString::fromLatin1(commandNames[i]));
        button->setMinimumWidth(kCommandButtonWidth);
        *commands[i] = button;
        commandRow->addWidget(button);
    }
    layout->addLayout(commandRow);
    return frame;
}

void MainForm::connectHandlers() {
    // Each file command is one action; its button in the command row is another way to trigger it.
    for (const auto& [button, action] :
         {std::pair{NewCmd, subNew}, std::pair{OpenCmd, subOpen}, std::pair{SaveCmd, subSave},
          std::pair{SaveAsCmd, subSaveAs}, std::pair{ExitCmd, subExit}}) {
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
    }
    connect(subNew, &QAction::triggered, this, &MainForm::subNew_Click);
    connect(subOpen, &QAction::triggered, this, &MainForm::subOpen_Click);
    connect(subSave, &QAction::triggered, this, &MainForm::subSave_Click);
    connect(subSaveAs, &QAction::triggered, this, &MainForm::subSaveAs_Click);
    connect(subExit, &QAction::triggered, this, &MainForm::subExit_Click);
    connect(subAboutVelmoScheduleGenerator, &QAction::triggered, this,
            &MainForm::subAboutVelmoScheduleGenerator_Click);
    connect(subAboutCompany, &QAction::triggered, this, &MainForm::subAboutCompany_Click);

    connect(NormalAddCmd, &QPushButton::clicked, this, &MainForm::NormalAddCmd_Click);
    connect(NormalModifyCmd, &QPushButton::clicked, this, &MainForm::NormalModifyCmd_Click);
    connect(NormalMoveUpCmd, &QPushButton::clicked, this, &MainForm::NormalMoveUpCmd_Click);
    connect(NormalMoveDownCmd, &QPushButton::clicked, this, &MainForm::NormalMoveDownCmd_Click);
    connect(NormalRemoveCmd, &QPushButton::clicked, this, &MainForm::NormalRemoveCmd_Click);
    connect(AdvanceAddCmd, &QPushButton::clicked, this, &MainForm::AdvanceAddCmd_Click);
    connect(AdvanceModifyCmd, &QPushButton::clicked, this, &MainForm::AdvanceModifyCmd_Click);
    connect(AdvanceMoveUpCmd, &QPushButton::clicked, this, &MainForm::AdvanceMoveUpCmd_Click);
    connect(AdvanceMoveDownCmd, &QPushButton::clicked, this, &MainForm::AdvanceMoveDownCmd_Click);
    connect(AdvanceRemoveCmd, &QPushButton::clicked, this, &MainForm::AdvanceRemoveCmd_Click);
    connect(DetailAddCmd, &QPushButton::clicked, this, &MainForm::DetailAddCmd_Click);
    connect(DetailModifyCmd, &QPushButton::clicked, this, &MainForm::DetailModifyCmd_Click);
    connect(DetailMoveUpCmd, &QPushButton::clicked, this, &MainForm::DetailMoveUpCmd_Click);
    connect(DetailMoveDownCmd, &QPushButton::clicked, this, &MainForm::DetailMoveDownCmd_Click);
    connect(DetailRemoveCmd, &QPushButton::clicked, this, &MainForm::DetailRemoveCmd_Click);

    // The lists, the buttons and the caption follow the document, whoever changed it.
    document_->setSelectionSource([this](EntryRef::List list) { return selection(list); });
    connect(EditDaysTogetherCheck, &QCheckBox::toggled, document_, &ScheduleDocument::setDetailsTogether);
    connect(document_, &ScheduleDocument::edited, this, &MainForm::rowsChanged);
    connect(document_, &ScheduleDocument::listsReset, this, [this] {
        ShowBasicList();
        ShowAdvanceList();
        ShowDetailList();
    });
    // The rows were told one by one, so each list keeps its selection and scroll position; a list that
    // got its first rows selects one.
    connect(document_, &ScheduleDocument::reset, this, [this](const EntryRef& touched) {
        for (ScheduleListView* list : {AdvanceList, NormalList, DetailList})
            if (list->count() > 0 && list->currentRow() < 0)
                list->setCurrentRow(0);
        ButtonStatusSetup();
        select(touched);
    });
    connect(document_, &ScheduleDocument::fileChanged, this, &MainForm::UpdateMainCaption);

    // A double click on a row, and the keys of a list, do what the list's buttons do, when they would.
    const auto clickIfEnabled = [](QPushButton* button) {
        if (button->isEnabled())
            button->click();
    };
    const auto listKeys = [this, clickIfEnabled](ScheduleListView* list, QPushButton* modify,
                                                 QPushButton* remove, QPushButton* up, QPushButton* down) {
        connect(list, &ScheduleListView::rowActivated, this,
                [clickIfEnabled, modify] { clickIfEnabled(modify); });
        const std::array<std::pair<QKeySequence, QPushButton*>, 5> keys = {{
            {QKeySequence(Qt::Key_Delete), remove},
            {QKeySequence(Qt::Key_Return), modify},
            {QKeySequence(Qt::Key_Enter), modify},
            {QKeySequence(Qt::CTRL | Qt::Key_Up), up},
            {QKeySequence(Qt::CTRL | Qt::Key_Down), down},
        }};
        for (const auto& [key, button] : keys) {
            auto* shortcut = new QShortcut(key, list, nullptr, nullptr, Qt::WidgetShortcut);
            connect(shortcut, &QShortcut::activated, button,
                    [clickIfEnabled, button] { clickIfEnabled(button); });
        }
    };
    listKeys(NormalList, NormalModifyCmd, NormalRemoveCmd, NormalMoveUpCmd, NormalMoveDownCmd);
    listKeys(AdvanceList, AdvanceModifyCmd, AdvanceRemoveCmd, AdvanceMoveUpCmd, AdvanceMoveDownCmd);
    listKeys(DetailList, DetailModifyCmd, DetailRemoveCmd, DetailMoveUpCmd, DetailMoveDownCmd);
    // A row dragged to another place in its list is one move, as a button's is.
    for (const EntryRef::List kind : {EntryRef::List::Basic, EntryRef::List::Advance, EntryRef::List::Detail})
        connect(listOf(kind), &ScheduleListView::rowDropped, this, [this, kind](int from, int to) {
            if (kind != EntryRef::List::Detail)
                document_->moveEntryTo(kind, -1, from, to);
            else if (selectedAdvanceEntry() != nullptr)
                document_->moveEntryTo(kind, AdvanceList->currentRow(), from, to);
        });

    // Whoever sets the row (a click, a refill, a move, an editor), the details follow.
    connect(AdvanceList, &ScheduleListView::currentRowChanged, this, [this](int) { AdvanceList_Click(); });

    connect(KeepTimer, &QTimer::timeout, this, &MainForm::KeepTimer_Timer);
}

void MainForm::InitMainFormOsd() {
    const ScreenTexts& texts = context_.texts;
    auto text = [&texts](TextId id) { return screenText(texts, id); };

    subFile->setTitle(text(TextId::TextMenuFile));
    subHelp->setTitle(text(TextId::TextMenuHelp));
    subNew->setText(text(TextId::TextNew));
    subOpen->setText(text(TextId::TextOpen));
    subSave->setText(text(TextId::TextSave));
    subSaveAs->setText(text(TextId::TextSaveAs));
    subWriteToMedium->setText(text(TextId::TextWriteToMedium));
    subExit->setText(text(TextId::TextExit));
    subAboutVelmoScheduleGenerator->setText(text(TextId::TextAboutProduct));
    subAboutCompany->setText(text(TextId::TextAboutCompany));

    NewCmd->setText(text(TextId::TextNew));
    OpenCmd->setText(text(TextId::TextOpen));
    SaveCmd->setText(text(TextId::TextSave));
    SaveAsCmd->setText(text(TextId::TextSaveAs));
    ExitCmd->setText(text(TextId::TextExit));

    NormalFrame->setTitle(text(TextId::TextBasicSchedule));
    AdvanceFrame->setTitle(text(TextId::TextAdvanceSchedule));
    DetailFrame->setTitle(text(TextId::TextDetailOfAdvanceSchedule));
    SetCaption(*EditDaysTogetherCheck, text(TextId::TextEditDaysTogether));
    // A mouse handle only; named should a screen reader meet it anyway.
    if (auto* grip = statusBar()->findChild<QSizeGrip*>()) {
        grip->setAccessibleName(text(TextId::TextSizeGrip));
        HideFromScreenReaders(*grip);
    }

    for (auto* button : {NormalAddCmd, AdvanceAddCmd, DetailAddCmd})
        button->setText(text(TextId::TextAdd));
    for (auto* button : {NormalModifyCmd, AdvanceModifyCmd, DetailModifyCmd})
        button->setText(text(TextId::TextModify));
    for (auto* button : {NormalRemoveCmd, AdvanceRemoveCmd, DetailRemoveCmd})
        button->setText(text(TextId::TextRemove));
    for (auto* button : {NormalMoveUpCmd, AdvanceMoveUpCmd, DetailMoveUpCmd})
        button->setText(text(TextId::TextMoveUp));
    for (auto* button : {NormalMoveDownCmd, AdvanceMoveDownCmd, DetailMoveDownCmd})
        button->setText(text(TextId::TextMoveDown));

    BasicFileNameCmd->setText(text(TextId::TextFileName));
    BasicPlayTimesCmd->setText(text(TextId::TextPlayTimes));
    BasicVolumeCmd->setText(text(TextId::TextVolume));
    DetailFileNameCmd->setText(text(TextId::TextFileName));
    DetailPlayTimesCmd->setText(text(TextId::TextPlayTimes));
    DetailVolumeCmd->setText(text(TextId::TextVolume));
    StartDateCmd->setText(text(TextId::TextStartDay));
    StopDateCmd->setText(text(TextId::TextStopDay));
    WeekDayCmd->setText(text(TextId::TextWeekDay));

    // What a screen reader announces: each list by its frame's caption, with its columns.
    const QString fileColumns = text(TextId::TextFileName) + QStringLiteral(", ") +
                                text(TextId::TextPlayTimes) + QStringLiteral(", ") + text(TextId::TextVolume);
    NormalList->setAccessibleName(text(TextId::TextBasicSchedule));
    NormalList->setAccessibleDescription(fileColumns);
    AdvanceList->setAccessibleName(text(TextId::TextAdvanceSchedule));
    AdvanceList->setAccessibleDescription(text(TextId::TextStartDay) + QStringLiteral(", ") +
                                          text(TextId::TextStopDay) + QStringLiteral(", ") +
                                          text(TextId::TextWeekDay));
    DetailList->setAccessibleName(text(TextId::TextDetailOfAdvanceSchedule));
    DetailList->setAccessibleDescription(fileColumns);
    VelmoLogoImage->setAccessibleName(text(TextId::TextProductName));

    for (QPushButton* header : {BasicFileNameCmd, BasicPlayTimesCmd, BasicVolumeCmd, DetailFileNameCmd,
                                DetailPlayTimesCmd, DetailVolumeCmd, StartDateCmd, StopDateCmd, WeekDayCmd})
        header->setFixedWidth(std::max(header->property("columnWidth").toInt(), header->sizeHint().width()));
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void MainForm::Form_Load(const std::string& programDir) {
    // The random source was seeded from the clock by whoever built the context.
    InitPaths(programDir);
    // Unless the settings remember another, the default name beside the program.
    RememberedSchedule remembered{context_.state.appPath,
                                  std::string(kDefaultScheduleBaseName) + "." + kScheduleExtension};
    // The screen texts are not loaded yet, so the settings error speaks English.
    ReadSettings(context_.state, remembered,
                 [this] { context_.prompts.message(this, toQt(EnglishText(TextId::MsgSystemInfoError))); });
    context_.state.publish.read(context_.state.appPath);
    if (context_.state.copyDrive.empty()) {
        std::vector<std::string> mountPoints;
        for (const Volume& volume : context_.volumes.volumes())
            mountPoints.push_back(fromQt(volume.mountPoint));
        context_.state.copyDrive = MountPointOf(context_.state.appPath, mountPoints);
    }
    context_.state.languageSelector = StartingLanguage(context_.state.appPath);
    context_.texts.SelectScreenTexts(context_.state.languageSelector);
    InitMainFormOsd();
    LoadCurrentSchedule(remembered);
    ButtonStatusSetup();
}

void MainForm::InitPaths(const std::string& programDir) {
    AppState& state = context_.state;
    state.appPath = WithTrailingSeparator(programDir);
    // The dialogs open where a user keeps files, never in a hidden data folder.
    const std::string start = state.documentsDir.empty() ? state.appPath : state.documentsDir;
    state.openDir = start;
    state.saveDir = start;
    state.mediaDir = start;
    // The drive holding the program is found after the settings are read, and only if they name
    // none: listing the mounted volumes is a slow part of start-up.
    state.copyDrive.clear();
    state.copyDir = state.appPath;
    state.languageSelector = 1;
}

void MainForm::LoadCurrentSchedule(const RememberedSchedule& remembered) {
    AppState& state = context_.state;
    const std::string& directory = remembered.directory;
    std::string name = remembered.fileName;
    Schedule schedule;
    if (!FileExistsInDir(directory, name)) {
        document_->load(newDocument());
        UpdateMainCaption();
        return;
    }
    name = nameOnDisk(directory, name);
    if (!ReadScheduleFile(directory, name, schedule)) {
        // A damaged file is left alone; a later Save goes to a fresh name.
        showMessage(TextId::MsgFileReadError);
        document_->load(newDocument());
        UpdateMainCaption();
        return;
    }
    document_->load({std::move(schedule), directory, name});
    state.openDir = document_->directory();
    UpdateMainCaption();
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        // A session that ends cannot wait for an answer; its changes went to the recovery file.
        if (!recovery_->sessionEnding()) {
            if (!confirmClose() && !recovery_->sessionEnding()) {
                event->ignore();
                return;
            }
            if (!recovery_->sessionEnding())
                recovery_->closedNormally();
        }
        unloaded_ = true;
        Form_Unload();
    }
    event->accept();
}

void MainForm::EndSession() {
    if (!unloaded_)
        recovery_->endSession();
    close();
}

void MainForm::Form_Unload() {
    KeepTimer->stop();
    // The program ends whatever happens here; a settings file that cannot be written is only lost.
    const Result written = WriteSettings(context_.state);
    if (!written)
        std::fprintf(stderr, "velmo-schedule-generator: settings not saved: %s\n", written.reason.c_str());
}

void MainForm::KeepTimer_Timer() {
    const QColor first = Shape1[0]->fillColor();
    for (std::size_t i = 0; i + 1 < Shape1.size(); ++i)
        Shape1[i]->setFillColor(Shape1[i + 1]->fillColor());
    Shape1[7]->setFillColor(first);
}

// ---------------------------------------------------------------------------------------------
// Lists

void MainForm::ShowBasicList() {
    showAll(NormalList);
}

void MainForm::ShowAdvanceList() {
    // Selecting row 0 runs AdvanceList_Click, which fills DetailList.
    showAll(AdvanceList);
}

void MainForm::ShowDetailList() {
    showAll(DetailList, selectedAdvanceEntry() != nullptr ? AdvanceList->currentRow() : -1);
}

void MainForm::AdvanceList_Click() {
    ShowDetailList();
    ButtonStatusSetup();
}

const AdvanceEntry* MainForm::selectedAdvanceEntry() const {
    return document_->advanceEntry(AdvanceList->currentRow());
}

void MainForm::selectAdvanceRow(int row) {
    const bool unchanged = AdvanceList->currentRow() == row;
    AdvanceList->setCurrentRow(row);
    if (unchanged)
        AdvanceList_Click();
}

ScheduleListView* MainForm::listOf(EntryRef::List list) const {
    switch (list) {
    case EntryRef::List::Basic:
        return NormalList;
    case EntryRef::List::Advance:
        return AdvanceList;
    case EntryRef::List::Detail:
        return DetailList;
    case EntryRef::List::None:
        break;
    }
    return nullptr;
}

EntryRef MainForm::selection(EntryRef::List list) const {
    switch (list) {
    case EntryRef::List::Basic:
        return {list, -1, NormalList->currentRow()};
    case EntryRef::List::Advance:
        return {list, AdvanceList->currentRow(), -1};
    case EntryRef::List::Detail:
        return {list, AdvanceList->currentRow(), DetailList->currentRow()};
    case EntryRef::List::None:
        break;
    }
    return {};
}

void MainForm::select(const EntryRef& ref) {
    const auto clamped = [](int row, const ScheduleListView* list) {
        return std::clamp(row, 0, list->count() - 1);
    };
    ScheduleListView* focus = nullptr;
    if (ref.list == EntryRef::List::Basic && ref.index >= 0 && NormalList->count() > 0) {
        NormalList->setCurrentRow(clamped(ref.index, NormalList));
        focus = NormalList;
    }
    if ((ref.list == EntryRef::List::Advance || ref.list == EntryRef::List::Detail) && ref.advance >= 0 &&
        AdvanceList->count() > 0) {
        // A new row runs AdvanceList_Click, which refills the details.
        AdvanceList->setCurrentRow(clamped(ref.advance, AdvanceList));
        focus = AdvanceList;
    }
    if (ref.list == EntryRef::List::Detail && ref.index >= 0 && DetailList->count() > 0) {
        DetailList->setCurrentRow(clamped(ref.index, DetailList));
        focus = DetailList;
    }
    ButtonStatusSetup();
    if (focus != nullptr)
        focus->setFocus();
}

void MainForm::rowsChanged(const RowEdit& edit) {
    ScheduleListView* list = listOf(edit.list);
    // Details of an advance entry not shown are shown anew when it is selected.
    if (list == nullptr || (edit.list == EntryRef::List::Detail && edit.advance != AdvanceList->currentRow()))
        return;
    const int row = edit.selected;
    if (list == AdvanceList) {
        if (row >= 0)
            selectAdvanceRow(row);
        else
            ShowDetailList();
    } else if (row >= 0) {
        list->setCurrentRow(row);
    }
    ButtonStatusSetup();
}

void MainForm::ButtonStatusSetup() {
    auto apply = [](int rows, QPushButton* add, QPushButton* modify, QPushButton* remove, QPushButton* up,
                    QPushButton* down) {
        add->setEnabled(true);
        modify->setEnabled(rows >= 1);
        remove->setEnabled(rows >= 1);
        up->setEnabled(rows >= 2);
        down->setEnabled(rows >= 2);
    };
    NormalList->setEnabled(true);
    AdvanceList->setEnabled(true);
    apply(NormalList->count(), NormalAddCmd, NormalModifyCmd, NormalRemoveCmd, NormalMoveUpCmd,
          NormalMoveDownCmd);
    apply(AdvanceList->count(), AdvanceAddCmd, AdvanceModifyCmd, AdvanceRemoveCmd, AdvanceMoveUpCmd,
          AdvanceMoveDownCmd);
    if (AdvanceList->count() == 0) {
        for (auto* button :
             {DetailAddCmd, DetailModifyCmd, DetailRemoveCmd, DetailMoveUpCmd, DetailMoveDownCmd})
            button->setEnabled(false);
    } else {
        apply(DetailList->count(), DetailAddCmd, DetailModifyCmd, DetailRemoveCmd, DetailMoveUpCmd,
              DetailMoveDownCmd);
    }
}

// ---------------------------------------------------------------------------------------------
// New schedule and caption

DocumentState MainForm::newDocument() const {
    const std::string& directory = context_.state.appPath;
    // Listed once: a folder of thousands of earlier default names must not make this slow.
    const DirectorySnapshot folder(directory);
    std::string name = FreeScheduleName([&folder](const std::string& n) { return folder.contains(n); },
                                        processPendingEvents);
    return {Schedule{}, directory, std::move(name)};
}

void MainForm::NewSchedule() {
    document_->replace(TextId::TextNew, newDocument(), Replacement::Opened);
    UpdateMainCaption();
}

void MainForm::UpdateMainCaption() {
    const AppState& state = context_.state;
    QString caption = screenText(context_.texts, TextId::TextProductName) + QStringLiteral(" - ") +
                      toQt(state.scheduleDir + state.scheduleFileName);
    // "[*]" is the window's modified-mark placeholder; doubled it shows as itself.
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(caption);
}

// ---------------------------------------------------------------------------------------------
// File commands

void MainForm::showMessage(TextId id) {
    context_.prompts.message(this, screenText(context_.texts, id));
}

bool MainForm::OpenSchedule() {
    AppState& state = context_.state;
    std::string directory = state.openDir;
    std::string name;
    if (!ShowOpenDialog(directory, name))
        return false;
    return readSchedule(directory, name);
}

bool MainForm::readSchedule(const std::string& directory, const std::string& name) {
    AppState& state = context_.state;
    // The document is replaced only by a file that decodes completely.
    Schedule schedule;
    if (!ReadScheduleFile(directory, name, schedule)) {
        showMessage(TextId::MsgFileReadError);
        return false;
    }
    state.openDir = directory;
    document_->replace(TextId::TextOpen, {std::move(schedule), directory, name}, Replacement::Opened);
    ButtonStatusSetup();
    UpdateMainCaption();
    return true;
}

bool MainForm::ShowOpenDialog(std::string& directory, std::string& name) {
    for (;;) {
        const std::optional<QString> chosen =
            context_.prompts.openFile(this, kOpenFilter, toQt(directory), toQt(name));
        if (!chosen)
            return false;
        const std::string path = fromQt(*chosen);
        directory = PathDirectory(path);
        name = ApplyScheduleExtension(PathFileName(path));
        if (FileExistsInDir(directory, name)) {
            name = nameOnDisk(directory, name);
            return true;
        }
        showMessage(TextId::MsgFileNotFound);
        processPendingEvents();
    }
}

bool MainForm::writeSchedule(const std::string& directory, const std::string& name) {
    // The old file stays whole until the new one is complete, so nothing is deleted first.
    const Result written = WriteScheduleFile(directory, name, document_->schedule(), context_.random);
    if (!written) {
        showMessage(TextId::MsgFileSaveError);
        statusBar()->showMessage(screenText(context_.texts, SaveFailureText(written.kind)));
        return false;
    }
    return true;
}

bool MainForm::SaveSchedule(bool saveAs) {
    if (!CheckScheduleSavable())
        return false;
    AppState& state = context_.state;
    std::string directory = state.scheduleDir;
    std::string name = state.scheduleFileName;
    if (!saveAs && FileExistsInDir(directory, name)) {
        name = nameOnDisk(directory, name);
        if (!writeSchedule(directory, name))
            return false;
        document_->saved(directory, name);
        UpdateMainCaption();
        return true;
    }
    directory = state.saveDir;
    name = state.scheduleFileName;
    if (!ShowSaveAsDialog(directory, name))
        return false;
    if (!writeSchedule(directory, name))
        return false;
    state.saveDir = directory;
    document_->saved(directory, name);
    UpdateMainCaption();
    return true;
}

bool MainForm::CheckScheduleSavable() {
    if (const std::optional<std::string> refusal =
            ScheduleSaveRefusal(document_->schedule(), context_.texts)) {
        context_.prompts.message(this, toQt(*refusal));
        // The message names no place a user can find at a glance; the list and the status bar do.
        if (const int empty = FirstAdvanceWithoutFiles(document_->schedule()); empty >= 0) {
            AdvanceList->setCurrentRow(empty);
            AdvanceList->setFocus();
            statusBar()->showMessage(screenText(context_.texts, TextId::MsgAdvanceHasNoFiles).arg(empty + 1));
        }
        return false;
    }
    return true;
}

bool MainForm::ShowSaveAsDialog(std::string& directory, std::string& name) {
    for (;;) {
        const std::optional<QString> chosen =
            context_.prompts.saveFile(this, kSaveAsFilter, toQt(directory), toQt(name));
        if (!chosen)
            return false;
        const std::string path = fromQt(*chosen);
        directory = PathDirectory(path);
        name = ApplyScheduleExtension(PathFileName(path));
        // A hidden file is no file to the existence test, but it is still never replaced unasked.
        const std::optional<std::string> existing = ExistingFileName(directory, name);
        if (!FileExistsInDir(directory, name) && !existing)
            return true;
        if (context_.prompts.askYesNo(this, screenText(context_.texts, TextId::MsgFileExistsOverwrite))) {
            name = existing.value_or(name);
            return true;
        }
        processPendingEvents();
    }
}

bool MainForm::confirmClose() {
    if (!document_->isModified())
        return true;
    const ScreenTexts& texts = context_.texts;
    enum class Changes { Save, Discard, Keep };
    switch (AskThreeWay<Changes>(context_.prompts, this, screenText(texts, TextId::MsgSaveChanges),
                                 {{Changes::Save, screenText(texts, TextId::TextSave)},
                                  {Changes::Discard, screenText(texts, TextId::TextDiscard)},
                                  {Changes::Keep, screenText(texts, TextId::TextCancel)}})) {
    case Changes::Save:
        return SaveSchedule(false);
    case Changes::Discard:
        return true;
    case Changes::Keep:
        break;
    }
    return false;
}

void MainForm::newCommand() {
    if (confirmClose())
        NewSchedule();
}

void MainForm::openCommand() {
    if (confirmClose())
        OpenSchedule();
}

void MainForm::OpenScheduleFile(const std::string& path) {
    const std::string directory = PathDirectory(path);
    std::string name = PathFileName(path);
    // A file that is not there costs no question about the changes.
    if (!FileExistsInDir(directory, name)) {
        showMessage(TextId::MsgFileNotFound);
        return;
    }
    if (!confirmClose())
        return;
    readSchedule(directory, nameOnDisk(directory, name));
}

void MainForm::subNew_Click() {
    newCommand();
}
void MainForm::subOpen_Click() {
    openCommand();
}
void MainForm::subSave_Click() {
    SaveSchedule(false);
}
void MainForm::subSaveAs_Click() {
    SaveSchedule(true);
}
void MainForm::subExit_Click() {
    close();
}

void MainForm::subAboutVelmoScheduleGenerator_Click() {
    AboutVelmoScheduleGeneratorForm form(context_, this);
    form.exec();
}

void MainForm::subWriteToMedium_Click() {
    if (!CheckScheduleSavable())
        return;
    PublishSettings settings = context_.state.publish.settings();
    WriteToMediumForm form(context_, settings, *document_, *media_, this);
    form.exec();
    if (const Result written = context_.state.publish.remember(settings); !written)
        std::fprintf(stderr, "velmo-schedule-generator: publish settings not saved: %s\n",
                     written.reason.c_str());
}

void MainForm::subAboutCompany_Click() {
    AboutCompanyForm form(context_, this);
    form.exec();
}

// ---------------------------------------------------------------------------------------------
// List commands

void MainForm::openScheduleEditor(EntryRef::List list, bool add) {
    ScheduleListView* view = listOf(list);
    const int advance = list == EntryRef::List::Detail ? AdvanceList->currentRow() : -1;
    std::optional<FileEntry> entry;
    int index = -1;
    if (!add) {
        if (view->currentRow() == -1)
            view->setCurrentRow(0);
        index = view->currentRow();
        const std::vector<FileEntry>* entries = &document_->schedule().basicEntries;
        if (list == EntryRef::List::Detail) {
            const AdvanceEntry* owner = document_->advanceEntry(advance);
            entries = owner != nullptr ? &owner->files : nullptr;
        }
        // The selection points at no entry: there is nothing to modify.
        if (entries == nullptr || index < 0 || index >= document_->count(list, advance))
            return;
        entry = (*entries)[static_cast<std::size_t>(index)];
    }
    ScheduleEditForm form(context_, entry, document_->room(list, advance), this);
    form.examineWith(media_->probeCache());
    if (form.exec() != QDialog::Accepted || form.entries().empty())
        return;
    if (add)
        document_->addFiles(AddSource::Editor, list, advance, form.entries());
    else
        document_->replaceFile(list, advance, index, form.entries().front());
}

void MainForm::openAdvanceEditor(bool add) {
    const Schedule& schedule = document_->schedule();
    std::optional<PeriodPlan> plan;
    PeriodRange replaced{document_->count(EntryRef::List::Advance), 0};
    int index = -1;
    if (!add) {
        if (AdvanceList->currentRow() == -1)
            selectAdvanceRow(0);
        index = AdvanceList->currentRow();
        if (selectedAdvanceEntry() == nullptr)
            return;
        replaced = EditDaysTogetherCheck->isChecked() ? GroupOf(schedule, index) : PeriodRange{index, 1};
        plan = PlanOf(schedule, replaced);
    }
    AdvanceScheduleEditForm form(context_, plan, document_->room(EntryRef::List::Advance) + replaced.count,
                                 this);
    if (form.exec() != QDialog::Accepted)
        return;
    // One period in place of one keeps the single-row edit; anything else is the group's rows anew.
    if (replaced.count <= 1 && form.periods().size() == 1) {
        if (add)
            document_->addAdvance(AddSource::Editor, form.entry());
        else
            document_->replaceAdvance(index, form.entry());
        return;
    }
    document_->replacePeriods(add ? TextId::TextAdd : TextId::TextModify, replaced, form.periods(),
                              {EntryRef::List::Advance, replaced.first, -1});
}

void MainForm::moveSelected(EntryRef::List list, int direction) {
    const ScheduleListView* view = listOf(list);
    const int selected = view->currentRow();
    const int target = selected + direction;
    if (selected < 0 || view->count() <= 1 || target < 0 || target >= view->count())
        return;
    if (list == EntryRef::List::Detail && selectedAdvanceEntry() == nullptr)
        return;
    document_->moveEntry(list, list == EntryRef::List::Detail ? AdvanceList->currentRow() : -1, selected,
                         direction);
}

void MainForm::removeSelected(EntryRef::List list) {
    const ScheduleListView* view = listOf(list);
    const int selected = view->currentRow();
    if (selected < 0 || view->count() < 1)
        return;
    if (list == EntryRef::List::Detail && selectedAdvanceEntry() == nullptr)
        return;
    document_->removeEntry(list, list == EntryRef::List::Detail ? AdvanceList->currentRow() : -1, selected);
}

void MainForm::NormalAddCmd_Click() {
    if (document_->room(EntryRef::List::Basic) == 0) {
        showMessage(TextId::MsgTooManyBasic);
        return;
    }
    openScheduleEditor(EntryRef::List::Basic, true);
}

void MainForm::NormalModifyCmd_Click() {
    openScheduleEditor(EntryRef::List::Basic, false);
}

void MainForm::NormalMoveUpCmd_Click() {
    moveSelected(EntryRef::List::Basic, -1);
}

void MainForm::NormalMoveDownCmd_Click() {
    moveSelected(EntryRef::List::Basic, +1);
}

void MainForm::NormalRemoveCmd_Click() {
    removeSelected(EntryRef::List::Basic);
}

void MainForm::AdvanceAddCmd_Click() {
    if (document_->room(EntryRef::List::Advance) == 0) {
        showMessage(TextId::MsgTooManyBasic);
        return;
    }
    openAdvanceEditor(true);
}

void MainForm::AdvanceModifyCmd_Click() {
    openAdvanceEditor(false);
}

void MainForm::AdvanceMoveUpCmd_Click() {
    moveSelected(EntryRef::List::Advance, -1);
}

void MainForm::AdvanceMoveDownCmd_Click() {
    moveSelected(EntryRef::List::Advance, +1);
}

void MainForm::AdvanceRemoveCmd_Click() {
    const int selected = AdvanceList->currentRow();
    const Schedule& schedule = document_->schedule();
    const PeriodRange group = GroupOf(schedule, selected);
    if (!EditDaysTogetherCheck->isChecked() || group.count <= 1) {
        removeSelected(EntryRef::List::Advance);
        return;
    }
    const ScreenTexts& texts = context_.texts;
    const QString question =
        toQt(FillIn(texts.text(TextId::MsgRemoveGroup),
                    {std::to_string(group.count), WeekDaysText(WeekDaysOf(schedule, group), texts)}));
    enum class Remove { WholeGroup, ThisPeriod, Nothing };
    switch (AskThreeWay<Remove>(context_.prompts, this, question,
                                {{Remove::WholeGroup, screenText(texts, TextId::TextYes)},
                                 {Remove::ThisPeriod, screenText(texts, TextId::TextNo)},
                                 {Remove::Nothing, screenText(texts, TextId::TextCancel)}})) {
    case Remove::WholeGroup: {
        const int remaining = document_->count(EntryRef::List::Advance) - group.count;
        document_->replacePeriods(TextId::TextRemove, group, {},
                                  {EntryRef::List::Advance, std::min(group.first, remaining - 1), -1});
        break;
    }
    case Remove::ThisPeriod:
        removeSelected(EntryRef::List::Advance);
        break;
    case Remove::Nothing:
        break;
    }
}

void MainForm::DetailAddCmd_Click() {
    if (selectedAdvanceEntry() == nullptr)
        return;
    if (document_->room(EntryRef::List::Detail, AdvanceList->currentRow()) == 0) {
        showMessage(TextId::MsgTooManyBasic);
        return;
    }
    openScheduleEditor(EntryRef::List::Detail, true);
}

void MainForm::DetailModifyCmd_Click() {
    openScheduleEditor(EntryRef::List::Detail, false);
}

void MainForm::DetailMoveUpCmd_Click() {
    moveSelected(EntryRef::List::Detail, -1);
}

void MainForm::DetailMoveDownCmd_Click() {
    moveSelected(EntryRef::List::Detail, +1);
}

void MainForm::DetailRemoveCmd_Click() {
    removeSelected(EntryRef::List::Detail);
}

} // namespace velmo
