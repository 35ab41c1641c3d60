// The main window's start-up, its command table and popups, the conversion batch, help, links
// and the first run.
#include "ui/CMainDlg.h"

#include <iterator>

#include "convert/ConversionJob.h"
#include "convert/ParallelBatch.h"
#include "engine/PathUtil.h"
#include "flv/CFlvReader.h"
#include "swf/CSwfReader.h"
#include "ui/ProgramOptions.h"
#include "ui/ShellHelpers.h"

namespace kelvora {

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
    if (!IsCommandEnabled(id)) {
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
    item->rowIndex = row;
    ConvertFiles({item}, toMp3);
}

void CMainDlg::ConvertAll(bool toMp3) {
    if (m_sourceList.RowCount() == 0) {
        m_shell.MessageBox(kNoFiles, MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    WaitCursor wait(m_shell);
    for (int32_t row = 0; row < m_sourceList.RowCount(); ++row) {
        if (SourceItem* item = m_sourceList.SourceAt(row)) {
            item->rowIndex = row;
        }
    }
    // The order of adding, not the order on screen.
    std::vector<SourceItem*> items;
    items.reserve(m_items.size());
    for (const auto& item : m_items) {
        items.push_back(item.get());
    }
    ConvertFiles(items, toMp3);
    if (m_sourceList.FirstSelected() < 0 && m_sourceList.RowCount() > 0) {
        m_sourceList.SelectOnly(0);
        m_sourceList.SetFocusRow(0);
        OnSourceSelectionChanged();
    }
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

void CMainDlg::ConvertFiles(const std::vector<SourceItem*>& items, bool toMp3) {
    m_outputList.RemoveAllRows();
    m_shell.PumpMessages();
    WaitCursor wait(m_shell);

    SourceItem* const selected = m_sourceList.SourceAt(m_sourceList.FirstSelected());
    m_shell.EnableMainWindow(false);

    const int32_t total = static_cast<int32_t>(items.size());
    std::unique_ptr<IProgressWindow> progress = m_shell.CreateProgressWindow();
    progress->SetRange(0, total);
    progress->SetStep(1);
    progress->SetPosition(0);
    progress->Show();
    m_shell.PumpMessages();

    if (m_options.jobs > 1 && items.size() > 1) {
        ConvertAtOnce(items, toMp3, *progress, selected);
    } else {
        ConvertInTurn(items, toMp3, *progress, selected);
    }

    progress->RequestClose();
    progress.reset();
    m_shell.EnableMainWindow(true);

    if (!m_options.showOutputs) {
        return;
    }
    for (const SourceItem* item : items) {
        if (item && !item->outputs.empty()) {
            m_shell.ShowInFileManager(item->outputs.front().path);
            break;
        }
    }
}

void CMainDlg::ShowConverted(SourceItem& item, bool converted, const ConversionReport& report,
                             const SourceItem* selected) {
    WriteStatus(item, ConversionStatusText(converted, item), report);
    if (&item == selected) {
        m_current = &item;
        ShowOutputsOf(&item);
    }
}

void CMainDlg::ConvertInTurn(const std::vector<SourceItem*>& items, bool toMp3,
                             IProgressWindow& progress, const SourceItem* selected) {
    CSwfReader swf;
    CFlvReader flv;
    swf.SetOptions(m_options.conversion);
    flv.SetOptions(m_options.conversion);
    const int32_t total = static_cast<int32_t>(items.size());
    for (int32_t b = 1; b <= total; ++b) {
        SourceItem* item = items[static_cast<size_t>(b - 1)];
        if (item) {
            progress.SetText(
                Format("[%d/%d] Converting %s...", b, total, FileNamePart(item->path).c_str()));
            progress.Step();
            bool converted = false;
            ConversionReport report;
            m_shell.RunWork(
                [&] { converted = ConvertSourceItem(*item, toMp3, swf, flv, &report); });
            ShowConverted(*item, converted, report, selected);
        }
        // The file in hand always finishes; Cancel is read between files.
        m_shell.PumpMessages();
        if (progress.Cancelled()) {
            break;
        }
    }
}

// Several files at once, each worker with readers of its own, sources that can claim the same
// names in the hands of one worker in list order: the names are those of a batch in turn. What
// the window shows is that batch too, only sooner: statuses in list order, the bar counting
// finished files, the text naming the first unfinished one.
void CMainDlg::ConvertAtOnce(const std::vector<SourceItem*>& items, bool toMp3,
                             IProgressWindow& progress, const SourceItem* selected) {
    const size_t total = items.size();
    size_t shown = 0;  // statuses written, in list order
    const auto nameFirstUnfinished = [&] {
        if (shown < total && items[shown]) {
            progress.SetText(Format("[%zu/%zu] Converting %s...", shown + 1, total,
                                    FileNamePart(items[shown]->path).c_str()));
        }
    };
    // Named before any worker starts: the first files may be done before the window is next
    // looked at, and a batch always shows where it began.
    nameFirstUnfinished();
    CParallelBatch batch(items, toMp3, m_options.conversion, static_cast<unsigned>(m_options.jobs),
                         progress.Cancelled());
    for (;;) {
        const bool over = batch.Over();
        // A file's status shows once it and every file before it are done.
        for (; shown < total; ++shown) {
            const CParallelBatch::Result result = batch.ResultOf(shown);
            if (!result.done) {
                break;
            }
            if (items[shown]) {
                ShowConverted(*items[shown], result.converted, result.report, selected);
            }
        }
        progress.SetPosition(static_cast<int32_t>(batch.Finished()));
        nameFirstUnfinished();
        if (over) {
            break;
        }
        if (progress.Cancelled()) {
            batch.Stop();  // no new file starts; those in hand finish
        }
        m_shell.WaitUntil([&batch] { return batch.TakeNews(); });
    }
    // After a Cancel, files that finished beyond one that never started still tell theirs.
    for (size_t k = shown; k < total; ++k) {
        const CParallelBatch::Result result = batch.ResultOf(k);
        if (items[k] && result.done) {
            ShowConverted(*items[k], result.converted, result.report, selected);
        }
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
    WaitCursor wait(m_shell);
    OpenDocument(m_shell, target);
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
