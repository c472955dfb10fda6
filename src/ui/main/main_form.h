#pragma once

#include "rules/schedule_history.h"

#include <QMainWindow>
#include <array>
#include <string>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace velmo {

struct AdvanceEntry;
struct AppContext;
class EditCommands;
class RecoveryFile;
class ScheduleDocument;
class ScheduleMedia;
class ScheduleListView;
class ScheduleOverviewHooks;
struct RememberedSchedule;
struct RowEdit;
class ShapeBar;
enum class TextId;

// The editor's main window: the three schedule lists with their commands, the file commands, and
// the program's start-up and shutdown. Controls and handlers carry the names the program's
// documentation gives them.
class MainForm : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainForm)
public:
    // Builds the window and runs the start-up: application paths (appPath from programDir), the
    // settings, the screen texts, the current schedule, the button states.
    MainForm(AppContext& context, const std::string& programDir, QWidget* parent = nullptr);
    ~MainForm() override;

    void ButtonStatusSetup();
    void InitMainFormOsd();

    void ShowBasicList();
    void ShowAdvanceList();
    void ShowDetailList();

    void UpdateMainCaption();
    // True when a schedule was read.
    bool OpenSchedule();
    // Opens the schedule file at `path` as Open would once it is chosen, asking about unsaved
    // changes first: a file named at start or handed over by a second start.
    void OpenScheduleFile(const std::string& path);
    // True when the schedule was written.
    bool SaveSchedule(bool saveAs);

    void KeepTimer_Timer();

    // The schedule being edited; every change to it goes through here.
    ScheduleDocument& document() { return *document_; }
    // What the schedule's media files hold, as far as examined.
    ScheduleMedia& media() { return *media_; }

    // The session ends (a signal, a logout): no question is asked, unsaved changes are kept for the
    // next start, and the window closes.
    void EndSession();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs whenever the selected row of AdvanceList is set, by the user or by the program.
    void AdvanceList_Click();
    // Starts an empty schedule under the first free default name beside the program.
    void NewSchedule();
    bool ShowOpenDialog(std::string& directory, std::string& name);
    bool CheckScheduleSavable();
    bool ShowSaveAsDialog(std::string& directory, std::string& name);

    // One handler per file command: its button triggers the menu's action.
    void subNew_Click();
    void subOpen_Click();
    void subSave_Click();
    void subSaveAs_Click();
    void subWriteToMedium_Click();
    void subExit_Click();
    void subAboutVelmoScheduleGenerator_Click();
    void subAboutCompany_Click();

    void NormalAddCmd_Click();
    void NormalModifyCmd_Click();
    void NormalMoveUpCmd_Click();
    void NormalMoveDownCmd_Click();
    void NormalRemoveCmd_Click();
    void AdvanceAddCmd_Click();
    void AdvanceModifyCmd_Click();
    void AdvanceMoveUpCmd_Click();
    void AdvanceMoveDownCmd_Click();
    void AdvanceRemoveCmd_Click();
    void DetailAddCmd_Click();
    void DetailModifyCmd_Click();
    void DetailMoveUpCmd_Click();
    void DetailMoveDownCmd_Click();
    void DetailRemoveCmd_Click();

    void buildWindow();
    void buildMenus();
    QGroupBox* buildListFrame(const char* frameName, ScheduleListView*& list, const char* listName,
                              EntryRef::List kind, const std::array<QPushButton**, 3>& headers,
                              const std::array<const char*, 3>& headerNames,
                              const std::array<int, 3>& headerColumns,
                              const std::array<QPushButton**, 5>& commands,
                              const std::array<const char*, 5>& commandNames);
    void connectHandlers();
    void reserveStatusBarRoom();
    void showMedia();

    void Form_Load(const std::string& programDir);
    void Form_Unload();
    void InitPaths(const std::string& programDir);
    void LoadCurrentSchedule(const RememberedSchedule& remembered);
    // An empty schedule under the first free default name beside the program.
    DocumentState newDocument() const;

    // Sets the selected row of AdvanceList and runs AdvanceList_Click even when the row stays.
    void selectAdvanceRow(int row);
    // The advance entry whose details DetailList shows; null when none is selected.
    const AdvanceEntry* selectedAdvanceEntry() const;
    ScheduleListView* listOf(EntryRef::List list) const;
    EntryRef selection(EntryRef::List list) const;
    // Selects the entry an undo or redo touched, and puts the focus on its list.
    void select(const EntryRef& ref);
    // An edit command changed some rows: the list selects the entry the edit left.
    void rowsChanged(const RowEdit& edit);
    // Opens the file entry editor on the selected row of `list` (or for an Add) and stores its result.
    void openScheduleEditor(EntryRef::List list, bool add);
    void openAdvanceEditor(bool add);
    void moveSelected(EntryRef::List list, int direction);
    void removeSelected(EntryRef::List list);
    void showMessage(TextId id);
    // Writes the schedule safely; on failure tells the user and gives false.
    bool writeSchedule(const std::string& directory, const std::string& name);

    // Before the schedule is closed (New, Open, Exit): asks Save, Discard or Cancel when it changed.
    // True when the command may go on.
    bool confirmClose();
    void newCommand();
    void openCommand();
    // Reads the schedule into the window; on failure tells the user and leaves everything as it was.
    bool readSchedule(const std::string& directory, const std::string& name);

    AppContext& context_;
    bool unloaded_ = false;
    ScheduleDocument* document_ = nullptr; // owned by this window
    ScheduleMedia* media_ = nullptr;       // owned by this window
    EditCommands* edits_ = nullptr;        // owned by this window
    RecoveryFile* recovery_ = nullptr;     // owned by this window
    ScheduleOverviewHooks* overview_ = nullptr;

    // Controls, named as the program's documentation names them; others find them by object name.
    QMenu* subFile = nullptr;
    QAction* subNew = nullptr;
    QAction* subOpen = nullptr;
    QAction* subSave = nullptr;
    QAction* subSaveAs = nullptr;
    QAction* subWriteToMedium = nullptr;
    QAction* subExit = nullptr;
    QMenu* subHelp = nullptr;
    QAction* subAboutVelmoScheduleGenerator = nullptr;
    QAction* subAboutCompany = nullptr;

    QPushButton* NewCmd = nullptr;
    QPushButton* OpenCmd = nullptr;
    QPushButton* SaveCmd = nullptr;
    QPushButton* SaveAsCmd = nullptr;
    QPushButton* ExitCmd = nullptr;

    QGroupBox* NormalFrame = nullptr;
    QGroupBox* AdvanceFrame = nullptr;
    QGroupBox* DetailFrame = nullptr;
    QCheckBox* EditDaysTogetherCheck = nullptr;
    ScheduleListView* NormalList = nullptr;
    ScheduleListView* AdvanceList = nullptr;
    ScheduleListView* DetailList = nullptr;

    QPushButton* BasicFileNameCmd = nullptr;
    QPushButton* BasicPlayTimesCmd = nullptr;
    QPushButton* BasicVolumeCmd = nullptr;
    QPushButton* StartDateCmd = nullptr;
    QPushButton* StopDateCmd = nullptr;
    QPushButton* WeekDayCmd = nullptr;
    QPushButton* DetailFileNameCmd = nullptr;
    QPushButton* DetailPlayTimesCmd = nullptr;
    QPushButton* DetailVolumeCmd = nullptr;

    QPushButton* NormalAddCmd = nullptr;
    QPushButton* NormalModifyCmd = nullptr;
    QPushButton* NormalMoveUpCmd = nullptr;
    QPushButton* NormalMoveDownCmd = nullptr;
    QPushButton* NormalRemoveCmd = nullptr;
    QPushButton* AdvanceAddCmd = nullptr;
    QPushButton* AdvanceModifyCmd = nullptr;
    QPushButton* AdvanceMoveUpCmd = nullptr;
    QPushButton* AdvanceMoveDownCmd = nullptr;
    QPushButton* AdvanceRemoveCmd = nullptr;
    QPushButton* DetailAddCmd = nullptr;
    QPushButton* DetailModifyCmd = nullptr;
    QPushButton* DetailMoveUpCmd = nullptr;
    QPushButton* DetailMoveDownCmd = nullptr;
    QPushButton* DetailRemoveCmd = nullptr;

    QTimer* KeepTimer = nullptr;
    // Index 7 is the leftmost bar, index 0 the rightmost.
    std::array<ShapeBar*, 8> Shape1{};
    QLabel* VelmoLogoImage = nullptr;
};

} // namespace velmo
