#include "test_support.h"

#include "gorsemere_idl.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ContextMenu : public testing::Test {
protected:
    void SetUp() override {
        EnsureRegistered();
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GorsemereContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IContextMenu, reinterpret_cast<void**>(&m_menu)));
        m_host = CreatePopupMenu();
        AppendMenuA(m_host, MF_STRING, 1, "&Open");
        AppendMenuA(m_host, MF_STRING, 2, "&Print");
    }
    void TearDown() override {
        DestroyMenu(m_host);
        if (m_menu) m_menu->Release();
    }
    void Initialize() {
        IShellExtInit* init = nullptr;
        ASSERT_EQ(S_OK, m_menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
        IDataObject* data = CreateHDropDataObject({"C:\\a.txt"});
        EXPECT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
        data->Release();
        init->Release();
    }
    std::string ItemText(HMENU menu, UINT position) {
        char text[128] = {};
        GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
        return text;
    }

    IContextMenu* m_menu = nullptr;
    HMENU m_host = nullptr;
};

TEST_F(ContextMenu, InsertsTheSubmenuWithFourCommandsAndItsPicture) {
    Initialize();
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4),
              m_menu->QueryContextMenu(m_host, 1, 100, 200, CMF_NORMAL));
    ASSERT_EQ(3, GetMenuItemCount(m_host));
    EXPECT_EQ("&Open", ItemText(m_host, 0));
    EXPECT_EQ("Convert EOL to", ItemText(m_host, 1));
    EXPECT_EQ("&Print", ItemText(m_host, 2));

    HMENU popup = GetSubMenu(m_host, 1);
    ASSERT_NE(nullptr, popup);
    ASSERT_EQ(4, GetMenuItemCount(popup));
    const char* texts[] = {"&Windows/Dos", "&Macintosh", "&Unix/Linux", "As the &project says"};
    for (UINT i = 0; i < 4; ++i) {
        EXPECT_EQ(texts[i], ItemText(popup, i));
        EXPECT_EQ(100 + i, GetMenuItemID(popup, i));
    }

    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfoA(m_host, 1, TRUE, &info));
    ASSERT_NE(nullptr, info.hbmpChecked);
    EXPECT_EQ(info.hbmpChecked, info.hbmpUnchecked);
    BITMAP bitmap = {};
    ASSERT_EQ(static_cast<int>(sizeof bitmap), GetObjectA(info.hbmpChecked, sizeof bitmap, &bitmap));
    EXPECT_EQ(13, bitmap.bmWidth);
    EXPECT_EQ(13, bitmap.bmHeight);
}

TEST_F(ContextMenu, AddsNothingWhenItCannotOrMustNot) {
    struct Case {
        const char* what;
        UINT first;
        UINT last;
        UINT flags;
    } cases[] = {
        {"default-only request", 100, 200, CMF_DEFAULTONLY},
        {"default-only with other flags", 100, 200, CMF_DEFAULTONLY | CMF_EXPLORE},
        // Ids beyond the caller's range belong to other handlers.
        {"room for three ids", 100, 102, CMF_NORMAL},
        {"inverted range", 100, 99, CMF_NORMAL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0),
                  m_menu->QueryContextMenu(m_host, 0, c.first, c.last, c.flags))
            << c.what;
        EXPECT_EQ(2, GetMenuItemCount(m_host)) << c.what;
    }
    // Exactly four ids of room is enough.
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), m_menu->QueryContextMenu(m_host, 2, 7, 10, CMF_NORMAL));
    EXPECT_EQ(3, GetMenuItemCount(m_host));
    EXPECT_EQ(10u, GetMenuItemID(GetSubMenu(m_host, 2), 3));
}

TEST_F(ContextMenu, WithoutInitializeTheSubmenuHasNoPicture) {
    ASSERT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4), m_menu->QueryContextMenu(m_host, 0, 1, 4, CMF_NORMAL));
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfoA(m_host, 0, TRUE, &info));
    EXPECT_EQ(nullptr, info.hbmpChecked);
    EXPECT_EQ("Convert EOL to", ItemText(m_host, 0));
}

TEST_F(ContextMenu, GetCommandStringFillsAndTerminatesWithinTheBuffer) {
    const char* help[] = {"Convert text file line endings to Windows format(CRLF)",
                          "Convert text file line endings to Macintosh format(CR)",
                          "Convert text file line endings to Unix format(LF)",
                          "Convert text file line endings as .editorconfig and .gitattributes say"};
    struct Case {
        UINT offset;
        UINT type;
        UINT cch;
        HRESULT expected;
        bool writes;
    } cases[] = {
        {0, GCS_HELPTEXTA, 100, S_OK, true},          {1, GCS_HELPTEXTA, 100, S_OK, true},
        {2, GCS_HELPTEXTW, 100, S_OK, true},          {2, GCS_HELPTEXTW, 10, S_OK, true},
        {0, GCS_HELPTEXTA, 10, S_OK, true},           {1, GCS_HELPTEXTW, 1, S_OK, true},
        {1, GCS_HELPTEXTA, 55, S_OK, true},  // one short of the Macintosh text and its zero
        {0, GCS_VALIDATEA, 100, S_OK, false},         {2, GCS_VALIDATEW, 100, S_OK, false},
        {0, GCS_VERBA, 100, E_INVALIDARG, false},     {0, GCS_VERBW, 100, E_INVALIDARG, false},
        {3, GCS_HELPTEXTA, 100, S_OK, true},          {3, GCS_HELPTEXTW, 20, S_OK, true},
        {3, GCS_VALIDATEW, 100, S_OK, false},         {4, GCS_HELPTEXTA, 100, E_INVALIDARG, false},
        {4, GCS_VALIDATEA, 100, E_INVALIDARG, false}, {0x10000, GCS_HELPTEXTW, 100, E_INVALIDARG, false},
        {0, GCS_HELPTEXTA, 0, E_INVALIDARG, false},   {0, GCS_HELPTEXTW, 0, E_INVALIDARG, false},
    };
    for (const Case& c : cases) {
        const bool wide = c.type == GCS_HELPTEXTW;
        const size_t charSize = wide ? sizeof(WCHAR) : 1;
        unsigned char buffer[512];
        std::memset(buffer, 0xCC, sizeof buffer);
        const HRESULT hr =
            m_menu->GetCommandString(c.offset, c.type, nullptr, reinterpret_cast<LPSTR>(buffer), c.cch);
        EXPECT_EQ(c.expected, hr) << c.offset << "/" << c.type << "/" << c.cch;
        const size_t written = c.writes ? c.cch * charSize : 0;
        for (size_t i = written; i < sizeof buffer; ++i)
            ASSERT_EQ(0xCC, buffer[i])
                << "byte " << i << " touched, case " << c.offset << "/" << c.type << "/" << c.cch;
        if (!c.writes) continue;
        // The text, cut to cch - 1 characters, then zeros to the end.
        const std::string full = help[c.offset];
        const std::string shown = full.substr(0, std::min<size_t>(full.size(), c.cch - 1));
        for (size_t i = 0; i < c.cch; ++i) {
            const unsigned ch = wide ? reinterpret_cast<WCHAR*>(buffer)[i] : buffer[i];
            const unsigned want = i < shown.size() ? static_cast<unsigned char>(shown[i]) : 0;
            ASSERT_EQ(want, ch) << "char " << i << ", case " << c.offset << "/" << c.type << "/" << c.cch;
        }
    }
}

}  // namespace
