#include "core/file_types.h"

namespace {

// Row 12 keeps ".iss" without a star, as the dialogs have always shown it.
const char kFileTypes[] =
    "All Files (*.*)|*.*|"
    "Text Files (*.txt;*.diz)|*.txt;*.diz|"
    "ASP Files (*.asp)|*.asp|"
    "AutoLISP Files (*.lsp)|*.lsp|"
    "Basic Files (*.bas;*.vb;*.vbs;*.frm;*.dsm;*.cls)|*.bas;*.vb;*.vbs;*.frm;*.dsm;*.cls|"
    "Batch Files (*.bat;*.btm;*.cmd)|*.bat;*.btm;*.cmd|"
    "C/C++ Files "
    "(*.c;*.cc;*.cpp;*.cxx;*.h;*.hpp;*.hxx;*.hm;*.inl;*.rh;*.tlh;*.tli;*.xs)|*.c;*.cc;*.cpp;*.cxx;*.h;*.hpp;*"
    ".hxx;*.hm;*.inl;*.rh;*.tlh;*.tli;*.xs|"
    "C# Files (*.cs)|*.cs|"
    "DCL Files (*.dcl;*.dcc)|*.dcl;*.dcc|"
    "Fortran Files (*.g;*.f90;*.f90p;*.fpp;*.for;*.f77)|*.g;*.f90;*.f90p;*.fpp;*.for;*.f77|"
    "HTML Files "
    "(*.html;*.htm;*.shtml;*.ihtml;*.ssi;*.stm;*.stml)|*.html;*.htm;*.shtml;*.ihtml;*.ssi;*.stm;*.stml|"
    "INI Files (*.ini;*.reg)|*.ini;*.reg|"
    "InnoSetup Files (.iss;*.isl)|.iss;*.isl|"
    "InstallShield Files (*.rul)|*.rul|"
    "Java Files (*.java;*.jav;*.js)|*.java;*.jav;*.js|"
    "NSIS Files (*.nsi;*.nsh)|*.nsi;*.nsh|"
    "Pascal Files (*.pas)|*.pas|"
    "Perl Files (*.pl)|*.pl|"
    "PHP Files (*.php;*.php3;*.php4;*.php5;*.phtml)|*.php;*.php3;*.php4;*.php5;*.phtml|"
    "Python Files (*.py)|*.py|"
    "REXX Files (*.rex;*.rexx)|*.rex;*.rexx|"
    "Resource Files (*.rc;*.dlg;*.r16;*.r32;*.rc2)|*.rc;*.dlg;*.r16;*.r32;*.rc2|"
    "SGML Files (*.sgml)|*.sgml|"
    "Shell Files (*.sh;*.conf)|*.sh;*.conf|"
    "SIOD Files (*.scm)|*.scm|"
    "SQL Files (*.sql)|*.sql|"
    "TCL Files (*.tcl)|*.tcl|"
    "TEX Files (*.tex;*.sty;*.clo;*.ltx;*.fd;*.dtx)|*.tex;*.sty;*.clo;*.ltx;*.fd;*.dtx|"
    "XML Files (*.xml)|*.xml|"
    "|";

// Field `index` of the table; false when the table has fewer fields.
bool Field(const std::string& table, int index, std::string* out) {
    if (index < 0) return false;
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        size_t bar = table.find('|', start);
        if (bar == std::string::npos) return false;
        start = bar + 1;
    }
    if (start > table.size()) return false;
    size_t end = table.find('|', start);
    if (end == std::string::npos) end = table.size();
    *out = table.substr(start, end - start);
    return true;
}

}  // namespace

std::string GetFileTypeFilters() {
    return kFileTypes;
}

int FileTypeRowCount(const std::string& table) {
    int rows = 0;
    std::string description, patterns;
    while (Field(table, 2 * rows, &description) && !description.empty() &&
           Field(table, 2 * rows + 1, &patterns) && !patterns.empty())
        ++rows;
    return rows;
}

std::string FileTypeDescription(const std::string& table, int row) {
    if (row < 0 || row >= FileTypeRowCount(table)) return std::string();
    std::string field;
    Field(table, 2 * row, &field);
    return field;
}

std::string FileTypePatterns(const std::string& table, int row) {
    if (row < 0 || row >= FileTypeRowCount(table)) return std::string();
    std::string field;
    Field(table, 2 * row + 1, &field);
    return field;
}
