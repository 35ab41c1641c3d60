// The main window's start-up, its command table and popups, the conversion batch, help, links
// and the first run.
#include "ui/CMainDlg.h"

#include <iterator>
#include <optional>

#include "convert/Batch.h"
#include "convert/ConversionJob.h"
#include "engine/PathUtil.h"
#include "ui/ProgramOptions.h"
#include "ui/ShellHelpers.h"

namespace kelvora {

// What a running batch needs on the window's side: the items, the progress window, the wait
// cursor, and (several files at once) the results that came in so far.
struct CMainDlg::BatchRun {
    std::vector<SourceItem*> items;
    bool inTurn = true;
    bool selectFirstAfter = false;
    const SourceItem* selected = nullptr;
    std::unique_ptr<IProgressWindow> progress;
    std::unique_ptr<WaitCursor> wait;
    std::vector<std::optional<CBatch::Result>> results;
    size_t shown = 0;  // statuses written, in list order
    bool over = false;
    std::unique_ptr<CBatch::Listener> listener;
    std::unique_ptr<CBatch> batch;
};

namespace {

constexpr const char* kSelectFirst = "You should select a file first.";
constexpr const char* kNoFiles = "There aren't files in list.";

struct PopupItem {
    int32_t id;  // 0: a separator
    const char* text;
};

constexpr PopupItem kSourcePopup[] = {
    {kCmdPlaySource, "&Play"},
    {kCmdRemove, "&Remove\tDel"},
    {kCmdRemoveAll, "Remove Al&l"},
    {0, ""},
    {kCmdConvertSelectedToMp3, "&Convert to MP3"},
    {kCmdConvertSelectedToWav, "Co&nvert to WAV"},
    {kCmdConvertAllToMp3, "Con&vert All to MP3"},
    {kCmdConvertAllToWav, "Conver&t All to WAV"},
    {0, ""},
    {kCmdAddFiles, "&Add Files...\tCtrl+O"},
    {kCmdAddFolder, "Add &Folder..."},
    {0, ""},
    {kCmdBrowseSourceFolder, "&Browse Folder..."},
};

constexpr PopupItem kOutputPopup[] = {
    {kCmdPlayOutput, "&Play"},
    {kCmdDeleteOutputs, "&Delete\tShift+Del"},
    {kCmdSaveAs, "Save &As...\tCtrl+S"},
    {kCmdBrowseOutputFolder, "Browse &Folder..."},
    {0, ""},
    {kCmdMergeMp3, "&Merge MP3..."},
};

constexpr PopupItem kHelpPopup[] = {
    {kCmdHelpTopics, "&Help Topics\tF1"},
    {0, ""},
    {kCmdTellAFriend, "&Tell A Friend"},
    {kCmdFeedback, "&Feedback and Support"},
    {kCmdHomepage, "Home&page"},
    {kCmdCheckLatestVersion, "&Check Latest Version"},
    {0, ""},
    {kCmdOptions, "&Options..."},
    {kCmdAbout, "&About"},
};

}  // namespace

void CMainDlg::Start() {
    m_lastFolder = m_shell.ReadFolderSetting();
    std::vector<OptionField> fields = OptionFields(DefaultProgramOptions());
    for (OptionField& field : fields) {
        m_shell.ReadOptionSetting(field);
    }
    m_options = OptionsOf(fields);
    CreateColumns();
    FirstRunStep();
}

void CMainDlg::EditOptions() {
    std::vector<OptionField> fields = OptionFields(m_options);
    const std::vector<OptionField> before = fields;
    if (!m_shell.EditOptions(fields)) {
        return;
    }
    // Each choice is stored at once, as the folder is.
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].value != before[i].value) {
            m_shell.WriteOptionSetting(fields[i]);
        }
    }
    m_options = OptionsOf(fields, m_options);
}

SourceItem* CMainDlg::AppendSource(std::unique_ptr<SourceItem> item, const SourceInfoTexts& info) {
    if (!item) {
        return nullptr;
    }
    SourceItem* added = item.get();
    m_items.push_back(std::move(item));
    m_index.Add(added);
    AppendSourceRow(added, info);
    return added;
}

bool CMainDlg::IsCommandEnabled(int32_t id) const {
    const int32_t sourceRows = m_sourceList.RowCount();
    const int32_t sourceSelected = m_sourceList.SelectedCount();
    const int32_t outputSelected = m_outputList.SelectedCount();
    switch (id) {
        case kCmdRemove:
        case kCmdConvertSelectedToMp3:
        case kCmdConvertSelectedToWav:
            return sourceSelected >= 1;
        case kCmdRemoveAll:
        case kCmdConvertAllToMp3:
        case kCmdConvertAllToWav:
            return sourceRows >= 1;
        case kCmdPlaySource:
        case kCmdBrowseSourceFolder:
            return sourceSelected == 1;
        case kCmdPlayOutput:
        case kCmdSaveAs:
        case kCmdBrowseOutputFolder:
            return outputSelected == 1;
        case kCmdDeleteOutputs:
            return outputSelected >= 1;
        case kCmdAddFiles:
        case kCmdAddFolder:
        case kCmdMergeMp3:
        case kCmdHelpTopics:
        case kCmdTellAFriend:
        case kCmdFeedback:
        case kCmdHomepage:
        case kCmdCheckLatestVersion:
        case kCmdAbout:
        case kCmdOptions:
        // The caption buttons are buttons: always enabled.
        case kCmdHelpButton:
        case kCmdMinimize:
        case kCmdClose:
            return true;
        default:
            return false;
    }
}

void CMainDlg::OnCommand(int32_t id) {
    switch (id) {
        case kCmdAddFiles:
            AddFiles();
            break;
        case kCmdAddFolder:
            AddFolder();
            break;
        case kCmdRemove:
            RemoveSelectedSource();
            break;
        case kCmdRemoveAll:
            RemoveAllSources();
            break;
        case kCmdConvertSelectedToMp3:
            ConvertSelected(true);
            break;
        case kCmdConvertSelectedToWav:
            ConvertSelected(false);
            break;
        case kCmdConvertAllToMp3:
            ConvertAll(true);
            break;
        case kCmdConvertAllToWav:
            ConvertAll(false);
            break;
        case kCmdPlaySource:
            PlaySource();
            break;
        case kCmdBrowseSourceFolder:
            BrowseSourceFolder();
            break;
        case kCmdPlayOutput:
            PlayOutput();
            break;
        case kCmdDeleteOutputs:
            DeleteOutputs();
            break;
        case kCmdSaveAs:
            SaveOutputAs();
            break;
        case kCmdBrowseOutputFolder:
            BrowseOutputFolder();
            break;
        case kCmdMergeMp3:
            RunMergeDialog();
            break;
        case kCmdHelpTopics:
            ShowHelp();
            break;
        case kCmdTellAFriend:
            OpenLink(TellAFriendUrl());
            break;
        case kCmdFeedback:
            OpenLink(SupportMailUrl());
            break;
        case kCmdHomepage:
            OpenLink(HomePageUrl());
            break;
        case kCmdCheckLatestVersion:
            OpenLink(UpdateCheckUrl());
            break;
        case kCmdAbout:
            m_shell.ShowAbout();
            break;
        case kCmdOptions:
            EditOptions();
            break;
        case kCmdMinimize:
            m_shell.MinimizeMainWindow();
            break;
        case kCmdClose:
            m_shell.CloseMainWindow();
            break;
        case kCmdHelpButton:
            // The view shows the Help popup under its caption button (PopupItems(Popup::Help)):
            // only it knows where the button is.
        default:
            break;
    }
}

bool CMainDlg::RunIfEnabled(int32_t id) {
    // While a batch runs the window takes no command, whatever reaches it.
    if (Converting() || !IsCommandEnabled(id)) {
        return false;
    }
    OnCommand(id);
    return true;
}

std::vector<MenuEntry> CMainDlg::PopupItems(Popup popup) const {
    const PopupItem* begin = kSourcePopup;
    const PopupItem* end = std::end(kSourcePopup);
    if (popup == Popup::Output) {
        begin = kOutputPopup;
        end = std::end(kOutputPopup);
    } else if (popup == Popup::Help) {
        begin = kHelpPopup;
        end = std::end(kHelpPopup);
    }
    std::vector<MenuEntry> entries;
    for (const PopupItem* item = begin; item != end; ++item) {
        entries.push_back({item->id, item->text, item->id != 0 && IsCommandEnabled(item->id)});
    }
    return entries;
}

void CMainDlg::OnSourceDoubleClick() {
    PlaySource();
}

void CMainDlg::OnOutputDoubleClick() {
    RunIfEnabled(kCmdPlayOutput);
}

void CMainDlg::ConvertSelected(bool toMp3) {
    const int32_t row = m_sourceList.FirstSelected();
    SourceItem* item = m_sourceList.SourceAt(row);
    if (!item) {
        m_shell.MessageBox(kSelectFirst, MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    ConvertFiles({item}, toMp3);
}

void CMainDlg::ConvertAll(bool toMp3) {
    if (m_sourceList.RowCount() == 0) {
        m_shell.MessageBox(kNoFiles, MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    WaitCursor wait(m_shell);
    // The order of adding, not the order on screen.
    std::vector<SourceItem*> items;
    items.reserve(m_items.size());
    for (const auto& item : m_items) {
        items.push_back(item.get());
    }
    // When the batch is over, the first row is selected unless one is.
    StartBatch(items, toMp3, true);
    m_focusedList = kSourceListId;  // the view moves the keyboard focus to follow FocusedList()
}

void CMainDlg::WriteStatus(SourceItem& item, const std::string& text,
                           const ConversionReport& report) {
    // The row is found by its record: the row number set before the batch may be stale once
    // the view has changed.
    const int32_t row = m_sourceList.FindRow(&item);
    if (row >= 0) {
        m_sourceList.SetText(row, 2, text);
        // Why it failed, or what it skipped, shows as the Status cell's tooltip.
        std::string tip;
        for (const std::string& line : DescribeReport(report, kAllFormatsOptionName)) {
            tip += (tip.empty() ? "" : "\n") + line;
        }
        m_sourceList.SetToolTip(row, 2, tip);
    }
}

namespace {

// Tells the window of the batch's progress on its own thread; nothing reaches a window that is
// gone.
class PostingListener : public CBatch::Listener {
  public:
    PostingListener(Shell& shell, std::weak_ptr<CMainDlg*> window)
        : m_shell(shell), m_window(std::move(window)) {}
    void FileStarted(size_t k) override {
        Tell([k](CMainDlg& dlg) { dlg.OnFileStarted(k); });
    }
    void FileDone(size_t k, const CBatch::Result& result) override {
        Tell([k, result](CMainDlg& dlg) { dlg.OnFileDone(k, result); });
    }
    void BatchOver() override {
        Tell([](CMainDlg& dlg) { dlg.OnBatchOver(); });
    }

  private:
    void Tell(std::function<void(CMainDlg&)> what) {
        m_shell.Post([window = m_window, what = std::move(what)] {
            if (const auto alive = window.lock()) {
                what(**alive);
            }
        });
    }

    Shell& m_shell;
    std::weak_ptr<CMainDlg*> m_window;
};

}  // namespace

CMainDlg::CMainDlg(Shell& shell) : m_shell(shell) {
    m_sourceList.SetSortedHandler([this](int32_t, bool) { OnListSorted(); });
    m_outputList.SetSortedHandler([this](int32_t, bool) { OnListSorted(); });
}

CMainDlg::~CMainDlg() {
    // A batch still running stops, its files in hand finish, and its news go nowhere.
    m_alive.reset();
    m_run.reset();
    m_adding.reset();
    m_shell.CloseHelp();
    m_sourceList.RemoveAllRows();
    m_outputList.RemoveAllRows();
    m_current = nullptr;
    m_index.Clear();
    m_items.clear();
}

bool CMainDlg::Converting() const {
    return m_run && !m_run->over;
}

void CMainDlg::ConvertFiles(const std::vector<SourceItem*>& items, bool toMp3) {
    StartBatch(items, toMp3, false);
}

void CMainDlg::StartBatch(const std::vector<SourceItem*>& items, bool toMp3,
                          bool selectFirstAfter) {
    if (Converting() || Adding()) {
        return;  // one action at a time
    }
    m_run = std::make_shared<BatchRun>();
    BatchRun* const state = m_run.get();
    m_shell.EnableMainWindow(false);
    state->wait = std::make_unique<WaitCursor>(m_shell);
    state->items = items;
    state->inTurn = m_options.jobs <= 1 || items.size() <= 1;
    state->selectFirstAfter = selectFirstAfter;
    state->selected = m_sourceList.SourceAt(m_sourceList.FirstSelected());
    state->results.resize(items.size());
    m_outputList.RemoveAllRows();

    const int32_t total = static_cast<int32_t>(items.size());
    state->progress = m_shell.CreateProgressWindow();
    state->progress->SetRange(0, total);
    state->progress->SetStep(1);
    state->progress->SetPosition(0);
    // Cancel reaches the workers at once: no file starts after it, those in hand finish.
    // It holds its batch weakly: a later batch (or the window's end) may have freed this one.
    state->progress->SetCancelHandler([run = std::weak_ptr<BatchRun>(m_run)] {
        if (const std::shared_ptr<BatchRun> held = run.lock(); held && held->batch) {
            held->batch->Stop();
        }
    });
    state->progress->Show();

    state->listener = std::make_unique<PostingListener>(m_shell, m_alive);
    state->batch =
        std::make_unique<CBatch>(items, toMp3, m_options.conversion,
                                 static_cast<unsigned>(m_options.jobs), state->listener.get());
    if (state->progress->Cancelled()) {
        state->batch->Stop();  // pressed before the batch began: no file starts
    }
    state->batch->Start();
}

void CMainDlg::OnFileStarted(size_t k) {
    if (!m_run || !m_run->items[k]) {
        return;
    }
    // The text names the file that starts, and the bar steps as it starts.
    m_run->progress->SetText(Format("[%zu/%zu] Converting %s...", k + 1, m_run->items.size(),
                                    FileNamePart(m_run->items[k]->path).c_str()));
    m_run->progress->Step();
}

void CMainDlg::OnFileDone(size_t k, const CBatch::Result& result) {
    if (!m_run) {
        return;
    }
    m_run->results[k] = result;
    if (m_run->inTurn) {
        if (m_run->items[k]) {
            ShowConverted(*m_run->items[k], result.converted, result.report, m_run->selected);
        }
        return;
    }
    ShowBatchInOrder();
}

// With several files at once the statuses still come in list order: a file's status shows once
// it and every file before it are done.
void CMainDlg::ShowBatchInOrder() {
    BatchRun& run = *m_run;
    const size_t total = run.items.size();
    for (; run.shown < total && (!run.items[run.shown] || run.results[run.shown]); ++run.shown) {
        if (run.items[run.shown]) {
            const CBatch::Result& result = *run.results[run.shown];
            ShowConverted(*run.items[run.shown], result.converted, result.report, run.selected);
        }
    }
}

void CMainDlg::OnBatchOver() {
    if (!m_run || m_run->over) {
        return;
    }
    BatchRun& run = *m_run;
    if (!run.inTurn) {
        ShowBatchInOrder();
        // After a Cancel, files that finished beyond one that never started still tell theirs.
        for (size_t k = run.shown; k < run.items.size(); ++k) {
            if (run.items[k] && run.results[k]) {
                ShowConverted(*run.items[k], run.results[k]->converted, run.results[k]->report,
                              run.selected);
            }
        }
    }
    run.over = true;
    run.progress->RequestClose();
    run.progress.reset();
    m_shell.EnableMainWindow(true);
    run.wait.reset();
    if (run.selectFirstAfter && m_sourceList.FirstSelected() < 0 && m_sourceList.RowCount() > 0) {
        m_sourceList.SelectOnly(0);
        m_sourceList.SetFocusRow(0);
        OnSourceSelectionChanged();
    }
    if (m_options.showOutputs) {
        for (const SourceItem* item : run.items) {
            if (item && !item->outputs.empty()) {
                m_shell.ShowInFileManager(item->outputs.front().path);
                break;
            }
        }
    }
    RunPending();
}

void CMainDlg::ShowConverted(SourceItem& item, bool converted, const ConversionReport& report,
                             const SourceItem* selected) {
    WriteStatus(item, ConversionStatusText(converted, item), report);
    if (&item == selected) {
        m_current = &item;
        ShowOutputsOf(&item);
    }
}

void CMainDlg::ShowHelp() {
    if (m_shell.BringHelpToFront()) {
        return;
    }
    WaitCursor wait(m_shell);
    m_shell.OpenHelp(false);
}

void CMainDlg::OpenLink(const std::string& target) {
    OpenWithDesktop(m_shell, target, true);  // a message says so when nothing opens it
}

void CMainDlg::FirstRunStep() {
    // A store that cannot be read or written keeps the flag at 1: the help opens every time.
    uint32_t shown = 1;
    if (!m_shell.ReadFirstRunSetting(shown)) {
        shown = 1;
    } else if (shown != 0) {
        m_shell.WriteFirstRunSetting(0);
    }
    if (shown != 0) {
        m_shell.OpenHelp(true);
    }
}

}  // namespace kelvora
