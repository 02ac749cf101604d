#include "shellext/registrar_script.h"

#include <gtest/gtest.h>

namespace {

const std::map<std::string, std::string> kModule{{"MODULE", "C:\\Bob's Tools\\Gorsemere.dll"}};

TEST(RegistrarScript, ReadsKeysFlagsValuesAndSubstitutesAfterTokenizing) {
    const std::string script =
        "HKCR\n{\n"
        "  NoRemove CLSID\n  {\n"
        "    ForceRemove {ABC} = s 'Some Class'\n    {\n"
        "      InprocServer32 = s '%MODULE%'\n      {\n"
        "        val ThreadingModel = s 'Apartment'\n"
        "        val Count = d '0x10'\n"
        "      }\n"
        "      ForceRemove 'Programmable'\n"
        "      'Quoted Name' = s 'It''s 100%%'\n"
        "    }\n  }\n"
        "  Delete Old\n"
        "}\n";
    std::vector<RegScriptRoot> roots;
    std::string error;
    ASSERT_TRUE(ParseRegistrarScript(script, kModule, roots, error)) << error;
    ASSERT_EQ(1u, roots.size());
    EXPECT_EQ("HKCR", roots[0].name);
    ASSERT_EQ(2u, roots[0].keys.size());
    const RegScriptKey& clsid = roots[0].keys[0];
    EXPECT_EQ(RegScriptKey::kNoRemove, clsid.flag);
    EXPECT_FALSE(clsid.hasDefault);
    ASSERT_EQ(1u, clsid.children.size());
    const RegScriptKey& cls = clsid.children[0];
    EXPECT_EQ("{ABC}", cls.name);
    EXPECT_EQ(RegScriptKey::kForceRemove, cls.flag);
    EXPECT_EQ("Some Class", cls.defaultValue.text);
    ASSERT_EQ(3u, cls.children.size());
    const RegScriptKey& server = cls.children[0];
    EXPECT_EQ("C:\\Bob's Tools\\Gorsemere.dll", server.defaultValue.text);
    ASSERT_EQ(2u, server.values.size());
    EXPECT_EQ("ThreadingModel", server.values[0].name);
    EXPECT_EQ("Apartment", server.values[0].text);
    EXPECT_EQ('d', server.values[1].type);
    EXPECT_EQ(16u, server.values[1].number);
    EXPECT_EQ("Programmable", cls.children[1].name);
    EXPECT_EQ(RegScriptKey::kForceRemove, cls.children[1].flag);
    EXPECT_FALSE(cls.children[1].hasDefault);
    EXPECT_EQ("Quoted Name", cls.children[2].name);
    EXPECT_EQ("It's 100%", cls.children[2].defaultValue.text);
    EXPECT_EQ(RegScriptKey::kDelete, roots[0].keys[1].flag);
}

TEST(RegistrarScript, RefusesMalformedScriptsWithoutPartialResults) {
    const char* bad[] = {
        "HKCR { A = s 'x' ",             // missing brace
        "HKCR { A = s 'unterminated }",  // open quote
        "HKCR { A = x 'y' }",            // unknown value type
        "HKCR { A = d 'ten' }",          // not a number
        "HKCR { '' = s 'x' }",           // empty key name would act on the parent
        "HKCR { A { val = s 'x' } }",    // value without a name
        "HKCR { A = s '%NOPE%' }",       // unknown variable
        "HKCR { A = s '50%' }",          // unpaired percent
        "HKCR { val X = s 'y' }",        // value with no key
        "HKCR A = s 'x' }",              // no opening brace
        "HKCR { NoRemove }",             // flag without a key
    };
    for (const char* script : bad) {
        std::vector<RegScriptRoot> roots;
        std::string error;
        EXPECT_FALSE(ParseRegistrarScript(script, kModule, roots, error)) << script;
        EXPECT_TRUE(roots.empty()) << script;
        EXPECT_FALSE(error.empty()) << script;
    }
}

TEST(RegistrarScript, ModulePathCannotInjectStructure) {
    const std::map<std::string, std::string> hostile{{"MODULE", "} HKLM { Evil = s '1' }"}};
    std::vector<RegScriptRoot> roots;
    std::string error;
    ASSERT_TRUE(ParseRegistrarScript("HKCR { A = s %MODULE% }", hostile, roots, error)) << error;
    ASSERT_EQ(1u, roots.size());
    ASSERT_EQ(1u, roots[0].keys.size());
    EXPECT_EQ("} HKLM { Evil = s '1' }", roots[0].keys[0].defaultValue.text);
}

}  // namespace
