// The job list side of the main dialog: adding, expanding, the duplicate
// test through the path index, marks, removal, sorting, and what the
// virtual list view asks for as it paints.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>

#include "core/folder_walk.h"
#include "core/platform/file_system.h"
#include "core/platform/win32_text.h"
#include "framework/resource_text.h"
#include "res/resource.h"
#include "ui/main/entry_texts.h"
#include "ui/main/main_dlg.h"

namespace {
// Folder part (empty if the shell cannot split it) and file-name part.
void SplitPath(const char* path, std::string* folder, std::string* name) {
    const char* file = PathFindFileNameA(path);
    *name = file;
    // The usual path, a name after a folder that is no root, splits at the
    // separator; the shell is asked about the rest ("C:\", "\\server").
    const size_t prefix = static_cast<size_t>(file - path);
    if (prefix > 3 && path[prefix - 1] == '\\' && path[prefix - 2] != '\\' && path[0] != '\\') {
        folder->assign(path, prefix - 1);
        return;
    }
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
    const JobItem* entry = Entry(index);
    return entry ? entry->path : std::string();
}

const JobItem* CMainDlg::Entry(int index) const {
    return index >= 0 && index < EntryCount() ? &m_entries[static_cast<size_t>(index)] : nullptr;
}

JobItem* CMainDlg::Entry(int index) {
    return index >= 0 && index < EntryCount() ? &m_entries[static_cast<size_t>(index)] : nullptr;
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
    JobItem entry;
    entry.path = JoinPath(folder, name);
    // One lowering per path: the index answers and takes the key at once.
    if (!m_index.Add(entry.path)) return -1;
    entry.nameAt = entry.path.size() - name.size();
    entry.folderLength = folder.size();
    entry.image = IconIndex(full, !knownFile && PathIsDirectoryA(full));
    m_entries.push_back(std::move(entry));
    const int index = EntryCount() - 1;
    if (m_expandDepth > 0) {
        // The list learns the count once, when the expansion ends.
        m_lastAdded = index;
    } else {
        ShowEntryCount();
        ShowAdded(index);
    }
    return index;
}

void CMainDlg::ShowEntryCount() {
    // The list keeps nothing per entry but selection and focus; it asks for
    // the rest as it paints.
    m_list.SendMessage(LVM_SETITEMCOUNT, m_entries.size(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void CMainDlg::ShowAdded(int index) {
    m_list.SelectOnly(index, true, true);
    m_list.EnsureVisible(index, FALSE);
    ::SetFocus(m_list);
    ShowFileCount(EntryCount());
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
    if (outermost) m_lastAdded = -1;
    // The walk guards against link loops; the visitor says what was added.
    int added = WalkFolder(NativeFileSystem(), full, filter, includeSubfolders,
                           [this](const std::string& path) { return AddPath(path.c_str(), true) != -1; });
    --m_expandDepth;
    if (outermost) {
        ShowEntryCount();
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
    JobItem* entry = Entry(index);
    if (!entry || !m_list.m_hWnd) return;
    const bool changed = entry->mark != mark;
    entry->mark = mark;
    entry->failure = mark == EntryMark::Failed ? failure : ConvertFailure::None;
    if (changed) OnMarkChanged(index, mark);
    int previous = m_currentEntry;
    m_currentEntry = mark == EntryMark::Converting ? index : -1;
    if (previous >= 0 && previous != index && previous < EntryCount()) m_list.RedrawItems(previous, previous);
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
    if (index >= 0 && index < EntryCount()) {
        m_list.EnsureVisible(index, FALSE);
        m_lastScroll = GetTickCount();
    }
    if (m_progressPending >= 0) ShowProgress(m_progressPending);
}

void CMainDlg::ClearMarks(int count) {
    if (!m_list.m_hWnd) return;
    count = std::min(count, EntryCount());
    for (int i = 0; i < count; ++i) {
        JobItem& entry = m_entries[static_cast<size_t>(i)];
        entry.failure = ConvertFailure::None;
        if (entry.mark == EntryMark::None) continue;
        entry.mark = EntryMark::None;
        OnMarkChanged(i, EntryMark::None);
    }
    // One repaint for every entry rather than one per entry.
    if (count > 0) m_list.RedrawItems(0, count - 1);
    m_currentEntry = -1;
}

ConvertFailure CMainDlg::EntryFailure(int index) const {
    const JobItem* entry = Entry(index);
    return entry ? entry->failure : ConvertFailure::None;
}

void CMainDlg::KeepContent(int index, const ContentReport& content) {
    JobItem* entry = Entry(index);
    if (!entry || !m_list.m_hWnd) return;
    entry->content = content;
    entry->contentKnown = true;
    entry->checked = m_checkRun;
    entry->breaksText = LineBreaksText(content);
    m_list.RedrawItems(index, index);
}

std::string CMainDlg::EntryReason(int index) const {
    const JobItem* entry = Entry(index);
    if (!entry) return std::string();
    return EntryReasonText(entry->mark, entry->failure, entry->content, entry->checked);
}

bool CMainDlg::EntryContent(int index, ContentReport* content) const {
    const JobItem* entry = Entry(index);
    if (!entry || !entry->contentKnown) return false;
    if (content) *content = entry->content;
    return true;
}

void CMainDlg::DeleteSelected() {
    if (m_running || !m_list.m_hWnd) return;
    std::vector<char> doomed(m_entries.size(), 0);
    int first = -1;
    for (int i = m_list.GetFirstSelected(); i >= 0; i = m_list.GetNextItem(i, LVNI_SELECTED)) {
        doomed[static_cast<size_t>(i)] = 1;
        if (first < 0) first = i;
    }
    if (first < 0) return;
    size_t kept = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (doomed[i])
            m_index.Remove(m_entries[i].path);
        else
            m_entries[kept++] = std::move(m_entries[i]);
    }
    m_entries.resize(kept);
    // What the list keeps per entry is selection and focus, and every
    // selected entry is gone: clear both, then give focus to the entry that
    // took the first one's place, as a list that deletes row by row would.
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.SendMessage(LVM_SETITEMCOUNT, m_entries.size(), LVSICF_NOSCROLL);
    const int focus = std::min(first, EntryCount() - 1);
    if (focus >= 0) m_list.SetItemState(focus, LVIS_FOCUSED, LVIS_FOCUSED);
    ShowFileCount(EntryCount());
}

void CMainDlg::ClearList() {
    if (m_running) return;
    m_entries.clear();
    m_index.Clear();
    if (m_list.m_hWnd) m_list.DeleteAllItems();
    ShowFileCount(EntryCount());
}

void CMainDlg::SortEntries(const SortState& state) {
    const std::vector<size_t> order = SortedOrder(m_entries, state);
    // Selection and focus belong to positions in the list: they move with
    // their entries.
    std::vector<char> selected(m_entries.size(), 0);
    for (int i = m_list.GetFirstSelected(); i >= 0; i = m_list.GetNextItem(i, LVNI_SELECTED))
        selected[static_cast<size_t>(i)] = 1;
    const int focused = m_list.GetNextItem(-1, LVNI_FOCUSED);
    std::vector<JobItem> sorted;
    sorted.reserve(m_entries.size());
    for (size_t from : order) sorted.push_back(std::move(m_entries[from]));
    m_entries.swap(sorted);
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (size_t i = 0; i < order.size(); ++i) {
        const UINT flags = (selected[order[i]] ? LVIS_SELECTED : 0u) |
                           (static_cast<int>(order[i]) == focused ? LVIS_FOCUSED : 0u);
        if (flags) m_list.SetItemState(static_cast<int>(i), flags, flags);
    }
    InvalidateRect(m_list, nullptr, FALSE);
}

void CMainDlg::OnGetDispInfo(NMHDR* header) {
    // Both forms carry the same fields; only the text's width differs.
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    const JobItem* entry = Entry(item.iItem);
    if (!entry) return;
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        const char* text = "";
        size_t length = 0;
        if (item.iSubItem == 0) {
            text = entry->Name();
            length = entry->path.size() - entry->nameAt;
        } else if (item.iSubItem == 1) {
            text = entry->path.c_str();
            length = entry->folderLength;
        } else if (item.iSubItem == 2) {
            text = entry->breaksText.c_str();
            length = entry->breaksText.size();
        }
        const size_t room = static_cast<size_t>(item.cchTextMax);
        if (header->code == LVN_GETDISPINFOW) {
            auto* wide = reinterpret_cast<wchar_t*>(item.pszText);
            std::wstring converted;
            if (!WidenName(std::string(text, length).c_str(), &converted)) converted.clear();
            converted = converted.substr(0, room - 1);
            std::copy(converted.begin(), converted.end(), wide);
            wide[converted.size()] = 0;
        } else {
            length = TextPrefixLength(text, length, room - 1);
            std::memcpy(item.pszText, text, length);
            item.pszText[length] = 0;
        }
    }
    if (item.mask & LVIF_IMAGE) item.iImage = entry->image;
    if ((item.mask & LVIF_STATE) && (item.stateMask & LVIS_STATEIMAGEMASK)) {
        const UINT image = entry->mark <= EntryMark::LeftAsItWas ? static_cast<UINT>(entry->mark) : 0;
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(image);
    }
}

int CMainDlg::FindEntry(NMHDR* header) const {
    // Typing in the list looks for the next name that starts with the typed
    // text, whatever its case.
    auto* find = reinterpret_cast<NMLVFINDITEMA*>(header);
    if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return -1;
    std::string wanted;
    if (header->code == LVN_ODFINDITEMW) {
        const auto* wide = reinterpret_cast<const wchar_t*>(find->lvfi.psz);
        const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
        if (n <= 1) return -1;
        wanted.assign(static_cast<size_t>(n), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide, -1, &wanted[0], n, nullptr, nullptr);
        wanted.resize(static_cast<size_t>(n - 1));
    } else {
        wanted = find->lvfi.psz;
    }
    const int count = EntryCount();
    if (wanted.empty() || count == 0) return -1;
    const bool partial = (find->lvfi.flags & LVFI_PARTIAL) != 0;
    const int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
    const int steps = (find->lvfi.flags & LVFI_WRAP) ? count : count - start;
    for (int k = 0; k < steps; ++k) {
        const int i = (start + k) % count;
        const char* name = m_entries[static_cast<size_t>(i)].Name();
        const int length = static_cast<int>(std::strlen(name));
        const int compared = partial ? std::min(length, static_cast<int>(wanted.size())) : length;
        if (partial && length < static_cast<int>(wanted.size())) continue;
        if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name, compared, wanted.c_str(),
                           static_cast<int>(wanted.size())) == CSTR_EQUAL)
            return i;
    }
    return -1;
}
