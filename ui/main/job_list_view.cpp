// The job list side of the main window: adding, expanding, marks, removal,
// sorting, and what the virtual list view asks for as it paints.
#include "ui/main/job_list_view.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>

#include "core/converter.h"
#include "core/folder_walk.h"
#include "core/platform/file_system.h"
#include "core/platform/win32_path.h"
#include "core/platform/win32_text.h"
#include "framework/dpi.h"
#include "framework/resource_text.h"
#include "res/resource.h"
#include "ui/main/entry_texts.h"

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

int ShellIconIndex(const std::string& path, bool directory) {
    SHFILEINFOA info{};
    const DWORD attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES;
    if (SHGetFileInfoA(path.c_str(), attributes, &info, sizeof(info), flags)) return info.iIcon;
    // The shell may refuse a path past MAX_PATH; the icon of its kind is
    // the one the extension (or being a folder) gives anyway.
    const std::string kind =
        directory ? std::string("folder") : "file" + std::string(PathFindExtensionA(path.c_str()));
    if (SHGetFileInfoA(kind.c_str(), attributes, &info, sizeof(info), flags)) return info.iIcon;
    return -1;
}

// The list's text buffer, narrow or wide as the notification asks, filled
// with as much of text as fits.
template <typename Char>
void CopyCut(const std::basic_string<Char>& text, Char* buffer, size_t room) {
    const size_t length = std::min(text.size(), room - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), buffer);
    buffer[length] = 0;
}
}  // namespace

CJobListView::CJobListView(const ShellResources& resources)
    : m_resources(resources), m_jobs(ShellIconIndex) {}

void CJobListView::SetUp(HIMAGELIST stateImages, HIMAGELIST headerImages) {
    m_tasks.Open();
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP);
    m_list.SetImageList(m_resources.GetImageList(1), LVSIL_SMALL);
    ::SendMessageA(m_list.GetHeader(), HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(headerImages));
    m_list.SetSorter([this](const SortState& state) { Sort(state); });
    // A screen reader hears the mark in the same words as the tip shows.
    m_list.SetItemDescriber([this](int item) { return EntryReason(item); });
    m_list.SetImageList(stateImages, LVSIL_STATE);
    // The marks are the entries' own; the list asks for them as it paints.
    m_list.SendMessage(LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK);
    // Widths are pixels at 96 DPI, scaled to the list's own.
    const UINT dpi = DpiOfWindow(m_list);
    const int fileWidth = ScaleForDpi(160, dpi), breaksWidth = ScaleForDpi(110, dpi);
    m_list.InsertColumn(0, "File", LVCFMT_LEFT, fileWidth);
    // The folder column gives up what the line-breaks column needs, so all
    // three show without scrolling (room for a vertical scroll bar kept).
    RECT client{};
    GetClientRect(m_list, &client);
    const int folderWidth =
        std::max(ScaleForDpi(120, dpi),
                 std::min(ScaleForDpi(300, dpi), static_cast<int>(client.right) - fileWidth - breaksWidth -
                                                     GetSystemMetrics(SM_CXVSCROLL)));
    m_list.InsertColumn(1, "Folder", LVCFMT_LEFT, folderWidth);
    m_list.InsertColumn(2, LoadResourceText(IDS_COLUMN_LINE_BREAKS).c_str(), LVCFMT_LEFT, breaksWidth);
}

void CJobListView::Rescale(UINT oldDpi, UINT newDpi, HIMAGELIST stateImages) {
    m_list.SetImageList(stateImages, LVSIL_STATE);
    if (!oldDpi) return;
    for (int column = 0; column < 3; ++column) {
        const int width = static_cast<int>(m_list.SendMessage(LVM_GETCOLUMNWIDTH, column));
        m_list.SendMessage(LVM_SETCOLUMNWIDTH, column,
                           MulDiv(width, static_cast<int>(newDpi), static_cast<int>(oldDpi)));
    }
}

int CJobListView::AddFile(const char* path) {
    return AddPath(path, false);
}

int CJobListView::AddPath(const char* path, bool knownFile) {
    if (!path || !*path || !m_list.m_hwnd) return -1;
    // Relative paths (a command line run from some folder) are made absolute
    // so that the rebuilt path names the same file. A folder walk's paths
    // are already whole: its folder was made absolute. Either may be of any
    // length.
    std::string full;
    if (knownFile)
        full = path;
    else if (!FullPathName(path, &full))
        return -1;
    std::string folder, name;
    SplitPath(full.c_str(), &folder, &name);
    const uint32_t attributes = knownFile ? 0 : NativeFileSystem().GetAttributes(full.c_str());
    const bool directory = attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0;
    const int index = m_jobs.Add(folder, name, directory);
    if (index < 0) return -1;
    if (m_expandDepth > 0) {
        // The list learns the count once, when the expansion ends.
        m_lastAdded = index;
    } else {
        ShowEntryCount();
        ShowAdded(index);
    }
    return index;
}

void CJobListView::ShowEntryCount() {
    // The list keeps nothing per entry but selection and focus; it asks for
    // the rest as it paints.
    m_list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_jobs.Count()),
                       LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

void CJobListView::ShowAdded(int index) {
    m_list.SelectOnly(index, true, true);
    m_list.EnsureVisible(index, FALSE);
    ::SetFocus(m_list);
    if (onCountShown) onCountShown(m_jobs.Count());
}

int CJobListView::ExpandFolder(const char* folder, const char* patterns, bool includeSubfolders,
                               bool skipIgnored) {
    if (!folder || !*folder) return 0;
    std::string full;
    if (!FullPathName(folder, &full)) return 0;
    // Under the UTF-8 code page a "?" stands for one character, not one byte.
    CFileFilter filter(patterns ? patterns : "", GetACP() == CP_UTF8);
    bool outermost = m_expandDepth++ == 0;
    if (outermost) m_lastAdded = -1;
    // The walk guards against link loops; the visitor says what was added.
    // The rules are read afresh for each expansion: they may have changed.
    CGitIgnore ignore(NativeFileSystem());
    int added = WalkFolder(
        NativeFileSystem(), full.c_str(), filter, includeSubfolders,
        [this](const std::string& path) { return AddPath(path.c_str(), true) != -1; },
        skipIgnored ? &ignore : nullptr);
    --m_expandDepth;
    if (outermost) {
        ShowEntryCount();
        // The same end state as adding the files one by one.
        if (m_lastAdded >= 0) ShowAdded(m_lastAdded);
    }
    return added;
}

void CJobListView::MarkEntry(int index, EntryMark mark, ConvertFailure failure) {
    if (!m_jobs.At(index) || !m_list.m_hwnd) return;
    const int previous = m_jobs.Current();
    m_jobs.Mark(index, mark, failure, [&] {
        if (onMarkChanged) onMarkChanged(index, mark);
    });
    if (previous >= 0 && previous != index && previous < m_jobs.Count())
        m_list.RedrawItems(previous, previous);
    m_list.RedrawItems(index, index);
    // No forced repaint: the list paints whenever this thread is idle, which
    // during a run is while the worker converts.
    ScrollToEntry(index);
}

void CJobListView::ScrollToEntry(int index) {
    // Thousands of small files a second would spend the run repainting, so
    // during a run the list follows at a rate a person can follow, and
    // catches up later.
    if (!m_running || GetTickCount() - m_lastScroll >= kFollowIntervalMs) {
        m_list.EnsureVisible(index, FALSE);
        m_lastScroll = GetTickCount();
        m_scrollPending = -1;
        return;
    }
    m_scrollPending = index;
    if (!m_followScheduled) m_followScheduled = m_tasks.PostAfter(kFollowIntervalMs, [this] { CatchUp(); });
}

void CJobListView::CatchUp() {
    m_followScheduled = false;
    const int index = m_scrollPending;
    m_scrollPending = -1;
    // A delayed catch-up may come after the window has gone.
    if (index >= 0 && index < m_jobs.Count() && m_list.m_hwnd) {
        m_list.EnsureVisible(index, FALSE);
        m_lastScroll = GetTickCount();
    }
}

void CJobListView::ClearMarks(int count) {
    if (!m_list.m_hwnd) return;
    m_jobs.ClearMarks(count, [this](int i) {
        if (onMarkChanged) onMarkChanged(i, EntryMark::None);
    });
    // One repaint for every entry rather than one per entry.
    count = std::min(count, m_jobs.Count());
    if (count > 0) m_list.RedrawItems(0, count - 1);
}

void CJobListView::KeepContent(int index, const ContentReport& content) {
    const JobItem* entry = m_jobs.At(index);
    if (!m_list.m_hwnd || !entry) return;
    const ProjectRule* rule = entry->ruleKnown ? &entry->rule : nullptr;
    m_jobs.KeepContent(index, content, m_check, LineBreaksText(content, rule));
    m_list.RedrawItems(index, index);
}

void CJobListView::KeepRule(int index, const ProjectRule& rule) {
    m_jobs.KeepRule(index, rule);
}

std::string CJobListView::EntryReason(int index) const {
    const JobItem* entry = m_jobs.At(index);
    if (!entry) return std::string();
    return EntryReasonText(entry->mark, entry->failure, entry->content, entry->checked,
                           entry->ruleKnown ? &entry->rule : nullptr);
}

void CJobListView::SetRunning(bool running, bool check) {
    m_running = running;
    if (running) m_check = check;
    m_list.SetSortLocked(running);
    if (!running) CatchUp();
}

void CJobListView::DeleteSelected() {
    if (m_running || !m_list.m_hwnd) return;
    std::vector<int> selected;
    for (int i = m_list.GetFirstSelected(); i >= 0; i = m_list.GetNextItem(i, LVNI_SELECTED))
        selected.push_back(i);
    const int first = m_jobs.Delete(selected);
    if (first < 0) return;
    // What the list keeps per entry is selection and focus, and every
    // selected entry is gone: clear both, then give focus to the entry that
    // took the first one's place, as a list that deletes row by row would.
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_jobs.Count()), LVSICF_NOSCROLL);
    const int focus = std::min(first, m_jobs.Count() - 1);
    if (focus >= 0) m_list.SetItemState(focus, LVIS_FOCUSED, LVIS_FOCUSED);
    if (onCountShown) onCountShown(m_jobs.Count());
}

void CJobListView::Clear() {
    if (m_running) return;
    m_jobs.Clear();
    if (m_list.m_hwnd) m_list.DeleteAllItems();
    if (onCountShown) onCountShown(m_jobs.Count());
}

void CJobListView::Sort(const SortState& state) {
    // Selection and focus belong to positions in the list: they move with
    // their entries.
    std::vector<char> selected(static_cast<size_t>(m_jobs.Count()), 0);
    for (int i = m_list.GetFirstSelected(); i >= 0; i = m_list.GetNextItem(i, LVNI_SELECTED))
        selected[static_cast<size_t>(i)] = 1;
    const int focused = m_list.GetNextItem(-1, LVNI_FOCUSED);
    const std::vector<size_t> order = m_jobs.Sort(state.column, state.direction);
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (size_t i = 0; i < order.size(); ++i) {
        const UINT flags = (selected[order[i]] ? LVIS_SELECTED : 0u) |
                           (static_cast<int>(order[i]) == focused ? LVIS_FOCUSED : 0u);
        if (flags) m_list.SetItemState(static_cast<int>(i), flags, flags);
    }
    InvalidateRect(m_list, nullptr, FALSE);
}

bool CJobListView::OnNotify(NMHDR* header, LRESULT& result) {
    switch (header->code) {
        case NM_CUSTOMDRAW:
            result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
            return true;
        case LVN_GETINFOTIPA:
        case LVN_GETINFOTIPW:
            OnGetInfoTip(header);
            result = 0;
            return true;
        case LVN_GETDISPINFOA:
        case LVN_GETDISPINFOW:
            OnGetDispInfo(header);
            result = 0;
            return true;
        case LVN_ODFINDITEMA:
        case LVN_ODFINDITEMW:
            result = FindEntry(header);
            return true;
        default:
            return false;
    }
}

LRESULT CJobListView::OnCustomDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            if (static_cast<int>(draw->nmcd.dwItemSpec) == m_jobs.Current()) {
                SelectObject(draw->nmcd.hdc, m_resources.BoldFont());
                return CDRF_NEWFONT;
            }
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

void CJobListView::OnGetInfoTip(NMHDR* header) {
    // Both forms carry the same fields; only the text's width differs.
    auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(header);
    const std::string reason = EntryReason(tip->iItem);
    if (reason.empty() || !tip->pszText || tip->cchTextMax <= 0) return;
    const size_t room = static_cast<size_t>(tip->cchTextMax);
    if (header->code == LVN_GETINFOTIPW) {
        auto* wide = reinterpret_cast<NMLVGETINFOTIPW*>(header);
        // A folded tip holds the entry's full text already: the reason goes after it.
        std::wstring text = (wide->dwFlags & LVGIT_UNFOLDED) ? std::wstring() : std::wstring(wide->pszText);
        if (!text.empty()) text += L"\r\n";
        std::wstring words;
        if (WidenName(reason.c_str(), &words)) text += words;
        CopyCut(text, wide->pszText, room);
        return;
    }
    std::string text = (tip->dwFlags & LVGIT_UNFOLDED) ? std::string() : std::string(tip->pszText);
    if (!text.empty()) text += "\r\n";
    text += reason;
    text.resize(TextPrefixLength(text.c_str(), text.size(), room - 1));
    CopyCut(text, tip->pszText, room);
}

void CJobListView::OnGetDispInfo(NMHDR* header) {
    // Both forms carry the same fields; only the text's width differs.
    LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
    const JobItem* entry = m_jobs.At(item.iItem);
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
            std::wstring converted;
            if (!WidenName(std::string(text, length).c_str(), &converted)) converted.clear();
            CopyCut(converted, reinterpret_cast<wchar_t*>(item.pszText), room);
        } else {
            length = TextPrefixLength(text, length, room - 1);
            std::memcpy(item.pszText, text, length);
            item.pszText[length] = 0;
        }
    }
    if (item.mask & LVIF_IMAGE) item.iImage = entry->image;
    if ((item.mask & LVIF_STATE) && (item.stateMask & LVIS_STATEIMAGEMASK)) {
        // A file a run would change shows the arrow of one being converted.
        const UINT image = entry->mark == EntryMark::WouldChange   ? static_cast<UINT>(EntryMark::Converting)
                           : entry->mark <= EntryMark::LeftAsItWas ? static_cast<UINT>(entry->mark)
                                                                   : 0;
        item.state = (item.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(image);
    }
}

int CJobListView::FindEntry(NMHDR* header) const {
    // Typing in the list looks for the next name that starts with the typed
    // text, whatever its case.
    auto* find = reinterpret_cast<NMLVFINDITEMA*>(header);
    if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return -1;
    std::string wanted;
    if (header->code == LVN_ODFINDITEMW) {
        if (!NarrowName(reinterpret_cast<const wchar_t*>(find->lvfi.psz), &wanted)) return -1;
    } else {
        wanted = find->lvfi.psz;
    }
    return m_jobs.FindByName(wanted, find->iStart, (find->lvfi.flags & LVFI_WRAP) != 0,
                             (find->lvfi.flags & LVFI_PARTIAL) != 0);
}
