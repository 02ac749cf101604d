// pardwell-cli as scripts run it: the built program over a tree of files,
// its exit status, its lines and summary, its JSON read back, and the files
// on disk afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/cli/json_line.h"
#include "tests/cli/run_program.h"
#include "tests/support/project_repo.h"
#include "tests/support/scratch_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

std::string CliPath() {
    std::string path = PARDWELL_CLI;
#ifdef _WIN32
    // The build gives a Linux path; Wine maps / to Z:.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

// rel is written with "/"; the program prints the platform's separator.
std::string Join(const std::string& root, const std::string& rel) {
    std::string path = root + "/" + rel;
#ifdef _WIN32
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

void Put(const std::string& path, const std::string& data) {
    const fs::path p = fs::u8path(path);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << data;
}

std::string Get(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetReadOnly(const std::string& path, bool readOnly) {
    fs::permissions(fs::u8path(path),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

bool IsReadOnly(const std::string& path) {
    return (fs::status(fs::u8path(path)).permissions() & fs::perms::owner_write) == fs::perms::none;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

ProgramRun Cli(std::vector<std::string> args, const std::string& cwd = "") {
    args.insert(args.begin(), CliPath());
    return RunProgram(args, cwd);
}

struct TreeFile {
    std::string rel;
    std::string data;
    std::string breaks;  // as the window's Line breaks column words it
};

// In the order a walk finds them: names sorted by their bytes, so the
// Greek, Japanese and emoji names come last.
const std::vector<TreeFile>& TreeFiles() {
    static const std::vector<TreeFile> files = {
        {"bin.dat", std::string("\0\1\2\r\n", 5), "Binary"},
        {"crlf.txt", "one\r\ntwo\r\n", "CR LF"},
        {"lf.txt", "one\ntwo\n", "LF"},
        {"mixed.c", "a\r\nb\nc\r\nd\re\n", "Mixed (2 CR LF, 2 LF, 1 CR)"},
        {"none.txt", "no break", "None"},
        {"ro.txt", "r\r\n", "CR LF"},
        {"sub/deep.h", "x\r\ny\r\n", "CR LF"},
        {"sub/more/leaf.c", "z\n", "LF"},
        {"u16.txt",
         std::string("\xFF\xFE"
                     "a\0\r\0\n\0",
                     8),
         "UTF-16 LE, CR LF"},
        {"\xCE\xA9mega.txt", "\xCF\x89\n", "LF"},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "\xE3\x81\x82\r\n", "CR LF"},
        {"\xF0\x9F\x8E\x89.txt", "\xF0\x9F\x8E\x89\r\n", "CR LF"},
    };
    return files;
}

// Never walked into, whatever their content.
const char* const kVersionControlFiles[] = {".git/config", ".hg/store", "sub/.svn/entries"};

class CliTree {
public:
    CliTree() {
        for (const TreeFile& file : TreeFiles()) Put(Path(file.rel), file.data);
        for (const char* rel : kVersionControlFiles) Put(Path(rel), "vcs\r\n");
        SetReadOnly(Path("ro.txt"), true);
    }
    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& rel) const { return Join(m_root, rel); }
    // "@" stands for the root, "@/rel" for a path in it.
    std::string Expand(const std::string& text) const {
        if (text.compare(0, 2, "@/") == 0) return Path(text.substr(2));
        if (text == "@") return m_root;
        return text;
    }
    std::vector<std::string> Expand(const std::vector<std::string>& texts) const {
        std::vector<std::string> out;
        for (const std::string& text : texts) out.push_back(Expand(text));
        return out;
    }

private:
    ScratchDir m_scratch{"pwcli"};
    std::string m_root = m_scratch.path();
};

// Each line "@/rel: text" for the files of the tree that pass keep, in order.
template <class Keep, class Text>
std::vector<std::string> TreeLines(Keep keep, Text text) {
    std::vector<std::string> lines;
    for (const TreeFile& file : TreeFiles())
        if (keep(file)) lines.push_back("@/" + file.rel + ": " + text(file));
    return lines;
}

bool Any(const TreeFile&) {
    return true;
}
std::string Breaks(const TreeFile& file) {
    return file.breaks;
}

class CliRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_tree = new CliTree; }
    static void TearDownTestSuite() {
        delete s_tree;
        s_tree = nullptr;
    }
    static CliTree* s_tree;
};
CliTree* CliRun::s_tree = nullptr;

TEST_F(CliRun, CheckAndInfoReportEachFileAndTheSummary) {
    const CliTree& tree = *s_tree;
    const auto notLf = [](const TreeFile& f) {
        return f.breaks != "LF" && f.breaks != "None" && f.breaks != "Binary";
    };
    const auto expectedLf = [](const TreeFile& f) { return f.breaks + " (expected LF)"; };
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;  // summary last
    };
    std::vector<Case> cases = {
        {"info lists every file", {"info", "@"}, 0, TreeLines(Any, Breaks)},
        {"check without a target fails mixed files only", {"check", "@"}, 1, TreeLines(Any, Breaks)},
        {"check -q prints only what is not LF",
         {"check", "-q", "--to", "lf", "@"},
         1,
         TreeLines(notLf, expectedLf)},
        {"include patterns",
         {"check", "--to=lf", "--include", "*.c;*.H", "@"},
         1,
         {"@/mixed.c: Mixed (2 CR LF, 2 LF, 1 CR) (expected LF)", "@/sub/deep.h: CR LF (expected LF)",
          "@/sub/more/leaf.c: LF", "Checked: 3 read, 0 fail, 2 not as expected"}},
        {"exclude patterns without recursion",
         {"check", "--exclude", "*.txt;*.dat", "--no-recurse", "@"},
         1,
         {"@/mixed.c: Mixed (2 CR LF, 2 LF, 1 CR)", "Checked: 1 read, 0 fail, 1 not as expected"}},
        {"files and folders named",
         {"check", "--to", "lf", "-j", "2", "@/lf.txt", "@/sub/more"},
         0,
         {"@/lf.txt: LF", "@/sub/more/leaf.c: LF", "Checked: 2 read, 0 fail"}},
        {"a missing file fails its line",
         {"check", "--to", "cr", "@/missing.txt", "@/none.txt"},
         1,
         {"@/missing.txt: failed: the file cannot be opened or read", "@/none.txt: None",
          "Checked: 1 read, 1 fail"}},
        {"binary judged when it is to be converted",
         {"check", "--to", "crlf", "--convert-binary", "@/bin.dat"},
         0,
         {"@/bin.dat: Binary", "Checked: 1 read, 0 fail"}},
    };
    cases[0].lines.push_back("Checked: 12 read, 0 fail");
    cases[1].lines[3] = "@/mixed.c: Mixed (2 CR LF, 2 LF, 1 CR)";
    cases[1].lines.push_back("Checked: 12 read, 0 fail, 1 not as expected");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramRun run = Cli(tree.Expand(c.args));
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(Lines(run.out), tree.Expand(c.lines));
        EXPECT_EQ(run.err, "");  // no progress display on a redirected stderr
    }
}

TEST_F(CliRun, RelativePathsStayRelative) {
    const ProgramRun run = Cli({"check", "--to", "crlf", "sub"}, s_tree->Root());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out), (std::vector<std::string>{Join("sub", "deep.h") + ": CR LF",
                                                        Join("sub", "more/leaf.c") + ": LF (expected CR LF)",
                                                        "Checked: 2 read, 0 fail, 1 not as expected"}));
}

// A working tree made by hand: what Git ignores is left out unless
// --no-ignore is given; .git and .hg are never walked into.
TEST(CliIgnore, LeavesOutWhatGitIgnoresUnlessTold) {
    ScratchDir dir("pwcli-ignore");
    const std::string root = dir.path();
    Put(Join(root, ".git/info/exclude"), "*.tmp\n");
    Put(Join(root, ".git/HEAD"), "ref: refs/heads/main\n");
    Put(Join(root, ".hg/h.txt"), "h\n");
    Put(Join(root, ".gitignore"), "*.log\nout/\n");
    Put(Join(root, "a.txt"), "a\n");
    Put(Join(root, "b.log"), "b\n");
    Put(Join(root, "c.tmp"), "c\n");
    Put(Join(root, "out/d.txt"), "d\n");
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> lines;
    } cases[] = {
        {{"info", root},
         {Join(root, ".gitignore") + ": LF", Join(root, "a.txt") + ": LF", "Checked: 2 read, 0 fail"}},
        {{"info", "--no-ignore", root},
         {Join(root, ".gitignore") + ": LF", Join(root, "a.txt") + ": LF", Join(root, "b.log") + ": LF",
          Join(root, "c.tmp") + ": LF", Join(root, "out/d.txt") + ": LF", "Checked: 5 read, 0 fail"}},
        {{"info", Join(root, "out")}, {"Checked: 0 read, 0 fail"}},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Cli(c.args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Lines(run.out), c.lines) << c.args[1];
    }
}

TEST_F(CliRun, JsonLinesParseBackWithEveryField) {
    const CliTree& tree = *s_tree;
    const ProgramRun run = Cli({"check", "--json", "--to", "lf", tree.Root(), tree.Path("missing.txt")});
    EXPECT_EQ(run.status, 1);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), TreeFiles().size() + 2);
    std::map<std::string, std::string> object;
    for (size_t i = 0; i < TreeFiles().size(); ++i) {
        const TreeFile& file = TreeFiles()[i];
        SCOPED_TRACE(file.rel);
        ASSERT_TRUE(ParseJsonObject(lines[i], &object)) << lines[i];
        EXPECT_EQ(object["path"], tree.Path(file.rel));
        EXPECT_EQ(object["breaks"], file.breaks);
        const bool lfOnly = file.breaks == "LF" || file.breaks == "None";
        EXPECT_EQ(object["status"], file.breaks == "Binary" ? "skipped" : lfOnly ? "ok" : "offending");
    }
    ASSERT_TRUE(ParseJsonObject(lines[3], &object));
    EXPECT_EQ(object["crlf"] + object["lf"] + object["cr"], "221");
    ASSERT_TRUE(ParseJsonObject(lines[8], &object));
    EXPECT_EQ(object["bom"], "utf-16le");
    ASSERT_TRUE(ParseJsonObject(lines[lines.size() - 2], &object));
    EXPECT_EQ(object["status"], "failed");
    EXPECT_EQ(object["error"], "the file cannot be opened or read");
    ASSERT_TRUE(ParseJsonObject(lines.back(), &object));
    EXPECT_EQ(object["summary"], "Checked: 12 read, 1 fail, 7 not as expected");
    EXPECT_EQ(object["files"] + "/" + object["failed"] + "/" + object["offending"] + "/" + object["exit"],
              "13/1/7/1");
}

#ifndef _WIN32
// Names Windows forbids, natively: each must come back through the escapes.
TEST(CliJson, NamesWithQuotesBackslashesAndControlsParseBack) {
    ScratchDir dir("pwcli-json");
    // Sorted as the walk finds them; a byte that is no UTF-8 reads back as U+FFFD.
    const struct {
        std::string name, readBack;
    } names[] = {{"back\\slash", "back\\slash"},
                 {"bad\xFF", "bad\xEF\xBF\xBD"},
                 {"new\nline", "new\nline"},
                 {"quote\"d", "quote\"d"},
                 {"tab\tbed", "tab\tbed"}};
    for (const auto& name : names) Put(Join(dir.path(), name.name), "x\n");
    const ProgramRun run = Cli({"info", "--json", dir.path()});
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), std::size(names) + 1);
    std::map<std::string, std::string> object;
    for (size_t i = 0; i < std::size(names); ++i) {
        ASSERT_TRUE(ParseJsonObject(lines[i], &object)) << lines[i];
        EXPECT_EQ(object["path"], Join(dir.path(), names[i].readBack));
    }
}
#endif

TEST(CliConvert, ConvertsInPlaceWithTheWindowsDefaults) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;               // "" for every file's line, then the summary
        std::map<std::string, std::string> contents;  // after the run
    };
    const Case cases[] = {
        {"whole tree to LF",
         {"convert", "--to", "lf", "@"},
         0,
         {"@/bin.dat: Binary, skipped", "@/crlf.txt: CR LF -> LF", "@/lf.txt: LF, left as it was",
          "@/mixed.c: Mixed (2 CR LF, 2 LF, 1 CR) -> LF", "@/none.txt: None, left as it was",
          "@/ro.txt: CR LF -> LF", "@/sub/deep.h: CR LF -> LF", "@/sub/more/leaf.c: LF, left as it was",
          "@/u16.txt: UTF-16 LE, CR LF -> LF", "@/\xCE\xA9mega.txt: LF, left as it was",
          "@/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt: CR LF -> LF", "@/\xF0\x9F\x8E\x89.txt: CR LF -> LF",
          "Converted: 11 success, 0 fail, 1 skipped"},
         {{"bin.dat", std::string("\0\1\2\r\n", 5)},
          {"mixed.c", "a\nb\nc\nd\ne\n"},
          {"ro.txt", "r\n"},
          {"u16.txt", std::string("\xFF\xFE"
                                  "a\0\n\0",
                                  6)},
          {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "\xE3\x81\x82\n"},
          {".git/config", "vcs\r\n"},
          {"sub/.svn/entries", "vcs\r\n"}}},
        {"read-only files skipped, quietly",
         {"convert", "-q", "--to", "lf", "--skip-read-only", "@/ro.txt", "@/crlf.txt"},
         0,
         {},
         {{"ro.txt", "r\r\n"}, {"crlf.txt", "one\ntwo\n"}}},
        {"backup kept",
         {"convert", "--to", "crlf", "--backup", "@/lf.txt"},
         0,
         {"@/lf.txt: LF -> CR LF", "Converted: 1 success, 0 fail"},
         {{"lf.txt", "one\r\ntwo\r\n"}, {"lf.txt.bak", "one\ntwo\n"}}},
        {"binary converted when asked",
         {"convert", "--to", "cr", "--convert-binary", "@/bin.dat"},
         0,
         {"@/bin.dat: Binary -> CR", "Converted: 1 success, 0 fail"},
         {{"bin.dat", std::string("\0\1\2\r", 4)}}},
        {"a missing file fails",
         {"convert", "--to", "lf", "@/missing.txt", "@/none.txt"},
         1,
         {"@/missing.txt: failed: the file cannot be opened or read", "@/none.txt: None, left as it was",
          "Converted: 1 success, 1 fail"},
         {{"none.txt", "no break"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CliTree tree;
        const ProgramRun run = Cli(tree.Expand(c.args));
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(Lines(run.out), tree.Expand(c.lines));
        EXPECT_EQ(run.err, "");
        for (const auto& content : c.contents)
            EXPECT_EQ(Get(tree.Path(content.first)), content.second) << content.first;
        EXPECT_TRUE(IsReadOnly(tree.Path("ro.txt")));
        SetReadOnly(tree.Path("ro.txt"), false);
    }
}

// The lines of a run by the path under root they start with; the summary,
// which starts with no path, under "".
std::map<std::string, std::string> LinesByPath(const std::string& out, const std::string& root) {
    std::map<std::string, std::string> byPath;
    for (const std::string& line : Lines(out)) {
        const size_t colon = line.find(": ", root.size());
        if (line.compare(0, root.size(), root) != 0 || colon == std::string::npos)
            byPath[""] = line;
        else
            byPath[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return byPath;
}

// --to project in a real Git working tree: check finds exactly the files
// whose rules they break, convert brings each to its own target and leaves
// the rest, and a second check finds nothing.
TEST(CliProject, EachFileAsItsProjectSays) {
    ScratchDir dir("pwcli-repo");
    std::string why;
    ASSERT_TRUE(MakeProjectRepo(dir.path(), &why)) << why;
    const std::string noRule = "no line-break rule in .editorconfig or .gitattributes";
    const std::map<std::string, std::string> check = {
        {".editorconfig", noRule},
        {".gitattributes", noRule},
        {".gitignore", noRule},
        {"build.sh", "CR LF (expected LF)"},
        {"data.dat", "marked binary in .gitattributes"},
        {"lib.c", "LF (expected LF, ending with a break)"},
        {"main.c", "CR LF (expected LF, ending with a break)"},
        {"notes.txt", "LF (expected CR LF)"},
        {"readme.md", noRule},
        {"run.bat", "LF (expected CR LF)"},
        {"docs/.gitattributes", noRule},
        {"docs/guide.txt", "CR LF (expected LF)"},
    };
    const std::map<std::string, std::string> convert = {
        {"build.sh", "CR LF -> LF"},
        {"data.dat", "marked binary in .gitattributes, skipped"},
        {"lib.c", "LF -> LF"},
        {"main.c", "CR LF -> LF"},
        {"notes.txt", "LF -> CR LF"},
        {"readme.md", noRule + ", skipped"},
        {"run.bat", "LF -> CR LF"},
        {"docs/guide.txt", "CR LF -> LF"},
        {".gitignore", noRule + ", skipped"},
    };
    const struct Step {
        const char* command;
        int status;
        const std::map<std::string, std::string>& lines;
        std::string summary;
    } steps[] = {
        {"check", 1, check, "Checked: 6 read, 0 fail, 6 not as expected"},
        {"convert", 0, convert, ""},
        {"check", 0, {}, "Checked: 6 read, 0 fail"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        const ProgramRun run = Cli({step.command, "--to", "project", dir.path()});
        EXPECT_EQ(run.status, step.status) << run.out << run.err;
        const std::map<std::string, std::string> byPath = LinesByPath(run.out, dir.path());
        for (const auto& want : step.lines) {
            const auto got = byPath.find(Join(dir.path(), want.first));
            ASSERT_NE(got, byPath.end()) << want.first << "\n" << run.out;
            EXPECT_EQ(got->second, want.second) << want.first;
        }
        for (const ProjectRepoFile& file : ProjectRepoFiles()) {
            if (!file.ignored) continue;
            EXPECT_EQ(byPath.count(Join(dir.path(), file.rel)), 0u) << file.rel << " is ignored";
        }
        if (!step.summary.empty()) {
            const auto summary = byPath.find("");
            ASSERT_NE(summary, byPath.end()) << run.out;
            EXPECT_EQ(summary->second, step.summary);
        }
    }
    for (const ProjectRepoFile& file : ProjectRepoFiles())
        EXPECT_EQ(Get(Join(dir.path(), file.rel)), file.Expected()) << file.rel;
    // A file without a rule converts to nothing; the JSON line says why.
    const ProgramRun json = Cli({"convert", "--json", "--to", "project", Join(dir.path(), "readme.md")});
    EXPECT_NE(json.out.find("\"status\":\"skipped\",\"reason\":\"" + noRule + "\""), std::string::npos)
        << json.out;
}

TEST(CliUsage, ExitStatusTwoForEveryUsageError) {
    const std::vector<std::vector<std::string>> errors = {
        {},
        {"check"},
        {"frobnicate", "x"},
        {"convert", "x"},
        {"check", "--to", "dos", "x"},
        {"check", "-j", "0", "x"},
        {"check", "-jx", "x"},
        {"check", "--include"},
        {"check", "--bogus", "x"},
        {"check", "--json=yes", "x"},
        {"check", "-f", "x.ec", "x"},
        {"editorconfig", "-b"},
        {"editorconfig"},
    };
    for (const auto& args : errors) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0] + " " + args.back());
        const ProgramRun run = Cli(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("pardwell-cli: "), std::string::npos) << run.err;
    }
    const ProgramRun version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.compare(0, 13, "pardwell-cli "), 0) << version.out;
    const ProgramRun help = Cli({"check", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--to", "--include", "--exclude", "--no-recurse", "--no-ignore", "--backup",
                               "--no-keep-time", "--skip-read-only", "--convert-binary", "--json", "-q",
                               "-j N", "--version", "editorconfig", "-f NAME", "-b VERSION"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

// editorconfig prints as EditorConfig's own program does: every property,
// names in lowercase in the order first met, a closer file's value in place,
// the derived indent values last, and "[FILE]" heads for several files.
TEST(CliEditorConfig, PrintsEachFilesProperties) {
    ScratchDir tree("pwcli-ec");
    Put(tree.Path(".editorconfig"),
        "root = true\n[*]\nend_of_line = CRLF\nIndent_Style = space\n"
        "[*.c]\nindent_size = 4\nx_custom = Mixed\n");
    Put(Join(tree.path(), "sub/.editorconfig"), "[*.c]\nend_of_line = lf\n");
    Put(tree.Path(".ecrc"), "root = true\n[*.c]\nend_of_line = cr\n");
    const std::string c = Join(tree.path(), "sub/a.c");
    const std::string txt = tree.Path("a.txt");
    const std::string cLines =
        "end_of_line=lf\nindent_style=space\nindent_size=4\nx_custom=Mixed\ntab_width=4\n";
    struct Case {
        std::vector<std::string> args;
        std::string cwd;
        std::string out;
    } const cases[] = {
        {{"editorconfig", c}, "", cLines},
        {{"editorconfig", Join("sub", "a.c")}, tree.path(), cLines},
        {{"editorconfig", "-b", "0.12.0", txt, c},
         "",
         "[" + txt + "]\nend_of_line=crlf\nindent_style=space\n[" + c + "]\n" + cLines},
        {{"editorconfig", "-f", ".ecrc", c}, "", "end_of_line=cr\n"},
        {{"editorconfig", "-f", ".none", c}, "", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.args[1]);
        const ProgramRun run = Cli(k.args, k.cwd);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, k.out);
        EXPECT_EQ(run.err, "");
    }
}

// Results come in the order the files were found, however many at a time.
// A check hands out one file at a time and a conversion one folder at a
// time: either way the lines come in the order found and the files end alike.
TEST(CliParallel, SameOutputOneOrFourAtATime) {
    auto makeTree = [](const std::string& root) {
        for (int folder = 0; folder < 8; ++folder)
            for (int file = 0; file < 40; ++file) {
                std::string data(static_cast<size_t>(file * 97 % 3000), 'x');
                for (size_t at = 0; at < data.size(); at += 50) data[at] = "\n\r"[(folder + file + at) % 2];
                Put(Join(root, "d" + std::to_string(folder) + "/f" + std::to_string(100 + file) + ".txt"),
                    data);
            }
    };
    for (const char* command : {"check", "convert"})
        for (const char* format : {"", "--json"}) {
            SCOPED_TRACE(std::string(command) + " " + format);
            ScratchDir oneDir("pwcli-one"), fourDir("pwcli-four");
            makeTree(oneDir.path());
            makeTree(fourDir.path());
            auto run = [&](const std::string& root, const char* jobs) {
                std::vector<std::string> args = {command, "--to", "lf", root, "-j", jobs};
                if (*format) args.push_back(format);
                ProgramRun result = Cli(args);
                // The same lines, whichever folder they ran in (JSON doubles
                // Windows' backslashes).
                std::string escaped;
                for (char c : root) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
                for (const std::string& from : {root, escaped})
                    for (size_t at; (at = result.out.find(from)) != std::string::npos;)
                        result.out.replace(at, from.size(), "ROOT");
                return result;
            };
            const ProgramRun one = run(oneDir.path(), "1");
            const ProgramRun four = run(fourDir.path(), "4");
            EXPECT_EQ(one.status, std::string(command) == "check" ? 1 : 0);
            EXPECT_EQ(four.status, one.status);
            EXPECT_EQ(four.out, one.out);
            const std::vector<std::string> lines = Lines(one.out);
            ASSERT_EQ(lines.size(), 8u * 40 + 1);
            for (int folder = 0; folder < 8; ++folder)
                for (int file = 0; file < 40; ++file) {
                    const std::string name =
                        "d" + std::to_string(folder) + "/f" + std::to_string(100 + file) + ".txt";
                    EXPECT_EQ(Get(Join(fourDir.path(), name)), Get(Join(oneDir.path(), name))) << name;
                }
            if (*format) continue;  // the JSON paths are escaped
            EXPECT_EQ(lines[0].find(Join("ROOT", "d0/f100.txt: ")), 0u) << lines[0];
            EXPECT_EQ(lines[319].find(Join("ROOT", "d7/f139.txt: ")), 0u) << lines[319];
        }
}

// A file that cannot be read fails its own line, and the run goes on: under
// Windows one held open without sharing (waited for, then failed as in
// use), natively a FIFO, whose open would wait for a writer for ever if it
// were read as a file.
TEST(CliUnreadable, FailsItsLineWithTheReason) {
    ScratchDir dir("pwcli-unread");
    Put(Join(dir.path(), "a.txt"), "a\n");
    const std::string blocked = Join(dir.path(), "b.txt");
#ifdef _WIN32
    Put(blocked, "b\n");
    const HANDLE hold = CreateFileW(fs::u8path(blocked).wstring().c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
#else
    ASSERT_EQ(mkfifo(blocked.c_str(), 0600), 0);
#endif
    Put(Join(dir.path(), "c.txt"), "c\r\n");
    for (const char* command : {"check", "info", "convert"}) {
        SCOPED_TRACE(command);
        const ProgramRun run = Cli({command, "--to", "lf", dir.path()});
        EXPECT_EQ(run.status, 1);
        const std::vector<std::string> lines = Lines(run.out);
        ASSERT_EQ(lines.size(), 4u);
#ifdef _WIN32
        EXPECT_EQ(lines[1], blocked + ": failed: the file was in use by another program");
#else
        EXPECT_EQ(lines[1], blocked + ": failed: the file cannot be opened or read");
#endif
    }
#ifdef _WIN32
    CloseHandle(hold);
#endif
}

#ifndef _WIN32
// What a terminal shows of the bytes written to it: the lines a line feed
// ended, the line the cursor is on at the end, and each progress line as it
// stood when a carriage return began the next.
struct Screen {
    std::vector<std::string> lines;
    std::string last;
    std::vector<std::string> progress;
};

Screen Shown(const std::string& bytes) {
    Screen screen;
    size_t column = 0;
    for (const char c : bytes) {
        if (c == '\r') {
            if (screen.last.find(" files, ") != std::string::npos) screen.progress.push_back(screen.last);
            column = 0;
        } else if (c == '\n') {
            screen.lines.push_back(screen.last.substr(0, screen.last.find_last_not_of(' ') + 1));
            screen.last.clear();
            column = 0;
        } else {
            if (column < screen.last.size())
                screen.last[column] = c;
            else
                screen.last += c;
            ++column;
        }
    }
    return screen;
}

// The progress line on a terminal, natively. A file that cannot be read
// although it is not read-only is waited for as one held by another
// program, about two seconds, so a run with it lasts past the second after
// which progress shows, whatever the machine's speed.
TEST(CliProgress, OneLineOnATerminalForLongRunsOnly) {
    constexpr int kColumns = 40;
    ScratchDir dir("pwcli-progress");
    const std::string big = Join(dir.path(), "a.txt");
    std::string text;
    for (int i = 0; i < 98304; ++i) text += "0123456789abcd\r\n";  // 1.5 MiB
    Put(big, text);
    const std::string held = Join(dir.path(), "held.txt");
    Put(held, "h\r\n");
    ASSERT_EQ(chmod(held.c_str(), 0200), 0);

    const std::vector<std::string> longRun = {CliPath(), "check", "-j", "1", dir.path()};
    const ProgramRun plain = RunAttached(longRun, Attach::File, Attach::File);
    ASSERT_EQ(plain.status, 1);
    ASSERT_EQ(Lines(plain.out).size(), 3u);
    ASSERT_EQ(Lines(plain.out)[1], held + ": failed: the file was in use by another program");
    EXPECT_EQ(plain.err, "");

    struct Case {
        const char* what;
        bool held;  // the two-second run, else a.txt alone
        Attach out, err;
        bool progress;
    };
    const Case cases[] = {
        {"stderr on a terminal", true, Attach::File, Attach::Terminal, true},
        {"both on one terminal", true, Attach::Terminal, Attach::Terminal, true},
        {"a run shorter than a second", false, Attach::Terminal, Attach::Terminal, false},
        {"stderr into a pipe", true, Attach::File, Attach::Pipe, false},
    };
    const std::string head = "1/2 files, 1.5 MiB ";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = longRun;
        if (!c.held) args.back() = big;
        const ProgramRun run = RunAttached(args, c.out, c.err, kColumns);
        EXPECT_EQ(run.status, c.held ? 1 : 0);
        const std::string& terminal = c.out == Attach::Terminal ? run.out : run.err;
        const Screen screen = Shown(c.err == Attach::Terminal ? terminal : run.err);
        EXPECT_EQ(!screen.progress.empty(), c.progress);
        for (const std::string& line : screen.progress) {
            // Exactly one line short of the width, so it never wraps: the
            // counts, the bytes read, and as much of the current file's path
            // as fits, from its end.
            ASSERT_EQ(line.size(), static_cast<size_t>(kColumns - 1)) << line;
            ASSERT_EQ(line.compare(0, head.size(), head), 0) << line;
            const std::string current =
                line.substr(head.size(), line.find_last_not_of(' ') + 1 - head.size());
            ASSERT_FALSE(current.empty());
            EXPECT_EQ(big.compare(big.size() - current.size(), current.size(), current), 0) << line;
        }
        // Taken away at the end; results on the same terminal never stand
        // over a remnant of it.
        EXPECT_EQ(screen.last.find_first_not_of(' '), std::string::npos) << screen.last;
        if (c.out == Attach::Terminal) {
            std::vector<std::string> expected = Lines(plain.out);
            if (!c.held) expected = Lines(RunProgram(args).out);
            EXPECT_EQ(screen.lines, expected);
        } else {
            EXPECT_TRUE(screen.lines.empty());
            EXPECT_EQ(run.out, plain.out);
        }
        if (c.err == Attach::Pipe) {
            EXPECT_EQ(run.err, "");
        }
    }
    chmod(held.c_str(), 0600);
}
#endif

}  // namespace
