// Icon and catalog files against an independent writer and reader (tests/data/system/sample_files.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/catalog.h"
#include "host/icon.h"
#include "libs/system/system_commands.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

std::string Python(const std::string &arguments) {
    std::string command = "python3 '" VL_SOURCE_DIR "/tests/data/system/sample_files.py' " + arguments;
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
        pclose(pipe);
    }
    return output;
}

constexpr const char *kLanguageVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

struct SystemFiles : ::testing::Test {
    ScratchDirectory scratch;
    fs::path dir = scratch.path;
    std::vector<std::pair<std::string, bool>> savedLanguage;
    void SetUp() override {
        for (const char *name : kLanguageVariables)
            savedLanguage.emplace_back(std::getenv(name) ? std::getenv(name) : "", std::getenv(name) != nullptr);
    }
    void TearDown() override {
        for (size_t i = 0; i < savedLanguage.size(); i++)
            savedLanguage[i].second ? setenv(kLanguageVariables[i], savedLanguage[i].first.c_str(), 1)
                                    : unsetenv(kLanguageVariables[i]);
    }
    std::string Base(const char *name) { return (dir / name).string(); }
};

TEST_F(SystemFiles, ReadsAForeignIconWithTheToolTypeRules) {
    Python("icon '" + Base("doc.info") + "'");
    IconFile *icon = nullptr;
    ASSERT_EQ(LoadIcon(Base("doc").c_str(), &icon), 0);
    IconInfo info;
    GetIconInfo(icon, &info);
    EXPECT_EQ(icon->images.size(), 2 * (20 + 4 * 12 * 2u));
    EXPECT_EQ(icon->trailing.size(), 12u);
    FreeIcon(icon);
    EXPECT_EQ(info.type, kIconProject);
    EXPECT_EQ(info.defaultTool, "SYS:Utilities/MultiView");
    const ToolTypeEntry expected[] = {{"KEY", "some value", false}, {"FLAG", "", true}, {"NAME", " quoted  value ", true}};
    ASSERT_EQ(info.toolTypes.size(), 5u);
    for (size_t i = 0; i < 3; i++) {
        ToolTypeEntry entry;
        ASSERT_TRUE(ParseToolType(info.toolTypes[i], &entry)) << i;
        EXPECT_EQ(entry.key, expected[i].key) << i;
        EXPECT_EQ(entry.value, expected[i].value) << i;
        EXPECT_EQ(entry.enabled, expected[i].enabled) << i;
    }
    ToolTypeEntry end;
    EXPECT_FALSE(ParseToolType(info.toolTypes[3], &end)); // the empty entry ends the list
}

TEST_F(SystemFiles, RewritingAnIconKeepsItsImagesAndPlace) {
    Python("icon '" + Base("doc.info") + "'");
    IconFile before, after;
    ASSERT_TRUE(ParseIcon(ReadFileBytes(dir / "doc.info"), &before));
    ASSERT_EQ(SaveIconInfo(Base("doc").c_str(), kIconTool, "", {"A=1"}), 0);
    ASSERT_TRUE(ParseIcon(ReadFileBytes(dir / "doc.info"), &after));
    EXPECT_EQ(after.images, before.images);
    EXPECT_EQ(after.trailing, before.trailing);
    // Position, gadget and stack size are unchanged; only type and the presence words may differ.
    for (size_t at : {4u, 8u, 12u, 16u, 22u, 58u, 62u, 74u})
        EXPECT_EQ(after.header[at], before.header[at]) << at;
    EXPECT_EQ(after.type, kIconTool);
    EXPECT_FALSE(after.hasDefaultTool);
    EXPECT_EQ(after.toolTypes, std::vector<std::string>{"A=1"});
    EXPECT_EQ(Python("read-icon '" + Base("doc.info") + "'"),
              "type 3\ntool \ntooltype A=1\ndrawer 0 rest 12\n");
}

TEST_F(SystemFiles, NewIconsParseElsewhereAndEveryTruncationIsRefused) {
    ASSERT_EQ(SaveIconInfo(Base("box").c_str(), kIconDrawer, "", {"(OFF)", "ON=yes"}), 0);
    EXPECT_EQ(Python("read-icon '" + Base("box.info") + "'"),
              "type 2\ntool \ntooltype (OFF)\ntooltype ON=yes\ndrawer 1 rest 0\n");
    std::vector<uint8_t> whole = ReadFileBytes(dir / "box.info");
    for (size_t size = 0; size < whole.size(); size++) {
        WriteBytes(dir / "cut.info", std::vector<uint8_t>(whole.begin(), whole.begin() + ptrdiff_t(size)));
        IconFile *icon = nullptr;
        ASSERT_EQ(LoadIcon(Base("cut").c_str(), &icon), 1045) << size;
    }
    EXPECT_EQ(SaveIconInfo(Base("box").c_str(), 2, "", std::vector<std::string>(257, "X")), 1066);
    EXPECT_EQ(SaveIconInfo(Base("box").c_str(), 2, "", {std::string(70000, 'x')}), 1066);
    EXPECT_EQ(ReadFileBytes(dir / "box.info"), whole); // a refused save leaves the icon alone
}

TEST_F(SystemFiles, CatalogsGiveTheFirstTextOfAnIdAndRefuseDamage) {
    Python("catalog '" + Base("app.catalog") + "' 2");
    std::vector<uint8_t> whole = ReadFileBytes(dir / "app.catalog");
    ScriptCatalog catalog;
    ASSERT_TRUE(ParseScriptCatalog(whole, &catalog));
    EXPECT_EQ(catalog.version, 2);
    ASSERT_EQ(catalog.texts.size(), 3u);
    EXPECT_EQ(catalog.texts[1].second, "Gr\xfc\xdf" "e");
    for (size_t size = 0; size < whole.size(); size++)
        EXPECT_FALSE(ParseScriptCatalog(std::span(whole.data(), size), &catalog)) << size;

    struct Case {
        const char *language, *all, *lang;
        std::vector<std::string> names;
    } cases[] = {
        {nullptr, nullptr, "de_DE.UTF-8", {"deutsch", "de"}},
        {"fr:de", nullptr, "de_DE", {"fran\xc3\xa7" "ais", "fr", "deutsch", "de"}},
        {nullptr, "C", "de_DE", {}},
        {"en_GB", nullptr, "de_DE", {}},
        {nullptr, nullptr, "xx_YY@euro", {"xx"}},
    };
    for (const Case &c : cases) {
        for (auto [name, value] : {std::pair{"LANGUAGE", c.language}, {"LC_ALL", c.all}, {"LANG", c.lang}})
            value ? setenv(name, value, 1) : unsetenv(name);
        unsetenv("LC_MESSAGES");
        EXPECT_EQ(CatalogLanguages(), c.names) << (c.lang ? c.lang : "");
    }
}

} // namespace
