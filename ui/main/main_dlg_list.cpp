// The job list side of the main dialog: adding, expanding, the duplicate
// test through the path index, rebuilt paths, marks and removal.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>

#include "core/folder_walk.h"
#include "core/platform/file_system.h"
#include "framework/resource_text.h"
#include "res/resource.h"
#include "ui/main/entry_texts.h"
#include "ui/main/main_dlg.h"

namespace {
// Folder part (empty if the shell cannot split it) and file-name part.
void SplitPath(const char* path, std::string* folder, std::string* name) {
    *name = PathFindFileNameA(path);
    char buffer[MAX_PATH + 1];
    folder->clear();
    if (std::strlen(path) <= MAX_PATH) {
        std::strcpy(buffer, path);
        if (PathRemoveFileSpecA(buffer)) *folder = buffer;
    }
}
}  // namespace

bool CMainDlg::IsInList(const char* path) const {
    return path && m_index.Contains(path);
}

std::string CMainDlg::GetItemPath(int index) const {
    // A vanished index gives an empty path, which fails to convert.
    if (!m_list.m_hWnd || index < 0 || index >= m_list.GetItemCount()) return std::string();
    return JoinPath(m_list.GetItemText(index, 1), m_list.GetItemText(index, 0));
}

int CMainDlg::AddFileToList(const char* path) {
    return AddPath(path, false);
}

int CMainDlg::AddPath(const char* path, bool knownFile) {
    if (!path || !*path || !m_list.m_hWnd) return -1;
    // Relative paths (a command line run from some folder) are made absolute
    // so that the rebuilt path names the same file. A folder walk's paths
    // are already whole: its folder was made absolute, and it keeps to the
    // length limit.
    char full[MAX_PATH + 1];
    if (knownFile && std::strlen(path) <= 259) {
        std::strcpy(full, path);
    } else {
        DWORD n = GetFullPathNameA(path, sizeof(full), full, nullptr);
        if (n == 0 || n >= sizeof(full) || n > 259) return -1;
    }
    std::string folder, name;
    SplitPath(full, &folder, &name);
    std::string key = JoinPath(folder, name);
    // One lowering per path: the index answers and takes the key at once.
    if (!m_index.Add(key)) return -1;

    auto owned = std::make_unique<JobItem>();
    owned->path = key;
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = m_list.GetItemCount();
    item.pszText = const_cast<char*>(name.c_str());
    item.iImage = IconIndex(full, !knownFile && PathIsDirectoryA(full));
    item.lParam = JobItem::ToItemData(std::move(owned));
    int index = m_list.InsertItem(item);
    if (index < 0) {
        JobItem::TakeFromItemData(item.lParam);  // the list never took it
        m_index.Remove(key);
        return -1;
    }
    m_list.SetItemText(index, 1, folder.c_str());
    if (m_expandDepth > 0)
        m_lastAdded = index;
    else
        ShowAdded(index);
    return index;
}

void CMainDlg::ShowAdded(int index) {
    m_list.SelectOnly(index, true, true);
    m_list.EnsureVisible(index, FALSE);
    ::SetFocus(m_list);
    ShowFileCount(m_list.GetItemCount());
}

int CMainDlg::IconIndex(const char* path, bool directory) {
    // Only a cache key: ASCII lowering serves, a miss merely asks the shell.
    std::string key = directory ? std::string("<dir>") : PathFindExtensionA(path);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    auto found = m_iconCache.find(key);
    if (found != m_iconCache.end()) return found->second;
    SHFILEINFOA info{};
    DWORD attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (!SHGetFileInfoA(path, attributes, &info, sizeof(info),
                        SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES))
        return 0;
    m_iconCache[key] = info.iIcon;
    return info.iIcon;
}

int CMainDlg::ExpandFolder(const char* folder, const char* patterns, bool includeSubfolders) {
    if (!folder || !*folder) return 0;
    char full[MAX_PATH + 1];
    DWORD n = GetFullPathNameA(folder, sizeof(full), full, nullptr);
    if (n == 0 || n >= sizeof(full)) return 0;
    // Under the UTF-8 code page a "?" stands for one character, not one byte.
    CFileFilter filter(patterns ? patterns : "", GetACP() == CP_UTF8);
    bool outermost = m_expandDepth++ == 0;
    if (outermost) {
        m_lastAdded = -1;
        m_list.SendMessage(WM_SETREDRAW, FALSE);
    }
    // The walk guards against link loops; the visitor says what was added.
    int added = WalkFolder(NativeFileSystem(), full, filter, includeSubfolders,
                           [this](const std::string& path) { return AddPath(path.c_str(), true) != -1; });
    --m_expandDepth;
    if (outermost) {
        m_list.SendMessage(WM_SETREDRAW, TRUE);
        InvalidateRect(m_list, nullptr, TRUE);
        // The same end state as adding the files one by one.
        if (m_lastAdded >= 0) ShowAdded(m_lastAdded);
    }
    return added;
}

void CMainDlg::ShowFileCount(int count) {
    char text[300];
    std::snprintf(text, sizeof(text), LoadResourceText(IDS_FILES_ADDED).c_str(), count);
    SetDlgItemTextA(m_hWnd, IDC_STATUS, text);
}

void CMainDlg::MarkEntry(int index, EntryMark mark, ConvertFailure failure) {
    if (!m_list.m_hWnd || index < 0 || index >= m_list.GetItemCount()) return;
    if (JobItem* entry = JobItem::FromItemData(m_list.GetItemData(index)))
        entry->failure = mark == EntryMark::Failed ? failure : ConvertFailure::None;
    int previous = m_currentEntry;
    const UINT image = mark <= EntryMark::LeftAsItWas ? static_cast<UINT>(mark) : 0;
    m_list.SetItemState(index, INDEXTOSTATEIMAGEMASK(image), LVIS_STATEIMAGEMASK);
    m_currentEntry = mark == EntryMark::Converting ? index : -1;
    if (previous >= 0 && previous != index && previous < m_list.GetItemCount())
        m_list.RedrawItems(previous, previous);
    m_list.RedrawItems(index, index);
    // No forced repaint: the list paints whenever this thread is idle, which
    // during a run is while the worker converts.
    ScrollToEntry(index);
}

void CMainDlg::ScrollToEntry(int index) {
    // Each scroll repaints the whole list. Thousands of small files a second
    // would spend the run repainting, so during a run the list follows the
    // current entry at a rate a person can follow, and catches up on a timer.
    if (!m_running || GetTickCount() - m_lastScroll >= kFollowIntervalMs) {
        m_list.EnsureVisible(index, FALSE);
        m_lastScroll = GetTickCount();
        m_scrollPending = -1;
        return;
    }
    m_scrollPending = index;
    FollowLater();
}

void CMainDlg::FollowLater() {
    if (!m_followTimer) m_followTimer = SetTimer(m_hWnd, kFollowTimer, kFollowIntervalMs, nullptr) != 0;
}

void CMainDlg::CatchUp() {
    if (m_followTimer) KillTimer(m_hWnd, kFollowTimer);
    m_followTimer = false;
    const int index = m_scrollPending;
    m_scrollPending = -1;
    if (index >= 0 && index < m_list.GetItemCount()) {
        m_list.EnsureVisible(index, FALSE);
        m_lastScroll = GetTickCount();
    }
    if (m_progressPending >= 0) ShowProgress(m_progressPending);
}

void CMainDlg::ClearMarks(int count) {
    if (!m_list.m_hWnd) return;
    count = std::min(count, m_list.GetItemCount());
    for (int i = 0; i < count; ++i)
        if (JobItem* entry = JobItem::FromItemData(m_list.GetItemData(i)))
            entry->failure = ConvertFailure::None;
    // One message for every entry rather than one per entry.
    if (count == m_list.GetItemCount())
        m_list.SetItemState(-1, INDEXTOSTATEIMAGEMASK(0), LVIS_STATEIMAGEMASK);
    else
        for (int i = 0; i < count; ++i) m_list.SetItemState(i, INDEXTOSTATEIMAGEMASK(0), LVIS_STATEIMAGEMASK);
    m_currentEntry = -1;
}

ConvertFailure CMainDlg::EntryFailure(int index) const {
    if (!m_list.m_hWnd || index < 0 || index >= m_list.GetItemCount()) return ConvertFailure::None;
    const JobItem* entry = JobItem::FromItemData(m_list.GetItemData(index));
    return entry ? entry->failure : ConvertFailure::None;
}

void CMainDlg::KeepContent(int index, const ContentReport& content) {
    if (!m_list.m_hWnd || index < 0 || index >= m_list.GetItemCount()) return;
    JobItem* entry = JobItem::FromItemData(m_list.GetItemData(index));
    if (!entry) return;
    entry->content = content;
    entry->contentKnown = true;
    entry->checked = m_checkRun;
    entry->breaksText = LineBreaksText(content);
    m_list.SetItemText(index, 2, entry->breaksText.c_str());
}

std::string CMainDlg::EntryReason(int index) const {
    if (!m_list.m_hWnd || index < 0 || index >= m_list.GetItemCount()) return std::string();
    const JobItem* entry = JobItem::FromItemData(m_list.GetItemData(index));
    if (!entry) return std::string();
    const auto mark = static_cast<EntryMark>((m_list.GetItemState(index, LVIS_STATEIMAGEMASK) >> 12) & 0xF);
    return EntryReasonText(mark, entry->failure, entry->content, entry->checked);
}

bool CMainDlg::EntryContent(int index, ContentReport* content) const {
    if (!m_list.m_hWnd || index < 0 || index >= m_list.GetItemCount()) return false;
    const JobItem* entry = JobItem::FromItemData(m_list.GetItemData(index));
    if (!entry || !entry->contentKnown) return false;
    if (content) *content = entry->content;
    return true;
}

void CMainDlg::DeleteSelected() {
    if (m_running) return;
    for (int i = m_list.GetFirstSelected(); i >= 0; i = m_list.GetFirstSelected())
        if (!m_list.DeleteItem(i)) break;
    ShowFileCount(m_list.GetItemCount());
}

void CMainDlg::ClearList() {
    if (m_running) return;
    m_list.DeleteAllItems();
    m_index.Clear();
    ShowFileCount(m_list.GetItemCount());
}
