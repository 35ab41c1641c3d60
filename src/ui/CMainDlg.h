#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "convert/Batch.h"
#include "convert/ColumnTexts.h"
#include "convert/ConversionJob.h"
#include "engine/ConversionOptions.h"
#include "engine/ConversionReport.h"
#include "engine/Records.h"
#include "engine/SourceIndex.h"
#include "ui/CommandIds.h"
#include "ui/ProgramOptions.h"
#include "ui/Shell.h"
#include "ui/SortListCtrl.h"

namespace kelvora {

// One item of a popup menu as the window shows it.
struct MenuEntry {
    int32_t id = 0;  // 0 for a separator
    std::string text;
    bool enabled = false;
    bool IsSeparator() const { return id == 0; }
};

enum class Popup { Source, Output, Help };

// The main window's state and commands, without a toolkit: the two lists, the source items in
// the order of adding, the current source item, one enabling rule per command and the handler
// behind each. The desktop program shows it and turns clicks, keys and menu choices into
// command numbers; everything it must ask of the user or the desktop goes through the Shell.
class CMainDlg {
  public:
    explicit CMainDlg(Shell& shell);
    // Asks an open help window to close and frees every record; output files stay on disk.
    ~CMainDlg();
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // The start-up steps that need no toolkit: the "Folder" setting, the lists' columns, and (last)
    // the first-run step.
    void Start();

    Shell& GetShell() { return m_shell; }
    SortListCtrl& SourceListCtrl() { return m_sourceList; }
    SortListCtrl& OutputListCtrl() { return m_outputList; }
    const SourceList& Items() const { return m_items; }
    SourceItem* CurrentSource() const { return m_current; }
    const std::string& LastFolder() const { return m_lastFolder; }

    // Commands. Menus and accelerators ask IsCommandEnabled first and drop a disabled command;
    // buttons always dispatch and their handlers check for themselves.
    bool IsCommandEnabled(int32_t id) const;
    // Every command id has its handler here except 1009, the Help caption button: the view
    // shows PopupItems(Popup::Help) under the button, which only it can place.
    void OnCommand(int32_t id);
    // The menu and accelerator path: runs the command only when its rule allows it.
    bool RunIfEnabled(int32_t id);
    // A popup's items in order, separators included, each enabled by its rule.
    std::vector<MenuEntry> PopupItems(Popup popup) const;

    // What the view reports.
    void OnSourceSelectionChanged();
    void OnSourceDoubleClick();  // plays the source at once
    void OnOutputDoubleClick();  // command 1006, under its rule
    // After a header click sorted a list: the "No." column of the list that has the focus (the
    // output list when the source list has not) is renumbered.
    void OnListSorted();
    void SetFocusedList(int32_t listId) { m_focusedList = listId; }
    int32_t FocusedList() const { return m_focusedList; }

    // The conversion batch. ConvertFiles starts it and returns; the batch tells the window of
    // each file as it starts and ends (OnFileStarted, OnFileDone, on the window's thread), and
    // the main window stays disabled until it is over.
    void ConvertSelected(bool toMp3);
    void ConvertAll(bool toMp3);
    void ConvertFiles(const std::vector<SourceItem*>& items, bool toMp3);
    bool Converting() const;
    void OnFileStarted(size_t k);
    void OnFileDone(size_t k, const CBatch::Result& result);
    void OnBatchOver();
    // True when the path is in the source list afterwards (added now, or there already).
    bool AddSourceFile(const std::string& path);
    // The same for a header read beside the window: `read` says whether it could be.
    bool AddReadSource(const std::string& path, bool read, const SourceHeader& header);
    // Appends an added file: its row at the end of the source list and the item at the end of
    // the items, which now own it. Returns the item (null when none was given).
    SourceItem* AppendSource(std::unique_ptr<SourceItem> item, const SourceInfoTexts& info);

    // Adding files. Each starts and returns: the folder search, the links followed and the
    // headers read run beside the window, under its progress window, with the main window
    // disabled; each file is added as its news come in (OnAdding...), and at the end the paths
    // that could not be loaded are reported.
    void AddFiles();
    void AddFolder();
    void FilesDropped(const std::vector<std::string>& paths);
    // Adds the paths in order, as AddSourceFile does.
    void LoadFiles(const std::vector<std::string>& paths);
    bool Adding() const;
    void OnAddingFound(int32_t count);
    void OnAddingFile(int32_t k, int32_t count);
    void OnAddingRead(const std::string& path, bool read, const SourceHeader& header);
    void OnAddingOver();
    // Paths handed to the window (dropped, or from another start) are added as dropped ones
    // are: now when nothing runs, else (or with `wait`, while a window is modal over the main
    // one) once what runs has ended, at RunPending.
    void HandPaths(const std::vector<std::string>& paths, bool wait = false);
    void RunPending();

    // The list operations.
    void RemoveSelectedSource();
    void RemoveAllSources();

    // Output file actions.
    void PlaySource();
    void BrowseSourceFolder();
    void PlayOutput();
    void BrowseOutputFolder();
    void DeleteOutputs();
    void SaveOutputAs();

    // The Options window; the choices are stored and hold from the next file on.
    void EditOptions();
    const ProgramOptions& Options() const { return m_options; }
    // The choices from now on, without storing them.
    void SetOptions(const ProgramOptions& options) { m_options = options; }

    // Help, links and the first run.
    void ShowHelp();
    void OpenLink(const std::string& target);
    void FirstRunStep();

  private:
    // Row texts and the list operations shared by the handlers.
    void CreateColumns();
    int32_t AppendSourceRow(SourceItem* item, const SourceInfoTexts& info);
    int32_t AppendOutputRow(OutputItem* item);
    void ShowOutputsOf(SourceItem* item);
    void RunMergeDialog();
    // Writes a converted item's Status cell in the row that shows it.
    void WriteStatus(SourceItem& item, const std::string& text, const ConversionReport& report);
    void StartBatch(const std::vector<SourceItem*>& items, bool toMp3, bool selectFirstAfter);
    // Starts an adding whose worker finds its files with `find` (the progress window says
    // "Searching files..." meanwhile when `searching`).
    void StartAdding(std::function<std::vector<std::string>()> find, bool searching);
    // Several files at once: the statuses of the files done in list order, the bar, the text.
    void ShowBatchInOrder();
    // A converted item's Status, and its outputs when it is the one selected.
    void ShowConverted(SourceItem& item, bool converted, const ConversionReport& report,
                       const SourceItem* selected);
    // The path of an output row: its record's, else its "Path" cell.
    std::string OutputPathAt(int32_t row) const;

    Shell& m_shell;
    SortListCtrl m_sourceList{false};
    SortListCtrl m_outputList{true};
    SourceList m_items;
    CSourceIndex m_index;  // finds an item by its file, for the duplicate check
    SourceItem* m_current = nullptr;
    std::string m_lastFolder;
    ProgramOptions m_options = DefaultProgramOptions();
    int32_t m_focusedList = kSourceListId;
    struct BatchRun;
    std::shared_ptr<BatchRun> m_run;  // shared: the Cancel handler holds it weakly
    struct AddingRun;
    std::shared_ptr<AddingRun> m_adding;
    std::vector<std::vector<std::string>> m_pending;  // handed paths waiting for their turn
    // What the batch's posted news hold on to: gone with the window.
    std::shared_ptr<CMainDlg*> m_alive = std::make_shared<CMainDlg*>(this);
};

}  // namespace kelvora
