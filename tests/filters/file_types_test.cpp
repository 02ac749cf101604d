#include "core/file_types.h"

#include <gtest/gtest.h>

namespace {

TEST(FileTypes, TableReadsAsItsRows) {
    const std::string table = GetFileTypeFilters();
    ASSERT_EQ(FileTypeRowCount(table), 29);
    struct Row {
        int row;
        const char* description;
        const char* patterns;
    } rows[] = {
        {0, "All Files (*.*)", "*.*"},
        {1, "Text Files (*.txt;*.diz)", "*.txt;*.diz"},
        {6, "C/C++ Files (*.c;*.cc;*.cpp;*.cxx;*.h;*.hpp;*.hxx;*.hm;*.inl;*.rh;*.tlh;*.tli;*.xs)",
         "*.c;*.cc;*.cpp;*.cxx;*.h;*.hpp;*.hxx;*.hm;*.inl;*.rh;*.tlh;*.tli;*.xs"},
        {12, "InnoSetup Files (.iss;*.isl)", ".iss;*.isl"},
        {18, "PHP Files (*.php;*.php3;*.php4;*.php5;*.phtml)", "*.php;*.php3;*.php4;*.php5;*.phtml"},
        {28, "XML Files (*.xml)", "*.xml"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(FileTypeDescription(table, r.row), r.description) << r.row;
        EXPECT_EQ(FileTypePatterns(table, r.row), r.patterns) << r.row;
    }
    EXPECT_EQ(FileTypeDescription(table, 29), "");
    EXPECT_EQ(FileTypePatterns(table, -1), "");
    // Ends with an empty field, which is what stops the file-open dialog too.
    EXPECT_EQ(table.substr(table.size() - 8), "|*.xml||");
}

TEST(FileTypes, EveryDescriptionNamesItsOwnPatterns) {
    const std::string table = GetFileTypeFilters();
    for (int row = 0; row < FileTypeRowCount(table); ++row) {
        const std::string description = FileTypeDescription(table, row);
        EXPECT_NE(description.find("(" + FileTypePatterns(table, row) + ")"), std::string::npos) << row;
    }
}

TEST(FileTypes, ReadingStopsAtTheFirstMissingOrEmptyField) {
    struct Case {
        const char* table;
        int rows;
    } cases[] = {
        {"", 0},           {"A|*.a", 1},        {"A|*.a|", 1},        {"A|*.a||B|*.b||", 1},
        {"A|*.a|B", 1},  // a description without its pattern list
        {"A||B|*.b||", 0}, {"|*.a|B|*.b||", 0}, {"A|*.a|B|*.b||", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(FileTypeRowCount(c.table), c.rows) << c.table;
    EXPECT_EQ(FileTypePatterns("A|*.a|B|*.b||", 1), "*.b");
}

}  // namespace
